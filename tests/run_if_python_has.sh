#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a command with PYTHON if that interpreter can import every module
# named; otherwise says which are missing and exits 77, which ctest reports
# as a skipped test.
#
#   run_if_python_has.sh PYTHON MODULE[,MODULE...] -- ARGUMENTS...
python=$1
modules=$2
shift 3
missing=$("$python" -c "
import importlib.util, sys
print(' '.join(m for m in sys.argv[1].split(',') if importlib.util.find_spec(m) is None))" "$modules")
if [ -n "$missing" ]; then
  echo "SKIPPED: $python cannot import: $missing (Debian: python3-$(echo "$missing" | sed 's/ / python3-/g'))"
  exit 77
fi
exec "$python" "$@"
