#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every fuzz target for SECONDS each from the seed corpus in fuzz/corpus,
# and fails on any crash, leak or sanitizer report. New inputs go to a
# scratch directory, not to the repository; crash reproducers to ARTIFACTS.
#
#   fuzz/run.sh [BUILD_DIR] [SECONDS] [ARTIFACTS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build/fuzz}")
seconds=${2:-30}
artifacts=$(realpath -m "${3:-$build/fuzz-artifacts}")
mkdir -p "$artifacts"
# One target a core: each fuzzer runs on one thread.
fuzz() {
  local target=$1 scratch status=0
  scratch=$(mktemp -d)
  "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$artifacts/${target}-" "$scratch" "$root/fuzz/corpus/$target" >"$logs/$target" 2>&1 || status=$?
  echo "$status" >"$logs/$target.status"
  rm -rf "$scratch"
}
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
targets=(read_values scan_float evaluators strided point_lines)
for target in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= $(nproc))); do wait -n || true; done
  fuzz "$target" &
done
wait
for target in "${targets[@]}"; do
  if [ "$(cat "$logs/$target.status")" != 0 ]; then
    tail -n 60 "$logs/$target"
    echo "fuzz target $target FAILED; reproducers in $artifacts"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$target")
  echo "fuzz target $target: $runs executions in $seconds s, no crash, leak or sanitizer report"
done
