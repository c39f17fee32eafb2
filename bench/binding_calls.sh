#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The calls optimisers make, from each language, against the same call from
# C on the same layout of doubles: one point, and a population of 15 points
# (rows of doubles: C, NumPy, Java double[], Fortran real64 points(d, n),
# Rust &[f64]; a column-major 15-by-d matrix: R, Octave). Then a study run's
# call of 15 points against the same call without a study, from C, Python
# and R. Each time is the median of 9 blocks of calls, a block's mean a
# call; each round runs every caller in turn, each in its own process,
# pinned to one CPU. Prints the CPU, then the median over rounds of each
# ratio; a caller whose tool is missing is left out, saying so. BUILD is a
# build whose tests have run (they install its bindings-prefix).
#
#   bench/binding_calls.sh [BUILD] [ROUNDS] [CPU]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build/default}")
prefix=$build/bindings-prefix
rounds=${2:-3}
cpu=${3:-0}
export PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name objeval.pc | head -n 1)")
libdir=$(pkg-config --variable=libdir objeval)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pin() { taskset -c "$cpu" "$@"; }
echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), family $(grep -m1 'cpu family' /proc/cpuinfo | cut -d: -f2 | xargs), model $(grep -m1 '^model' /proc/cpuinfo | cut -d: -f2 | xargs); pinned to CPU $cpu"

callers=()
have() { command -v "$1" >/dev/null || { echo "left out: $2 (no $1)" >&2; return 1; }; }
python=/usr/bin/python3
if "$python" -c 'import numpy' 2>/dev/null; then callers+=(python); else echo "left out: Python (no NumPy)" >&2; fi
if have Rscript R && Rscript -e 'install.packages(commandArgs(TRUE)[1], repos = NULL, lib = commandArgs(TRUE)[2], quiet = TRUE)' \
     "$(ls "$prefix"/share/objeval/R/objeval_*.tar.gz)" "$work" >/dev/null 2>&1; then callers+=(r); fi
if have octave-cli Octave && octave-cli --no-history --norc --eval "pkg prefix $work/octave $work/octave;
     pkg local_list $work/octave_packages; pkg install -local $(ls "$prefix"/share/objeval/octave/objeval-*.tar.gz)" \
     >/dev/null 2>&1; then callers+=(octave); fi
jar=$(ls "$prefix"/share/java/objeval-*.jar 2>/dev/null || true)
if have javac Java && [ -n "$jar" ]; then
  cat >"$work/Calls.java" <<'JAVA'
public class Calls {
  static double block(Runnable call, int calls) {
    double[] blocks = new double[9];
    for (int b = 0; b < 9; b++) {
      long start = System.nanoTime();
      for (int k = 0; k < calls; k++) call.run();
      blocks[b] = (System.nanoTime() - start) / (double) calls;
    }
    java.util.Arrays.sort(blocks);
    return blocks[4];
  }
  public static void main(String[] a) {
    objeval.Problem problem = objeval.Objeval.problem(a[0]);
    int d = problem.dimension();
    double[] x = new double[d], many = new double[15 * d];
    float[] values = new float[15];
    java.util.Random random = new java.util.Random(1);
    for (int n = 0; n < many.length; n++) many[n] = 2 * random.nextDouble() - 1;
    System.arraycopy(many, 0, x, 0, d);
    block(() -> problem.evaluate(x), 20000);  // the JIT's warm-up
    block(() -> problem.evaluate(many, values, 1), 20000);
    System.out.printf("%.0f %.0f%n", block(() -> problem.evaluate(x), 2000), block(() -> problem.evaluate(many, values, 1), 2000));
  }
}
JAVA
  javac -cp "$jar" -d "$work" "$work/Calls.java" && callers+=(java)
fi
if have gfortran Fortran; then
  cat >"$work/calls.f90" <<'FORTRAN'
program calls
  use objeval
  implicit none
  character(len=32) :: name
  integer :: b, k
  integer(8) :: start, finish, rate
  real(real64), allocatable :: x(:), many(:, :)
  real(real32) :: values(15)
  real(real64) :: value
  real(real64) :: one(9), fifteen(9)
  call get_command_argument(1, name)
  allocate(x(objeval_dimension(trim(name))), many(objeval_dimension(trim(name)), 15))
  call random_number(many)
  x = many(:, 1)
  do b = 1, 9
    call system_clock(start, rate)
    do k = 1, 2000
      call objeval_evaluate(trim(name), x, value)
    end do
    call system_clock(finish)
    one(b) = real(finish - start, real64) / real(rate, real64) / 2000 * 1d9
    call system_clock(start)
    do k = 1, 2000
      call objeval_evaluate(trim(name), many, values)
    end do
    call system_clock(finish)
    fifteen(b) = real(finish - start, real64) / real(rate, real64) / 2000 * 1d9
  end do
  print '(i0, 1x, i0)', nint(median(one)), nint(median(fifteen))
