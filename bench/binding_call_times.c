/* SPDX-License-Identifier: MIT */
/* The C calls bench/binding_calls.sh holds each language's to, on doubles:
 * "rows" prints the nanoseconds of a call of one point and of 15 rows of
 * doubles, "columns" of one point and of a column-major 15-by-d matrix;
 * "study" the ratio of a study run's call of 15 rows to the same call
 * without a study. Each the median of 9 blocks of 2,000 calls.
 *
 *   binding_call_times PROBLEM rows|columns|study */
#define _POSIX_C_SOURCE 200809L
#include <objeval/objeval.h>

#include "timing.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { blocks = 9, calls = 2000, count = 15 };

struct call {
  size_t problem, dimension, count, point_stride, coordinate_stride;
  double const* points;
  objeval_run* run;
};

static double block(struct call const* c) {
  float values[count];
  double const start = now();
  for (int k = 0; k < calls; ++k)
    if ((c->run != NULL ? objeval_run_evaluate_double(c->run, c->points, c->count, c->point_stride,
                                                      c->coordinate_stride, values, 1, NULL)
                        : objeval_evaluate_double(c->problem, c->points, c->count, c->point_stride,
                                                  c->coordinate_stride, values, 1)) != OBJEVAL_OK)
      exit(1);
  return (now() - start) / calls;
}

static double median_block(struct call const* c) {
  double times[blocks];
  for (int b = 0; b < blocks; ++b) times[b] = block(c);
  return median(times, blocks);
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  size_t const problem = objeval_problem_find(argv[1]);
  if (problem == OBJEVAL_NO_PROBLEM) return 2;
  size_t const d = objeval_problem_at(problem)->dimension;
  double* rows = malloc(count * d * sizeof(double));
  double* columns = malloc(count * d * sizeof(double));
  if (rows == NULL || columns == NULL) return 1;
  srand(1);
  for (size_t p = 0; p < count; ++p)
    for (size_t k = 0; k < d; ++k) columns[k * count + p] = rows[p * d + k] = (double)rand() / RAND_MAX * 2 - 1;
  struct call const one = {problem, d, 1, d, 1, rows, NULL};
  struct call const by_rows = {problem, d, count, d, 1, rows, NULL};
  struct call const by_columns = {problem, d, count, 1, count, columns, NULL};
  if (strcmp(argv[2], "study") == 0) {
    char folder[] = "/tmp/objeval-binding-calls-XXXXXX";
    if (mkdtemp(folder) == NULL) return 1;
    objeval_study* study;
    objeval_run* run;
    if (objeval_study_open(folder, "timing", "", 0, &study) != OBJEVAL_OK ||
        objeval_run_start(study, problem, 0, NULL, &run) != OBJEVAL_OK)
      return 1;
    struct call through = by_rows;
    through.run = run;
    double ratios[blocks];
    for (int b = 0; b < blocks; ++b) ratios[b] = block(&through) / block(&by_rows);
    printf("%.2f\n", median(ratios, blocks));
    objeval_run_discard(run);
    objeval_study_close(study);
    char command[128];
    snprintf(command, sizeof command, "rm -rf %s", folder);
    return system(command) == 0 ? 0 : 1;
  }
  int const by_column = strcmp(argv[2], "columns") == 0;
  printf("%.0f %.0f\n", 1e9 * median_block(&one), 1e9 * median_block(by_column ? &by_columns : &by_rows));
  free(rows);
  free(columns);
  return 0;
}
