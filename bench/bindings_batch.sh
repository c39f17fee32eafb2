#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A 65,536-point batch on THREADS threads (default 1), in nanoseconds a
# point: the C batch from floats, row after row, against each language's
# natural array:
#   C double rows and columns (the library's own readers of doubles),
#   NumPy float64 in C and in Fortran order, a column slice of a wider array,
#   Octave and R double matrices (a point per row),
#   Java double[] and float[], Fortran real64 points(d, n), Rust &[f32] and &[f64].
# Each round runs every caller once, in turn, each in its own process,
# median of 7 calls, on the same values. Prints the CPU, then the median
# over rounds of each ratio to C's floats; a caller whose tool is missing is
# left out, saying so.
#
#   bench/bindings_batch.sh [INSTALLED_PREFIX] [ROUNDS] [THREADS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(realpath "${1:-$root/build/default/bindings-prefix}")
rounds=${2:-5}
threads=${3:-1}
count=65536 repeats=7
build=$root/build/default
export PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name objeval.pc)")  # one in a prefix, unlike libobjeval.so
libdir=$(pkg-config --variable=libdir objeval)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), family $(grep -m1 'cpu family' /proc/cpuinfo | cut -d: -f2 | xargs), model $(grep -m1 '^model' /proc/cpuinfo | cut -d: -f2 | xargs); $threads thread(s), $count points"

callers=(c_doubles c_columns)
have() { command -v "$1" >/dev/null || { echo "left out: $2 (no $1)" >&2; return 1; }; }
python=/usr/bin/python3
if "$python" -c 'import numpy' 2>/dev/null; then callers+=(numpy_c numpy_fortran numpy_slice); else echo "left out: NumPy" >&2; fi
if have octave-cli Octave && octave-cli --no-history --norc --eval "pkg prefix $work/octave $work/octave;
     pkg local_list $work/octave_packages; pkg install -local $(ls "$prefix"/share/objeval/octave/objeval-*.tar.gz)" \
     >/dev/null 2>&1; then callers+=(octave); fi
if have Rscript R && Rscript -e 'install.packages(commandArgs(TRUE)[1], repos = NULL, lib = commandArgs(TRUE)[2], quiet = TRUE)' \
     "$(ls "$prefix"/share/objeval/R/objeval_*.tar.gz)" "$work" >/dev/null 2>&1; then callers+=(r); fi
jar=$(ls "$prefix"/share/java/objeval-*.jar 2>/dev/null || true)
if have javac Java && [ -n "$jar" ]; then
  cat >"$work/Timing.java" <<'JAVA'
public class Timing {
  public static void main(String[] a) {
    objeval.Problem problem = objeval.Objeval.problem(a[0]);
    int count = Integer.parseInt(a[1]), repeats = Integer.parseInt(a[2]), threads = Integer.parseInt(a[4]);
    int dimension = problem.dimension();
    float[] points = new float[count * dimension], values = new float[count];
    double[] wide = new double[points.length];
    java.util.Random random = new java.util.Random(1);
    for (int n = 0; n < points.length; n++) wide[n] = points[n] = random.nextFloat() * 2 - 1;
    double[] times = new double[repeats];
    for (int r = 0; r < repeats; r++) {
      long start = System.nanoTime();
      if (a[3].equals("double")) problem.evaluate(wide, values, threads); else problem.evaluate(points, values, threads);
      times[r] = (System.nanoTime() - start) / (double) count;
    }
    java.util.Arrays.sort(times);
    System.out.printf("%.1f%n", times[repeats / 2]);
  }
}
JAVA
  javac -cp "$jar" -d "$work" "$work/Timing.java" && callers+=(java_double java_float)
fi
if have gfortran Fortran && have pkg-config pkg-config; then
  cat >"$work/timing.f90" <<'FORTRAN'
program timing
  use objeval
  implicit none
  character(len=32) :: name, text
  integer :: count, repeats, threads, r
  integer(8) :: start, finish, rate
  real(real64), allocatable :: points(:, :)
  real(real32), allocatable :: values(:)
  real(real64), allocatable :: times(:)
  real(real32), allocatable :: noise(:, :)
  call get_command_argument(1, name)
  call get_command_argument(2, text); read(text, *) count
  call get_command_argument(3, text); read(text, *) repeats
  call get_command_argument(4, text); read(text, *) threads
  allocate(noise(objeval_dimension(name), count), values(count), times(repeats))
  call random_number(noise)
  points = real(noise * 2 - 1, real64)
  do r = 1, repeats
    call system_clock(start, rate)
    call objeval_evaluate(trim(name), points, values, threads=threads)
    call system_clock(finish)
    times(r) = real(finish - start, real64) / real(rate, real64) / count * 1d9
  end do
  print '(f0.1)', times(repeats / 2 + 1)
end program
FORTRAN
  gfortran -O2 -o "$work/timing" $(pkg-config --cflags objeval-fortran) "$work/timing.f90" \
    $(pkg-config --libs objeval-fortran) -Wl,-rpath,"$(pkg-config --variable=libdir objeval)" && callers+=(fortran_real64)
fi

if have cargo Rust && [ -d "$prefix/share/objeval/rust" ]; then
  mkdir -p "$work/rust/src"
  printf '[package]\nname = "timing"\nversion = "0.1.0"\nedition = "2021"\n\n[dependencies]\nobjeval = { path = "%s" }\n' \
    "$prefix/share/objeval/rust" >"$work/rust/Cargo.toml"
  cat >"$work/rust/src/main.rs" <<'RUST'
