#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the exactness check in every cell of the matrix and checks each build
# against the golden file: GCC and Clang, -O0 and -O3, baseline x86-64 and
# -march=native. Each build runs three times, with the CPU as it is and with
# AVX-512, then FMA and AVX2, hidden from the C library and so from the
# dispatch, so that every compiled version of the evaluators is checked.
# Two builds go at once: one alone leaves a core idle while it links.
#
#   tests/exactness/matrix.sh [WORK_DIR]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(realpath -m "${1:-$root/build/matrix}")
golden=$root/tests/exactness/golden.txt

declare -A cpus=(
  [all-features]=""
  [no-avx512]="glibc.cpu.hwcaps=-AVX512F"
  [no-fma]="glibc.cpu.hwcaps=-AVX512F,-AVX2,-FMA"
)

# Builds one cell and runs it on each CPU; what it prints goes to $build.out,
# each failure a line of $build.failed.
cell() {
  local compiler=$1 flags=$2 build=$3
  : >"$build.failed"
  if ! { cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_BUILD_TYPE= \
           -DCMAKE_CXX_FLAGS="$flags" -DOBJEVAL_BENCH=OFF -DOBJEVAL_WERROR=ON -DOBJEVAL_PYTHON=OFF \
           -DOBJEVAL_OCTAVE=OFF -DOBJEVAL_R=OFF -DOBJEVAL_JAVA=OFF -DOBJEVAL_FORTRAN=OFF -DOBJEVAL_RUST=OFF &&
         cmake --build "$build" --target exactness_check -j 2; } >"$build.log" 2>&1; then
    tail -n 30 "$build.log" >"$build.out"
    echo "$compiler $flags: build failed" >>"$build.failed"
    return
  fi
  : >"$build.out"
  for cpu in all-features no-avx512 no-fma; do
    GLIBC_TUNABLES=${cpus[$cpu]} "$build/tests/exactness/exactness_check" "$golden" "$compiler $flags, $cpu" \
      >>"$build.out" 2>&1 || echo "$compiler $flags, $cpu" >>"$build.failed"
  done
}

mkdir -p "$work"
builds=()
for compiler in g++ clang++; do
  for opt in -O0 -O3; do
    for arch in baseline native; do
      flags=$opt
      [[ $arch == native ]] && flags="$flags -march=native"
      build="$work/${compiler%++}${opt}-$arch"
      builds+=("$build")
      while (($(jobs -rp | wc -l) >= 2)); do wait -n; done
      cell "$compiler" "$flags" "$build" &
    done
  done
done
wait

failed=()
for build in "${builds[@]}"; do
  cat "$build.out"
  mapfile -t -O "${#failed[@]}" failed <"$build.failed"
done
echo
if ((${#failed[@]})); then
  printf 'exactness matrix FAILED in:\n'
  printf '  %s\n' "${failed[@]}"
  exit 1
fi
echo "exactness matrix: all $((${#builds[@]} * 3)) cells reproduce the golden file"
