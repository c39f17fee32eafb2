/* SPDX-License-Identifier: MIT */
/* What a run costs as a study grows: RUNS runs (100,000 by default) of
 * POINTS evaluations each (10) in one folder, each started, evaluated and
 * ended; prints the median microseconds a run for the first 1,000 runs and
 * for the last 1,000, and their ratio: a run's end that rewrote anything
 * made of all the runs would grow with the study. With --durable, each
 * run's files are flushed to the disk before it counts as ended.
 *
 *   study_run_ends FOLDER [RUNS] [POINTS] [--durable]
 */
#include <objeval/objeval.h>

#include "timing.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: study_run_ends FOLDER [RUNS] [POINTS] [--durable]\n");
    return 2;
  }
  int const durable = strcmp(argv[argc - 1], "--durable") == 0;
  argc -= durable;
  size_t const runs = argc > 2 ? (size_t)atol(argv[2]) : 100000, points = argc > 3 ? (size_t)atol(argv[3]) : 10;
  size_t const window = runs < 2000 ? runs / 2 : 1000, problem = objeval_problem_find("quadobj");
  if (window == 0 || points == 0) return 2;
  float* x = malloc(points * 50 * sizeof(float));
  float* values = malloc(points * sizeof(float));
  double* seconds = malloc(runs * sizeof(double));
  if (x == NULL || values == NULL || seconds == NULL) return 1;
  srand(1);
  objeval_study* study;
  if (objeval_study_open(argv[1], "run ends", "", durable ? OBJEVAL_DURABLE : 0, &study) != OBJEVAL_OK) {
    fprintf(stderr, "study_run_ends: %s\n", objeval_last_error());
    return 1;
  }
  for (size_t r = 0; r < runs; ++r) {
    for (size_t k = 0; k < points * 50; ++k) x[k] = (float)rand() / (float)RAND_MAX * 2.0f - 1.0f;
    char seed[32];
    snprintf(seed, sizeof seed, "seed=%zu", r);
    double const start = now();
    objeval_run* run;
    if (objeval_run_start(study, problem, 0, seed, &run) != OBJEVAL_OK ||
        objeval_run_evaluate(run, x, points, values, 1, NULL) != OBJEVAL_OK || objeval_run_end(run) != OBJEVAL_OK) {
      fprintf(stderr, "study_run_ends: run %zu: %s\n", r + 1, objeval_last_error());
      return 1;
    }
    seconds[r] = now() - start;
  }
  objeval_study_close(study);
  double const first = median(seconds, window), last = median(seconds + runs - window, window);
  printf("%zu runs of %zu evaluations%s: %.1f us a run for runs 1-%zu, %.1f us for runs %zu-%zu: %.2f times\n", runs,
         points, durable ? ", durable" : "", 1e6 * first, window, 1e6 * last, runs - window + 1, runs, last / first);
  free(x);
  free(values);
  free(seconds);
  return 0;
}