contains
  real(real64) function median(v)
    real(real64), intent(in) :: v(9)
    real(real64) :: s(9), t
    integer :: i, j
    s = v
    do i = 1, 9
      do j = i + 1, 9
        if (s(j) < s(i)) then
          t = s(i); s(i) = s(j); s(j) = t
        end if
      end do
    end do
    median = s(5)
  end function
end program
FORTRAN
  gfortran -O2 -o "$work/calls" $(pkg-config --cflags objeval-fortran) "$work/calls.f90" \
    $(pkg-config --libs objeval-fortran) -Wl,-rpath,"$libdir" && callers+=(fortran)
fi
if have cargo Rust && [ -d "$prefix/share/objeval/rust" ]; then
  mkdir -p "$work/rust/src"
  printf '[package]\nname = "calls"\nversion = "0.1.0"\nedition = "2021"\n\n[dependencies]\nobjeval = { path = "%s" }\n' \
    "$prefix/share/objeval/rust" >"$work/rust/Cargo.toml"
  cat >"$work/rust/src/main.rs" <<'RUST'
fn block(mut call: impl FnMut(), calls: u32) -> f64 {
    let mut blocks: Vec<f64> = (0..9).map(|_| {
        let start = std::time::Instant::now();
        for _ in 0..calls { call(); }
        start.elapsed().as_nanos() as f64 / f64::from(calls)
    }).collect();
    blocks.sort_by(|a, b| a.partial_cmp(b).unwrap());
    blocks[4]
}
fn main() {
    let name: String = std::env::args().nth(1).unwrap();
    let problem = objeval::Problem::find(&name).unwrap();
    let mut state = 1u64;
    let many: Vec<f64> = (0..15 * problem.dimension())
        .map(|_| { state = state.wrapping_mul(6364136223846793005).wrapping_add(1); (state >> 11) as f64 / (1u64 << 53) as f64 * 2.0 - 1.0 })
        .collect();
    let x = many[..problem.dimension()].to_vec();
    let mut values = [0.0_f32; 15];
    let one = block(|| { std::hint::black_box(problem.evaluate(&x).unwrap()); }, 2000);
    let fifteen = block(|| problem.evaluate_batch(&many, &mut values, 1).unwrap(), 2000);
    println!("{one:.0} {fifteen:.0}");
}
RUST
  (cd "$work/rust" && CARGO_TARGET_DIR=$work/rust/target cargo build --offline --release --quiet) && callers+=(rust)
fi

# Each caller prints "ONE FIFTEEN": nanoseconds a call.
c_times() { LD_LIBRARY_PATH=$libdir pin "$build/bench/binding_call_times" "$1" "$2"; }
time_c_rows() { c_times "$1" rows; }
time_c_columns() { c_times "$1" columns; }
time_python() {
  PYTHONPATH=$root/bindings/python OBJEVAL_LIBRARY=$build/capi/libobjeval.so \
    OBJEVAL_CALLS=$(ls "$build"/bindings/python/_calls*.so 2>/dev/null | head -n 1) pin "$python" - "$1" <<'PYTHON'
import sys, time, numpy as np, objeval
problem = objeval.problems[sys.argv[1]]
many = np.random.default_rng(1).uniform(-1, 1, (15, problem.dimension))
x = many[0].copy()
def block(call, calls=2000):
    blocks = []
    for _ in range(9):
        start = time.perf_counter()
        for _ in range(calls):
            call()
        blocks.append((time.perf_counter() - start) / calls * 1e9)
    return sorted(blocks)[4]
print(f"{block(lambda: problem(x)):.0f} {block(lambda: problem(many)):.0f}")
PYTHON
}
time_r() {
  R_LIBS=$work pin Rscript -e "library(objeval); f <- get('$1'); d <- problems()\$dimension[problems()\$name == '$1'];
    many <- matrix(runif(15 * d, -1, 1), nrow = 15); x <- many[1, ];
    block <- function(call) median(sapply(1:9, function(b) system.time(for (k in 1:20000) call())[['elapsed']] / 20000 * 1e9));
    cat(sprintf('%.0f %.0f\n', block(function() f(x)), block(function() f(many))))"
}
time_octave() {
  pin octave-cli --no-history --norc --eval "pkg local_list $work/octave_packages; pkg load objeval;
    f = str2func('objeval_$1'); d = objeval_problems()(strcmp({objeval_problems().name}, '$1')).dimension;
    many = rand(15, d) * 2 - 1; x = many(1, :); t = zeros(2, 9);
    for b = 1:9, tic; for k = 1:500, f(x); end; t(1, b) = toc / 500; tic; for k = 1:500, f(many); end; t(2, b) = toc / 500; end
    printf('%.0f %.0f\n', median(t(1, :)) * 1e9, median(t(2, :)) * 1e9);" 2>/dev/null
}
time_java() { pin java -cp "$jar:$work" Calls "$1"; }
time_fortran() { pin "$work/calls" "$1"; }
time_rust() { LD_LIBRARY_PATH=$libdir pin "$work/rust/target/release/calls" "$1"; }
reference() { case $1 in r | octave) echo c_columns ;; *) echo c_rows ;; esac; }
median_of() { tr ' ' '\n' | sort -n | awk 'NF { v[n++] = $1 } END { printf "%.2f", v[int(n / 2)] }'; }

