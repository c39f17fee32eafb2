#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the exactness check in every cell of the matrix and checks each build
# against the golden file: GCC and Clang, -O0 and -O3, baseline x86-64 and
# -march=native. Each build runs three times, with the CPU as it is and with
# AVX-512, then FMA and AVX2, hidden from the C library and so from the
# dispatch, so that every compiled version of the evaluators is checked.
#
#   tests/exactness/matrix.sh [WORK_DIR]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(realpath -m "${1:-$root/build/matrix}")
golden=$root/tests/exactness/golden.txt
failed=()
cells=0

declare -A cpus=(
  [all-features]=""
  [no-avx512]="glibc.cpu.hwcaps=-AVX512F"
  [no-fma]="glibc.cpu.hwcaps=-AVX512F,-AVX2,-FMA"
)

for compiler in g++ clang++; do
  for opt in -O0 -O3; do
    for arch in baseline native; do
      flags=$opt
      [[ $arch == native ]] && flags="$flags -march=native"
      build="$work/${compiler%++}${opt}-$arch"
      if ! { cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_BUILD_TYPE= \
               -DCMAKE_CXX_FLAGS="$flags" -DOBJEVAL_BENCH=OFF -DOBJEVAL_WERROR=ON >/dev/null &&
             cmake --build "$build" --target exactness_check -j 2 >/dev/null; }; then
        failed+=("$compiler $flags: build failed")
        continue
      fi
      for cpu in all-features no-avx512 no-fma; do
        cell="$compiler $flags, $cpu"
        cells=$((cells + 1))
        if ! GLIBC_TUNABLES=${cpus[$cpu]} "$build/tests/exactness/exactness_check" "$golden" "$cell"; then
          failed+=("$cell")
        fi
      done
    done
  done
done

echo
if ((${#failed[@]})); then
  printf 'exactness matrix FAILED in:\n'
  printf '  %s\n' "${failed[@]}"
  exit 1
fi
echo "exactness matrix: all $cells cells reproduce the golden file"
