#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Whole-process time per run of doorcost and quadobj, next to two references:
#   - the exec limit: a static program with no C library that only exits;
#   - the floor: a static C program doing the same file work through the C
#     library (fscanf "%f" N times, fprintf "%f" once) and nothing else.
# All run in one directory holding a 240-number input.txt, without a shell.
#
# Starting a process on a virtual machine drifts by half and more from one
# moment to the next, so the commands run one run at a time, in turn
# (bench/alternate_runs), and each ratio is the median over rounds of that
# round's ratio to the exec limit.
#
#   bench/latency.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
build=$(realpath "${1:-build/default}")
rounds=${2:-1000}
for f in doorcost/doorcost quadobj/quadobj bench/latency_floor bench/exec_limit bench/alternate_runs; do
  [[ -x $build/$f ]] || { echo "missing $build/$f: build first" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A point as an optimiser writes it: nine significant digits, mixed signs.
awk 'BEGIN { srand(7); for (n = 0; n < 240; n++) printf "%.9g\n", (rand() - 0.5) * 20 }' >"$work/input.txt"
cd "$work"
echo "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(date +%F), $rounds rounds:"
"$build/bench/alternate_runs" "$rounds" \
  "exec limit=$build/bench/exec_limit" \
  "doorcost=$build/doorcost/doorcost" \
  "quadobj=$build/quadobj/quadobj" \
  "C-library floor (240 numbers)=$build/bench/latency_floor 240" \
  "C-library floor (50 numbers)=$build/bench/latency_floor 50"