echo
echo "| problem | caller | one point | to C | 15 points | to C |"
echo "|---|---|---:|---:|---:|---:|"
for problem in doorcost quadobj; do
  declare -A one=() fifteen=() last=()
  for ((r = 0; r < rounds; r++)); do
    for caller in c_rows c_columns "${callers[@]}"; do
      last[$caller]=$(time_$caller $problem)
    done
    for caller in "${callers[@]}"; do
      read -r o f <<<"${last[$caller]}"
      read -r co cf <<<"${last[$(reference $caller)]}"
      one[$caller]+="$(awk -v a="$o" -v b="$co" 'BEGIN { printf "%.3f ", a / b }')"
      fifteen[$caller]+="$(awk -v a="$f" -v b="$cf" 'BEGIN { printf "%.3f ", a / b }')"
    done
  done
  for caller in c_rows c_columns "${callers[@]}"; do
    read -r o f <<<"${last[$caller]}"
    if [[ $caller == c_* ]]; then
      echo "| $problem | ${caller/_/, } | $o ns | | $f ns | |"
    else
      echo "| $problem | $caller | $o ns | $(echo "${one[$caller]}" | median_of) | $f ns | $(echo "${fifteen[$caller]}" | median_of) |"
    fi
  done
done

echo
echo "A study run's call of 15 points against the same call without a study:"
for problem in doorcost quadobj; do
  echo "$problem, C: $(LD_LIBRARY_PATH=$libdir pin "$build/bench/binding_call_times" "$problem" study)"
  if [[ " ${callers[*]} " == *" python "* ]]; then
    echo "$problem, Python: $(PYTHONPATH=$root/bindings/python OBJEVAL_LIBRARY=$build/capi/libobjeval.so \
      OBJEVAL_CALLS=$(ls "$build"/bindings/python/_calls*.so 2>/dev/null | head -n 1) pin "$python" - "$problem" "$work/study" <<'PYTHON'
import sys, time, numpy as np, objeval
problem = objeval.problems[sys.argv[1]]
many = np.random.default_rng(1).uniform(-1, 1, (15, problem.dimension))
with objeval.Study(sys.argv[2], "timing", add=True) as study, study.run(problem) as run:
    ratios = []
    for _ in range(9):
        times = []
        for call in (problem, run):
            start = time.perf_counter()
            for _ in range(2000):
                call(many)
            times.append(time.perf_counter() - start)
        ratios.append(times[1] / times[0])
print(f"{sorted(ratios)[4]:.2f}")
PYTHON
)"
  fi
  if [[ " ${callers[*]} " == *" r "* ]]; then
    echo "$problem, R: $(R_LIBS=$work pin Rscript -e "library(objeval); d <- problems()\$dimension[problems()\$name == '$problem'];
      many <- matrix(runif(15 * d, -1, 1), nrow = 15); s <- study('$work/study', 'timing r', add = TRUE);
      run <- study_run(s, '$problem'); p <- get('$problem');
      ratio <- sapply(1:9, function(b) system.time(for (k in 1:2000) run(many))[['elapsed']] /
                                      system.time(for (k in 1:2000) p(many))[['elapsed']]);
      end_run(run); cat(sprintf('%.2f\n', median(ratio)))" 2>/dev/null)"
  fi
done
