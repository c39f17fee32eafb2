/* SPDX-License-Identifier: MIT */
/* What logging costs: a batch of POINTS points (100,000 by default) through
 * a study's run, improvements only, against the same batch unlogged, taken
 * in turn ROUNDS times on the same values, in one process; prints each
 * problem's median time of each and the median of their ratios.
 *
 *   study_cost [ROUNDS] [POINTS] [THREADS]
 */
#include <objeval/objeval.h>

#include "timing.h"

#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
  int const rounds = argc > 1 ? atoi(argv[1]) : 21;
  size_t const count = argc > 2 ? (size_t)atol(argv[2]) : 100000;
  unsigned const threads = argc > 3 ? (unsigned)atoi(argv[3]) : 1;
  char folder[] = "/tmp/objeval-study-cost-XXXXXX";
  if (rounds < 1 || count < 1 || mkdtemp(folder) == NULL) return 2;
  objeval_study* study;
  if (objeval_study_open(folder, "timing", "", 0, &study) != OBJEVAL_OK) return 2;
  for (size_t problem = 0; problem < objeval_problem_count(); ++problem) {
    size_t const d = objeval_problem_at(problem)->dimension;
    float* points = malloc(count * d * sizeof(float));
    float* values = malloc(count * sizeof(float));
    double* plain = malloc((size_t)rounds * sizeof(double));
    double* logged = malloc((size_t)rounds * sizeof(double));
    double* ratio = malloc((size_t)rounds * sizeof(double));
    if (points == NULL || values == NULL || plain == NULL || logged == NULL || ratio == NULL) return 2;
    srand(7);
    for (size_t k = 0; k < count * d; ++k) points[k] = (float)rand() / (float)RAND_MAX * 2.0f - 1.0f;
    for (int r = 0; r < rounds; ++r) {
      double t = now();
      objeval_evaluate(problem, points, count, values, threads);
      plain[r] = now() - t;
      objeval_run* run;
      if (objeval_run_start(study, problem, 0, NULL, &run) != OBJEVAL_OK) return 2;
      t = now();
      if (objeval_run_evaluate(run, points, count, values, threads, NULL) != OBJEVAL_OK) return 2;
      logged[r] = now() - t;
      objeval_run_end(run);
      ratio[r] = logged[r] / plain[r];
    }
    printf("%s, %zu points, %u thread%s: unlogged %.2f ms, logged %.2f ms, logged to unlogged %.3f (median of %d)\n",
           objeval_problem_at(problem)->name, count, threads, threads == 1 ? "" : "s", 1e3 * median(plain, (size_t)rounds),
           1e3 * median(logged, (size_t)rounds), median(ratio, (size_t)rounds), rounds);
    free(points), free(values), free(plain), free(logged), free(ratio);
  }
  objeval_study_close(study);
  char command[128];
  snprintf(command, sizeof command, "rm -rf '%s'", folder);
  return system(command) == 0 ? 0 : 2;
}
