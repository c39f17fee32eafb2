/* SPDX-License-Identifier: MIT */
/* What the C benchmarks time with: a monotonic clock in seconds, and the
 * median of a sample (sorted in place). */
#ifndef OBJEVAL_BENCH_TIMING_H
#define OBJEVAL_BENCH_TIMING_H

#include <stddef.h>
#include <stdlib.h>
#include <time.h>

static inline double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

static inline int by_value(const void* a, const void* b) {
  double const x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

static inline double median(double* values, size_t count) {
  qsort(values, count, sizeof *values, by_value);
  return values[count / 2];
}

#endif
