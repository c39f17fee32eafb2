#!/bin/sh
# SPDX-License-Identifier: MIT
# The ABI record refuses an export added to a version node a release
# shipped: from a copy of the record without one of OBJEVAL_1's exports,
# the library's export of it reads as new in that node, and check fails.
#
#   check_abi_refuses_released_node.sh PYTHON ABI_RECORD_PY RECORD ARGUMENTS...
set -eu
python=$1 tool=$2 record=$3
shift 3
copy=$(mktemp)
trap 'rm -f "$copy"' EXIT
grep -v '^export objeval_version@@OBJEVAL_1$' "$record" >"$copy"
if "$python" "$tool" check "$copy" "$@" >"$copy.out" 2>&1; then
  echo "FAIL a new export in the released node OBJEVAL_1 was taken"; cat "$copy.out"; rm -f "$copy.out"; exit 1
fi
grep -q "a new export in a released version node" "$copy.out" || { cat "$copy.out"; rm -f "$copy.out"; exit 1; }
rm -f "$copy.out"
echo "ok: a new export in a released node is refused"
