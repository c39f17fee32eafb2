#!/bin/sh
# SPDX-License-Identifier: MIT
# libobjeval shows the world its C interface and nothing else: no C++ name,
# no symbol of the C++ runtime linked into it (a host with an older runtime
# of its own, or a second copy of the library, would bind to it), no need
# for libstdc++ at load time, and every symbol bound at load (-z now).
#
#   check_library_exports.sh LIBRARY
set -eu
library=$1
exported=$(nm -D --defined-only "$library" | awk '$2 != "A" { print $NF }' | sed 's/@.*//' | sort)
status=0
others=$(printf '%s\n' "$exported" | grep -v '^objeval_' || true)
if [ -n "$others" ]; then
  echo "FAIL exports names outside the C interface:"
  printf '%s\n' "$others" | head -n 20
  status=1
fi
if readelf -dW "$library" | grep NEEDED | grep -q -E 'libstdc\+\+|libgcc_s'; then
  echo "FAIL needs the system's C++ runtime:"; readelf -dW "$library" | grep NEEDED
  status=1
fi
readelf -dW "$library" | grep -q -E 'BIND_NOW|FLAGS_1.*NOW' || { echo "FAIL not linked with -z now"; status=1; }
[ $status -eq 0 ] && echo "ok   $library exports $(printf '%s\n' "$exported" | wc -l) objeval_* symbols and nothing else"
exit $status
