#!/usr/bin/env bash
# objeval-eval kept as a coprocess by a shell loop: one point a line in, its
# value a line out.
#
#   coprocess.sh OBJEVAL_EVAL PROBLEM POINT_FILE...
#
# Each POINT_FILE holds one point as the programs' input.txt does.
set -euo pipefail
coproc EVAL { "$1" "$2"; }
for file in "${@:3}"; do
  { tr '\n\t' '  ' <"$file"; echo; } >&"${EVAL[1]}"  # the point's numbers on one line
  read -r value <&"${EVAL[0]}" || { echo "objeval-eval refused $file" >&2; exit 1; }
  echo "$value"
done
exec {EVAL[1]}>&-
wait "$EVAL_PID"