fn main() {
    let a: Vec<String> = std::env::args().collect();
    let problem = objeval::Problem::find(&a[1]).unwrap();
    let (count, repeats, threads): (usize, usize, usize) = (a[2].parse().unwrap(), a[3].parse().unwrap(), a[5].parse().unwrap());
    let mut state = 1u64;
    let points: Vec<f32> = (0..count * problem.dimension())
        .map(|_| { state = state.wrapping_mul(6364136223846793005).wrapping_add(1); (state >> 40) as f32 / (1u64 << 24) as f32 * 2.0 - 1.0 })
        .collect();
    let wide: Vec<f64> = points.iter().map(|&v| f64::from(v)).collect();
    let mut values = vec![0.0_f32; count];
    let mut times: Vec<f64> = (0..repeats).map(|_| {
        let start = std::time::Instant::now();
        if a[4] == "double" { problem.evaluate_batch(&wide, &mut values, threads) } else { problem.evaluate_batch(&points, &mut values, threads) }.unwrap();
        start.elapsed().as_nanos() as f64 / count as f64
    }).collect();
    times.sort_by(|x, y| x.partial_cmp(y).unwrap());
    println!("{:.1}", times[repeats / 2]);
}
RUST
  (cd "$work/rust" && CARGO_TARGET_DIR=$work/rust/target cargo build --offline --release --quiet) && callers+=(rust_float rust_double)
fi

time_c_floats() { "$build/bench/batch_per_point" "$1" $count $repeats floats "$threads"; }
time_c_doubles() { "$build/bench/batch_per_point" "$1" $count $repeats doubles "$threads"; }
time_c_columns() { "$build/bench/batch_per_point" "$1" $count $repeats double-columns "$threads"; }
time_numpy() {  # PROBLEM LAYOUT
  PYTHONPATH=$root/bindings/python OBJEVAL_LIBRARY=$build/capi/libobjeval.so "$python" - "$1" "$2" $count $repeats "$threads" <<'PYTHON'
import sys, time, numpy as np, objeval
name, layout, count, repeats, threads = sys.argv[1], sys.argv[2], *map(int, sys.argv[3:])
problem = objeval.problems[name]
x = np.random.default_rng(1).uniform(-1, 1, (count, problem.dimension)).astype(np.float32).astype(np.float64)
a = {"c": x, "fortran": np.asfortranarray(x), "slice": np.hstack([x, x])[:, :problem.dimension]}[layout]
times = []
for _ in range(repeats):
    start = time.perf_counter()
    problem(a, threads=threads)
    times.append((time.perf_counter() - start) / count * 1e9)
print(f"{sorted(times)[repeats // 2]:.1f}")
PYTHON
}
time_numpy_c() { time_numpy "$1" c; }
time_numpy_fortran() { time_numpy "$1" fortran; }
time_numpy_slice() { time_numpy "$1" slice; }
time_octave() {
  octave-cli --no-history --norc --eval "pkg local_list $work/octave_packages; pkg load objeval;
    x = rand($count, objeval_problems()(strcmp({objeval_problems().name}, '$1')).dimension) * 2 - 1;
    t = zeros(1, $repeats);
    for r = 1:$repeats, tic; objeval_evaluate('$1', x, $threads); t(r) = toc; end
    printf('%.1f\n', median(t) / $count * 1e9);" 2>/dev/null
}
time_r() {
  R_LIBS=$work Rscript -e "library(objeval); d <- problems()\$dimension[problems()\$name == '$1'];
    x <- matrix(runif($count * d, -1, 1), ncol = d);
    t <- sapply(1:$repeats, function(r) { start <- Sys.time(); evaluate('$1', x, $threads); as.numeric(Sys.time() - start, units = 'secs') });
    cat(sprintf('%.1f\n', median(t) / $count * 1e9))"
}
time_java_double() { java -cp "$jar:$work" Timing "$1" $count $repeats double "$threads"; }
time_java_float() { java -cp "$jar:$work" Timing "$1" $count $repeats float "$threads"; }
time_rust_float() { LD_LIBRARY_PATH=$libdir "$work/rust/target/release/timing" "$1" $count $repeats float "$threads"; }
time_rust_double() { LD_LIBRARY_PATH=$libdir "$work/rust/target/release/timing" "$1" $count $repeats double "$threads"; }
time_fortran_real64() { "$work/timing" "$1" $count $repeats "$threads"; }

echo "| problem | caller's array | times the C batch from floats |"
echo "|---|---|---:|"
for problem in doorcost quadobj; do
  declare -A ratios=()
  for ((r = 0; r < rounds; r++)); do
    c=$(time_c_floats $problem)
    for caller in "${callers[@]}"; do
      ratios[$caller]+="$(time_$caller $problem | awk -v c="$c" '{ printf "%.3f ", $1 / c }')"
    done
    echo "$problem round $r: C floats $c ns a point" >&2
  done
  for caller in "${callers[@]}"; do
    echo "| $problem | $caller | $(echo "${ratios[$caller]}" | tr ' ' '\n' | sort -n | awk 'NF { v[n++] = $1 } END { printf "%.2f", v[int(n / 2)] }') |"
  done
done
