// SPDX-License-Identifier: MIT
/* objeval's evaluators for R: a numeric, integer or logical vector or
 * matrix, a point per row, through libobjeval's C interface. */
#include <R.h>
#include <Rinternals.h>
#include <R_ext/Rdynload.h>

#include <objeval/objeval.h>

#include <math.h>
#include <stddef.h>

/* x: a point (count 1) or a count-by-dimension matrix, column-major. */
static SEXP objeval_r_evaluate(SEXP problem, SEXP x, SEXP count_, SEXP threads_) {
  size_t const index = (size_t)INTEGER(problem)[0];
  size_t const count = (size_t)REAL(count_)[0];
  unsigned const threads = (unsigned)REAL(threads_)[0];
  size_t const dimension = objeval_problem_at(index)->dimension;
  size_t const point_stride = count == 1 && !isMatrix(x) ? dimension : 1;
  size_t const value_stride = count == 1 && !isMatrix(x) ? 1 : count;
  SEXP result = PROTECT(allocVector(REALSXP, (R_xlen_t)count));
  float* values = (float*)R_alloc(count > 0 ? count : 1, sizeof(float));
  double const* points;
  if (TYPEOF(x) == REALSXP) {
    points = REAL(x);
  } else { /* integer or logical: numbers, NA as NaN */
    R_xlen_t const n = XLENGTH(x);
    int const* in = TYPEOF(x) == INTSXP ? INTEGER(x) : LOGICAL(x);
    double* widened = (double*)R_alloc(n > 0 ? (size_t)n : 1, sizeof(double));
    for (R_xlen_t k = 0; k < n; ++k) widened[k] = in[k] == NA_INTEGER ? NAN : (double)in[k];
    points = widened;
  }
  int const status = objeval_evaluate_double(index, points, count, point_stride, value_stride, values, threads);
  if (status != OBJEVAL_OK) error("objeval: %s", objeval_status_message(status));
  double* out = REAL(result);
  for (size_t p = 0; p < count; ++p) out[p] = values[p];
  UNPROTECT(1);
  return result;
}

static R_CallMethodDef const calls[] = {
    {"objeval_r_evaluate", (DL_FUNC)&objeval_r_evaluate, 4},
    {NULL, NULL, 0},
};

void R_init_objeval(DllInfo* info) {
  R_registerRoutines(info, NULL, calls, NULL, NULL);
  R_useDynamicSymbols(info, FALSE);
  R_forceSymbols(info, TRUE);
}
