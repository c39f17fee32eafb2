#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Points per second of objeval-eval on a file of 10,000 points, side by side
# with running the program once per point (bench/each_point.py: write
# input.txt in place, run, read output.txt). Both must print the same values.
# Then objeval-eval on two threads against one, alternated run by run.
#
#   bench/many_points.sh [BUILD_DIR] [POINTS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build/default}")
count=${2:-10000}
command -v hyperfine >/dev/null || { echo "hyperfine is not installed" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for problem in doorcost quadobj; do
  n=$([[ $problem == doorcost ]] && echo 240 || echo 50)
  # As an optimiser writes float32 points: nine significant digits.
  awk -v count="$count" -v n="$n" 'BEGIN { srand(11); for (p = 0; p < count; p++) {
      for (k = 0; k < n; k++) printf "%.9g%s", (rand() - 0.5) * 20, (k + 1 < n ? " " : "\n") } }' \
    >"$work/$problem.txt"
  python3 "$root/bench/each_point.py" "$build/$problem/$problem" "$work/$problem.txt" >"$work/each.out"
  "$build/cli/objeval-eval" "$problem" "$work/$problem.txt" >"$work/many.out"
  cmp -s "$work/each.out" "$work/many.out" || { echo "$problem: the values differ" >&2; exit 1; }
  hyperfine --shell=none --style none --warmup 1 --runs 5 --export-json "$work/$problem.json" \
    -n "$problem, once per point" "python3 $root/bench/each_point.py $build/$problem/$problem $work/$problem.txt" \
    -n "objeval-eval $problem" "$build/cli/objeval-eval $problem $work/$problem.txt" >/dev/null
  python3 - "$work/$problem.json" "$count" <<'SUMMARY'
import json, statistics, sys
results = json.load(open(sys.argv[1]))["results"]
count = int(sys.argv[2])
each, many = (statistics.median(r["times"]) for r in results)
print(f"| {results[1]['command']} | {count} points | once per point {each:.2f} s ({count / each:,.0f}/s) "
      f"| objeval-eval {many * 1e3:.0f} ms ({count / many:,.0f}/s) | {each / many:.0f}× |")
SUMMARY
  "$build/bench/alternate_runs" 9 "objeval-eval $problem, 1 thread=$build/cli/objeval-eval --threads 1 $problem $work/$problem.txt" \
    "2 threads=$build/cli/objeval-eval --threads 2 $problem $work/$problem.txt" | tail -2
done
