// SPDX-License-Identifier: MIT
/* The C batch's time a point: PROBLEM's batch of COUNT random points, row
 * after row of floats, on one thread; prints the median of REPEATS calls in
 * nanoseconds a point. The reference the bindings are timed against
 * (bench/bindings_batch.sh).
 *
 *   batch_per_point PROBLEM COUNT REPEATS */
#include <objeval/objeval.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static int by_value(const void* a, const void* b) {
  double const x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: batch_per_point PROBLEM COUNT REPEATS\n");
    return 2;
  }
  size_t problem = 0;
  while (problem < objeval_problem_count() && strcmp(objeval_problem_at(problem)->name, argv[1]) != 0) ++problem;
  if (problem == objeval_problem_count()) return 2;
  size_t const count = (size_t)atol(argv[2]), dimension = objeval_problem_at(problem)->dimension;
  int const repeats = atoi(argv[3]);
  float* points = malloc(count * dimension * sizeof(float));
  float* values = malloc(count * sizeof(float));
  double* times = malloc((size_t)repeats * sizeof(double));
  if (points == NULL || values == NULL || times == NULL) return 1;
  srand(1);
  for (size_t n = 0; n < count * dimension; ++n) points[n] = (float)rand() / (float)RAND_MAX * 2.0f - 1.0f;
  for (int r = 0; r < repeats; ++r) {
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    objeval_evaluate(problem, points, count, values, 1);
    clock_gettime(CLOCK_MONOTONIC, &end);
    times[r] = ((double)(end.tv_sec - start.tv_sec) * 1e9 + (double)(end.tv_nsec - start.tv_nsec)) / (double)count;
  }
  qsort(times, (size_t)repeats, sizeof *times, by_value);
  printf("%.1f\n", times[repeats / 2]);
  free(points);
  free(values);
  free(times);
  return 0;
}
