#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a coprocess example (python, shell or java) on every example point and
# compares its values with the programs' output.txt; exits 77, which ctest
# reports as skipped, where the example's tool is missing.
#
#   check_coprocess_example.sh KIND SOURCE_DIR OBJEVAL_EVAL DOORCOST QUADOBJ [PYTHON]
set -eu
kind=$1 source=$2 eval=$3 doorcost=$(realpath "$4") quadobj=$(realpath "$5")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case $kind in
  java)
    for tool in javac java; do
      command -v $tool >/dev/null || { echo "SKIPPED: no $tool (Debian: default-jdk-headless)"; exit 77; }
    done
    javac -d "$work/classes" "$source/examples/java/ObjevalCoprocess.java"
    run() { java -cp "$work/classes" ObjevalCoprocess "$@"; } ;;
  shell)
    command -v bash >/dev/null || { echo "SKIPPED: no bash"; exit 77; }
    run() { bash "$source/examples/shell/coprocess.sh" "$@"; } ;;
  python)
    python=${6:-python3}
    run() { "$python" "$source/examples/python/coprocess.py" "$@"; } ;;
  *) echo "unknown kind $kind"; exit 2 ;;
esac
status=0
for problem in doorcost quadobj; do
  program=$doorcost
  [ $problem = quadobj ] && program=$quadobj
  : >"$work/expected"
  for point in "$source/examples/$problem"/*.txt; do
    mkdir -p "$work/run" && cp "$point" "$work/run/input.txt"
    (cd "$work/run" && "$program")
    { cat "$work/run/output.txt"; echo; } >>"$work/expected"
  done
  run "$eval" $problem "$source/examples/$problem"/*.txt >"$work/got"
  if cmp -s "$work/expected" "$work/got"; then
    echo "ok   $kind $problem: $(wc -l <"$work/got") values, each the program's"
  else
    echo "FAIL $kind $problem:"; diff "$work/expected" "$work/got" || true
    status=1
  fi
done
exit $status
