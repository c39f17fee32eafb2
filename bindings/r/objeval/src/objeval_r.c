// SPDX-License-Identifier: MIT
/* objeval's evaluators for R: a numeric, integer or logical vector or
 * matrix, a point per row, through libobjeval's C interface. */
#include <R.h>
#include <Rinternals.h>
#include <R_ext/Rdynload.h>

#include <objeval/objeval.h>

#include <math.h>
#include <stddef.h>

/* The table: a list of names, dimensions and descriptions. */
static SEXP objeval_r_problems(void) {
  size_t const count = objeval_problem_count();
  SEXP names = PROTECT(allocVector(STRSXP, (R_xlen_t)count));
  SEXP dimensions = PROTECT(allocVector(REALSXP, (R_xlen_t)count));
  SEXP descriptions = PROTECT(allocVector(STRSXP, (R_xlen_t)count));
  for (size_t n = 0; n < count; ++n) {
    objeval_problem const* p = objeval_problem_at(n);
    SET_STRING_ELT(names, (R_xlen_t)n, mkChar(p->name));
    REAL(dimensions)[n] = (double)p->dimension;
    SET_STRING_ELT(descriptions, (R_xlen_t)n, mkChar(p->description));
  }
  SEXP table = PROTECT(allocVector(VECSXP, 3));
  SET_VECTOR_ELT(table, 0, names);
  SET_VECTOR_ELT(table, 1, dimensions);
  SET_VECTOR_ELT(table, 2, descriptions);
  UNPROTECT(4);
  return table;
}

/* c(index, dimension) of the problem named `name`, or NULL. */
static SEXP objeval_r_find(SEXP name) {
  size_t const index = objeval_problem_find(CHAR(STRING_ELT(name, 0)));
  if (index == OBJEVAL_NO_PROBLEM) return R_NilValue;
  SEXP found = PROTECT(allocVector(REALSXP, 2));
  REAL(found)[0] = (double)index;
  REAL(found)[1] = (double)objeval_problem_at(index)->dimension;
  UNPROTECT(1);
  return found;
}

/* x: one point, or, where `rows`, a count-by-dimension matrix, column-major. */
static SEXP objeval_r_evaluate(SEXP problem, SEXP x, SEXP count_, SEXP rows_, SEXP threads_) {
  size_t const index = (size_t)REAL(problem)[0];
  size_t const count = (size_t)REAL(count_)[0];
  int const rows = LOGICAL(rows_)[0];
  unsigned const threads = (unsigned)REAL(threads_)[0];
  size_t const dimension = objeval_problem_at(index)->dimension;
  SEXP result = PROTECT(allocVector(REALSXP, (R_xlen_t)count));
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
  objeval_status const status = objeval_evaluate_doubles(index, points, count, rows ? 1 : dimension,
                                                         rows ? count : 1, REAL(result), threads);
  if (status != OBJEVAL_OK) error("objeval: %s", objeval_status_message(status));
  UNPROTECT(1);
  return result;
}

static R_CallMethodDef const calls[] = {
    {"objeval_r_problems", (DL_FUNC)&objeval_r_problems, 0},
    {"objeval_r_find", (DL_FUNC)&objeval_r_find, 1},
    {"objeval_r_evaluate", (DL_FUNC)&objeval_r_evaluate, 5},
    {NULL, NULL, 0},
};

void R_init_objeval(DllInfo* info) {
  R_registerRoutines(info, NULL, calls, NULL, NULL);
  R_useDynamicSymbols(info, FALSE);
  R_forceSymbols(info, TRUE);
}
