#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A 65,536-point batch on one thread, in nanoseconds a point: the C batch
# from floats, row after row, against each binding from its own natural
# array (Octave and R: a double matrix, a point per row; Java: float[]).
# Each round runs every caller once, in turn; each call is timed in its own
# process, median of 7. Prints the median over rounds of each ratio to C.
#
#   bench/bindings_batch.sh [INSTALLED_PREFIX] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(realpath "${1:-$root/build/default/bindings-prefix}")
rounds=${2:-5}
count=65536 repeats=7
build=$(dirname "$(dirname "$(find "$root/build/default/bench" -name batch_per_point -type f | head -n 1)")")
export PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name objeval.pc)")  # one in a prefix, unlike libobjeval.so
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

Rscript -e 'install.packages(commandArgs(TRUE)[1], repos = NULL, lib = commandArgs(TRUE)[2], quiet = TRUE)' \
  "$(ls "$prefix"/share/objeval/R/objeval_*.tar.gz)" "$work" >/dev/null 2>&1 || { echo "R package did not install" >&2; exit 1; }
octave-cli --no-history --norc --eval "pkg prefix $work/octave $work/octave; pkg local_list $work/octave_packages;
  pkg install $(ls "$prefix"/share/objeval/octave/objeval-*.tar.gz)" >/dev/null 2>&1 ||
  { echo "Octave package did not install" >&2; exit 1; }
cat >"$work/Timing.java" <<'JAVA'
public class Timing {
  public static void main(String[] a) {
    int count = Integer.parseInt(a[1]), repeats = Integer.parseInt(a[2]);
    int dimension = a[0].equals("doorcost") ? 240 : 50;
    float[] points = new float[count * dimension], values = new float[count];
    java.util.Random random = new java.util.Random(1);
    for (int n = 0; n < points.length; n++) points[n] = random.nextFloat() * 2 - 1;
    double[] times = new double[repeats];
    for (int r = 0; r < repeats; r++) {
      long start = System.nanoTime();
      if (dimension == 240) objeval.Objeval.doorcost(points, values); else objeval.Objeval.quadobj(points, values);
      times[r] = (System.nanoTime() - start) / (double) count;
    }
    java.util.Arrays.sort(times);
    System.out.printf("%.1f%n", times[repeats / 2]);
  }
}
JAVA
javac -cp "$(ls "$prefix"/share/java/objeval-*.jar)" -d "$work" "$work/Timing.java"

time_c() { "$build/bench/batch_per_point" "$1" $count $repeats; }
dimension() { [[ $1 == doorcost ]] && echo 240 || echo 50; }
time_octave() {
  octave-cli --no-history --norc --eval "pkg local_list $work/octave_packages; pkg load objeval; f = @objeval_$1;
    x = rand($count, $(dimension "$1")) * 2 - 1; t = zeros(1, $repeats);
    for r = 1:$repeats, tic; f(x); t(r) = toc; end
    printf('%.1f\n', median(t) / $count * 1e9);" 2>/dev/null
}
time_r() {
  R_LIBS=$work Rscript -e "library(objeval); d <- $(dimension "$1"); f <- get('$1');
    x <- matrix(runif($count * d, -1, 1), ncol = d);
    t <- sapply(1:$repeats, function(r) { start <- Sys.time(); f(x); as.numeric(Sys.time() - start, units = 'secs') });
    cat(sprintf('%.1f\n', median(t) / $count * 1e9))"
}
time_java() { java -cp "$(ls "$prefix"/share/java/objeval-*.jar):$work" Timing "$1" $count $repeats; }

for problem in doorcost quadobj; do
  declare -A ratios=()
  for ((r = 0; r < rounds; r++)); do
    c=$(time_c $problem)
    for caller in octave r java; do
      ratios[$caller]+="$(time_$caller $problem | awk -v c="$c" '{ printf "%.3f ", $1 / c }')"
    done
    echo "$problem round $r: C $c ns a point" >&2
  done
  for caller in octave r java; do
    echo "| $problem | $caller | $(echo "${ratios[$caller]}" | tr ' ' '\n' | sort -n | awk 'NF { v[n++] = $1 } END { print v[int(n / 2)] }') |"
  done
done
