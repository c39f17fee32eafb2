#!/usr/bin/env bash
# Whole-process time per run of doorcost and quadobj, next to two references:
#   - the floor: a static C program doing the same file work through the C
#     library (fscanf "%f" N times, fprintf "%f" once) and nothing else;
#   - the exec limit: a static program with no C library that only exits.
# All run in one directory holding a 240-number input.txt, without a shell.
#
# Process start-up on a virtual machine drifts by 10% and more within
# seconds, which swamps a 5% question asked of one long sequential sweep.
# So the commands run side by side in one hyperfine call per round, many
# short rounds in alternating order, and each ratio reported is the median
# over rounds of that round's median-to-median ratio.
#
#   bench/latency.sh [BUILD_DIR] [ROUNDS] [RUNS_PER_ROUND]
set -euo pipefail
build=$(realpath "${1:-build/default}")
rounds=${2:-15}
runs=${3:-300}
for f in doorcost/doorcost quadobj/quadobj bench/latency_floor bench/exec_limit; do
  [[ -x $build/$f ]] || { echo "missing $build/$f: build first" >&2; exit 1; }
done
command -v hyperfine >/dev/null || { echo "hyperfine is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A point as an optimiser writes it: nine significant digits, mixed signs.
awk 'BEGIN { srand(7); for (n = 0; n < 240; n++) printf "%.9g\n", (rand() - 0.5) * 20 }' >"$work/input.txt"
cd "$work"

commands=(-n "exec limit" "$build/bench/exec_limit"
          -n "floor, N = 240" "$build/bench/latency_floor 240"
          -n doorcost "$build/doorcost/doorcost"
          -n "floor, N = 50" "$build/bench/latency_floor 50"
          -n quadobj "$build/quadobj/quadobj")
reversed=(-n quadobj "$build/quadobj/quadobj"
          -n "floor, N = 50" "$build/bench/latency_floor 50"
          -n doorcost "$build/doorcost/doorcost"
          -n "floor, N = 240" "$build/bench/latency_floor 240"
          -n "exec limit" "$build/bench/exec_limit")
for ((r = 0; r < rounds; r++)); do
  if ((r % 2)); then order=("${reversed[@]}"); else order=("${commands[@]}"); fi
  hyperfine --shell=none --style none --warmup 20 --runs "$runs" \
    --export-json "$work/round-$r.json" "${order[@]}" >/dev/null
done

python3 - "$work" "$rounds" <<'SUMMARY'
import json, pathlib, statistics, sys
work, rounds = pathlib.Path(sys.argv[1]), int(sys.argv[2])
medians = []
for r in range(rounds):
    results = json.loads((work / f"round-{r}.json").read_text())["results"]
    medians.append({x["command"]: statistics.median(x["times"]) for x in results})

def us(name):
    return f"{statistics.median(m[name] for m in medians) * 1e6:.0f} µs"

def ratio(a, b):
    rs = sorted(m[a] / m[b] for m in medians)
    return f"{statistics.median(rs):.2f} ({rs[0]:.2f} – {rs[-1]:.2f})"

print(f"{rounds} rounds; per run, median over rounds (ratio range over rounds):\n")
print("| program | program | C-library floor | exec limit | ratio to floor | ratio to exec limit |")
print("|---|---:|---:|---:|---:|---:|")
for program, floor in (("doorcost", "floor, N = 240"), ("quadobj", "floor, N = 50")):
    print(f"| `{program}` | {us(program)} | {us(floor)} | {us('exec limit')} "
          f"| {ratio(program, floor)} | {ratio(program, 'exec limit')} |")
SUMMARY
