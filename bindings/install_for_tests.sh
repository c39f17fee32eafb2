#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the build into PREFIX, as a user would, and writes the golden
# corpus into CORPUS_DIR for the bindings' tests.
#
#   install_for_tests.sh BUILD_DIR PREFIX CORPUS_DIR GOLDEN EXACTNESS_CHECK
set -eu
rm -rf "$2" "$3"
mkdir -p "$3"
cmake --install "$1" --prefix "$2" >/dev/null
"$5" --corpus "$4" "$3"
echo "installed into $2; the corpus is in $3"
