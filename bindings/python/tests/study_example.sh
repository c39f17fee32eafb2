#!/bin/sh
# SPDX-License-Identifier: MIT
# The page's study: examples/study.py makes one of two algorithms, five runs
# each, which IOHanalyzer's rules load whole; objeval.plot draws it.
#
#   study_example.sh PYTHON PACKAGE_DIR STUDY_FORMAT_PY FOLDER
set -eu
python=$1 package=$2 format=$3 folder=$4
"$python" -c 'import numpy, scipy, matplotlib' 2>/dev/null || { echo "SKIPPED: the example needs numpy, scipy and matplotlib"; exit 77; }
rm -rf "$folder"
"$python" "$package/examples/study.py" "$folder"
"$python" "$format" "$folder" --runs 10 >/dev/null
"$python" -m objeval.plot "$folder" --output "$folder/study.png"
