/* SPDX-License-Identifier: MIT */
/* The calls optimisers make, against their floor: for each problem, each
 * layout and each count of points from 1 to MOST (200), on one thread, the
 * median time of a call against
 *
 *   floor(b) = max(one point's call, b x a large batch's time a point),
 *
 * both measured in the same run (65,536 points from floats for the large
 * batch). Each count's layouts are timed in turn, on the same values. Prints
 * a line per problem and layout: the worst count's ratio and the median
 * ratio; --every prints each count's ratios too, --times each count's
 * microseconds.
 *
 *   population_calls [MOST] [--every | --times] [--problem NAME]
 */
#define _POSIX_C_SOURCE 200809L
#include <objeval/objeval.h>

#include "timing.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { layouts = 7 };
static char const* const layout_names[layouts] = {
    "floats as rows",          "floats, rows of a wider array", "doubles as rows",
    "doubles as rows, into doubles", "doubles in columns", "doubles in columns, into doubles", "floats in columns"};

struct call {
  size_t problem, dimension, count;
  float const* rows;         /* count rows of floats */
  float const* spread;       /* the same, the rows of an array twice as wide */
  double const* wide;        /* count rows of doubles */
  double const* columns;     /* a column-major count-by-dimension matrix */
  float const* float_columns; /* the same of floats */
  float* values;
  double* wide_values;
};

static objeval_status make_call(struct call const* c, int layout) {
  size_t const d = c->dimension, n = c->count;
  switch (layout) {
    case 0: return objeval_evaluate(c->problem, c->rows, n, c->values, 1);
    case 1: return objeval_evaluate_strided(c->problem, c->spread, n, 2 * d, 1, c->values, 1);
    case 2: return objeval_evaluate_double(c->problem, c->wide, n, d, 1, c->values, 1);
    case 3: return objeval_evaluate_doubles(c->problem, c->wide, n, d, 1, c->wide_values, 1);
    case 4: return objeval_evaluate_double(c->problem, c->columns, n, 1, n, c->values, 1);
    case 5: return objeval_evaluate_doubles(c->problem, c->columns, n, 1, n, c->wide_values, 1);
    default: return objeval_evaluate_strided(c->problem, c->float_columns, n, 1, n, c->values, 1);
  }
}

/* Seconds a call of `c` in `layout`: the median of calls repeated for about
 * `budget` seconds in all, at least 5. */
static double timed(struct call const* c, int layout, double budget) {
  double samples[401];
  int count = 0;
  double const until = now() + budget;
  while (count < 401 && (count < 5 || now() < until)) {
    double const start = now();
    if (make_call(c, layout) != OBJEVAL_OK) {
      fprintf(stderr, "population_calls: a call failed\n");
      exit(1);
    }
    samples[count++] = now() - start;
  }
  return median(samples, (size_t)count);
}

int main(int argc, char** argv) {
  size_t most = 200;
  int every = 0, times = 0;
  char const* only = NULL;
  for (int a = 1; a < argc; ++a) {
    if (strcmp(argv[a], "--every") == 0) every = 1;
    else if (strcmp(argv[a], "--times") == 0) every = times = 1;
    else if (strcmp(argv[a], "--problem") == 0 && a + 1 < argc) only = argv[++a];
    else most = (size_t)atol(argv[a]);
  }
  if (most < 2) return 2;
  size_t const large = 65536;
  for (size_t problem = 0; problem < objeval_problem_count(); ++problem) {
    objeval_problem const* p = objeval_problem_at(problem);
    if (only != NULL ? strcmp(only, p->name) != 0 : problem > OBJEVAL_QUADOBJ) continue;
    size_t const d = p->dimension, n = large > most ? large : most;
    float* rows = malloc(n * d * sizeof(float));
    float* spread = calloc(2 * most * d, sizeof(float));
    double* wide = malloc(most * d * sizeof(double));
    double* columns = malloc(most * d * sizeof(double));
    float* float_columns = malloc(most * d * sizeof(float));
    float* values = malloc(n * sizeof(float));
    double* wide_values = malloc(most * sizeof(double));
    if (!rows || !spread || !wide || !columns || !float_columns || !values || !wide_values) return 1;
    srand(7);
    for (size_t k = 0; k < n * d; ++k) rows[k] = (float)rand() / (float)RAND_MAX * 2.0f - 1.0f;
    for (size_t k = 0; k < most * d; ++k) spread[k / d * 2 * d + k % d] = rows[k], wide[k] = rows[k];
    struct call one = {problem, d, 1, rows, spread, wide, wide, rows, values, wide_values};
    struct call batch = {problem, d, large, rows, spread, wide, wide, rows, values, wide_values};
    double const point = timed(&one, 0, 0.3), per_point = timed(&batch, 0, 1.0) / (double)large;
    printf("%s: one point %.2f us; %zu points %.1f ns a point; floor(b) = max(%.2f us, b x %.1f ns)\n", p->name,
           1e6 * point, large, 1e9 * per_point, 1e6 * point, 1e9 * per_point);
    double ratios[layouts][512];
    for (size_t b = 1; b <= most && b <= 512; ++b) {
      for (size_t k = 0; k < b; ++k)
        for (size_t j = 0; j < d; ++j) float_columns[j * b + k] = (float)(columns[j * b + k] = rows[k * d + j]);
      struct call c = {problem, d, b, rows, spread, wide, columns, float_columns, values, wide_values};
      double const floor = point > (double)b * per_point ? point : (double)b * per_point;
      if (every) printf("  %3zu points:", b);
      for (int layout = 0; layout < layouts; ++layout) {
        double const seconds = timed(&c, layout, 0.004);
        ratios[layout][b - 1] = seconds / floor;
        if (every) printf(" %6.2f", times ? 1e6 * seconds : ratios[layout][b - 1]);
      }
      if (every) printf("\n");
    }
    size_t const counted = most < 512 ? most : 512;
    for (int layout = 0; layout < layouts; ++layout) {
      size_t worst = 2;
      for (size_t b = 2; b <= counted; ++b)
        if (ratios[layout][b - 1] > ratios[layout][worst - 1]) worst = b;
      double sorted[512];
      memcpy(sorted, ratios[layout] + 1, (counted - 1) * sizeof(double));
      printf("  %-33s one point %.2f, counts 2-%zu: worst %.2f (%zu points), median %.2f\n", layout_names[layout],
             ratios[layout][0], counted, ratios[layout][worst - 1], worst, median(sorted, counted - 1));
    }
    free(rows), free(spread), free(wide), free(columns), free(float_columns), free(values), free(wide_values);
  }
  return 0;
}
