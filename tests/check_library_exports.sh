#!/bin/sh
# libobjeval shows the world its C interface and nothing else: no C++ name,
# no symbol of the C++ runtime linked into it (a host with an older runtime
# of its own, or a second copy of the library, would bind to it), no need
# for libstdc++ at load time, and every symbol bound at load (-z now).
#
#   check_library_exports.sh LIBRARY
set -eu
library=$1
expected="objeval_doorcost
objeval_doorcost_batch
objeval_doorcost_batch_threads
objeval_evaluate
objeval_evaluate_double
objeval_evaluate_strided
objeval_problem_at
objeval_problem_count
objeval_quadobj
objeval_quadobj_batch
objeval_quadobj_batch_threads
objeval_status_message
objeval_version"
exported=$(nm -D --defined-only "$library" | awk '{ print $NF }' | sort)
status=0
if [ "$exported" != "$expected" ]; then
  echo "FAIL exported symbols differ from the C interface (< exported, > expected):"
  printf '%s\n' "$expected" >"${TMPDIR:-/tmp}/objeval-expected-exports.$$"
  printf '%s\n' "$exported" | diff - "${TMPDIR:-/tmp}/objeval-expected-exports.$$" | head -n 20 || true
  rm -f "${TMPDIR:-/tmp}/objeval-expected-exports.$$"
  status=1
fi
if readelf -dW "$library" | grep NEEDED | grep -q -E 'libstdc\+\+|libgcc_s'; then
  echo "FAIL needs the system's C++ runtime:"; readelf -dW "$library" | grep NEEDED
  status=1
fi
readelf -dW "$library" | grep -q -E 'BIND_NOW|FLAGS_1.*NOW' || { echo "FAIL not linked with -z now"; status=1; }
[ $status -eq 0 ] && echo "ok   $library exports $(printf '%s\n' "$exported" | wc -l) objeval_* symbols and nothing else"
exit $status
