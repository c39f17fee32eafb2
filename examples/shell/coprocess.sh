#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# objeval-eval kept as a coprocess by a shell loop: one point a line in, its
# value a line out.
#
#   coprocess.sh OBJEVAL_EVAL PROBLEM POINT_FILE...
#
# Each POINT_FILE holds one point as the programs' input.txt does.
set -euo pipefail
if (($# < 3)); then
  echo "usage: coprocess.sh OBJEVAL_EVAL PROBLEM POINT_FILE..." >&2
  exit 2
fi
coproc EVAL { "$1" "$2"; }
pid=$EVAL_PID to=${EVAL[1]} from=${EVAL[0]}  # bash unsets EVAL when the coprocess ends
for file in "${@:3}"; do
  { tr '\n\t' '  ' <"$file"; echo; } >&"$to"  # the point's numbers on one line
  read -r value <&"$from" || { echo "objeval-eval refused $file" >&2; exit 1; }
  echo "$value"
done
exec {to}>&-  # the end of the input: objeval-eval exits with status 0
wait "$pid"
