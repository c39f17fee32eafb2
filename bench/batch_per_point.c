// SPDX-License-Identifier: MIT
/* The C batch's time a point: PROBLEM's batch of COUNT random points on
 * THREADS threads (default 1), laid out as LAYOUT says (default floats);
 * prints the median of REPEATS calls in nanoseconds a point. Every layout
 * holds the same values. The reference the bindings are timed against
 * (bench/bindings_batch.sh), and the library's own readers of doubles:
 *
 *   floats          rows of floats, a point after a point (the batch's own layout)
 *   doubles         rows of doubles (NumPy's C order, Java's double[], Fortran's real64 x(d, n))
 *   double-columns  a column-major n-by-d matrix of doubles (MATLAB, Octave, R, NumPy's Fortran order)
 *
 *   batch_per_point PROBLEM COUNT REPEATS [LAYOUT [THREADS]] */
#include <objeval/objeval.h>

#include "timing.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

int main(int argc, char** argv) {
  if (argc < 4 || argc > 6) {
    fprintf(stderr, "usage: batch_per_point PROBLEM COUNT REPEATS [floats|doubles|double-columns [THREADS]]\n");
    return 2;
  }
  size_t const problem = objeval_problem_find(argv[1]);
  if (problem == OBJEVAL_NO_PROBLEM) return 2;
  size_t const count = (size_t)atol(argv[2]), dimension = objeval_problem_at(problem)->dimension;
  int const repeats = atoi(argv[3]);
  char const* layout = argc > 4 ? argv[4] : "floats";
  unsigned const threads = argc > 5 ? (unsigned)atoi(argv[5]) : 1;
  int const doubles = strcmp(layout, "doubles") == 0, columns = strcmp(layout, "double-columns") == 0;
  if (!doubles && !columns && strcmp(layout, "floats") != 0) return 2;
  float* points = malloc(count * dimension * sizeof(float));
  double* wide = doubles || columns ? malloc(count * dimension * sizeof(double)) : NULL;
  float* values = malloc(count * sizeof(float));
  double* times = malloc((size_t)repeats * sizeof(double));
  if (points == NULL || values == NULL || times == NULL || ((doubles || columns) && wide == NULL)) return 1;
  srand(1);
  for (size_t p = 0; p < count; ++p)
    for (size_t k = 0; k < dimension; ++k) {
      float const v = (float)rand() / (float)RAND_MAX * 2.0f - 1.0f;
      points[p * dimension + k] = v;
      if (wide != NULL) wide[columns ? k * count + p : p * dimension + k] = v;
    }
  for (int r = 0; r < repeats; ++r) {
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    if (doubles)
      objeval_evaluate_double(problem, wide, count, dimension, 1, values, threads);
    else if (columns)
      objeval_evaluate_double(problem, wide, count, 1, count, values, threads);
    else
      objeval_evaluate(problem, points, count, values, threads);
    clock_gettime(CLOCK_MONOTONIC, &end);
    times[r] = ((double)(end.tv_sec - start.tv_sec) * 1e9 + (double)(end.tv_nsec - start.tv_nsec)) / (double)count;
  }
  qsort(times, (size_t)repeats, sizeof *times, by_value);
  printf("%.1f\n", times[repeats / 2]);
  free(points);
  free(wide);
  free(values);
  free(times);
  return 0;
}
