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

/* x's numbers as doubles: integer and logical too, NA as NaN. */
static double const* numbers(SEXP x) {
  if (TYPEOF(x) == REALSXP) return REAL(x);
  R_xlen_t const n = XLENGTH(x);
  int const* in = TYPEOF(x) == INTSXP ? INTEGER(x) : LOGICAL(x);
  double* widened = (double*)R_alloc(n > 0 ? (size_t)n : 1, sizeof(double));
  for (R_xlen_t k = 0; k < n; ++k) widened[k] = in[k] == NA_INTEGER ? NAN : (double)in[k];
  return widened;
}

/* x: one point, or, where `rows`, a count-by-dimension matrix, column-major. */
static SEXP objeval_r_evaluate(SEXP problem, SEXP x, SEXP count_, SEXP rows_, SEXP threads_) {
  size_t const index = (size_t)REAL(problem)[0];
  size_t const count = (size_t)REAL(count_)[0];
  int const rows = LOGICAL(rows_)[0];
  unsigned const threads = (unsigned)REAL(threads_)[0];
  size_t const dimension = objeval_problem_at(index)->dimension;
  SEXP result = PROTECT(allocVector(REALSXP, (R_xlen_t)count));
  objeval_status const status = objeval_evaluate_doubles(index, numbers(x), count, rows ? 1 : dimension,
                                                         rows ? count : 1, REAL(result), threads);
  if (status != OBJEVAL_OK) error("objeval: %s", objeval_status_message(status));
  UNPROTECT(1);
  return result;
}

/* The calls optimisers make, at the C call's cost: x a double vector of
 * one point, or a double matrix of a point per row (a dimension-by-1
 * matrix is one point, as evaluate() takes it). Anything else, an integer
 * vector, a data frame, a wrong shape, a bad option, is NULL: the R path
 * takes it, and says what is wrong. */
static int fast_shape(SEXP x, size_t dimension, size_t* count, int* rows) {
  if (TYPEOF(x) != REALSXP) return 0;
  SEXP const dim = getAttrib(x, R_DimSymbol);
  if (dim == R_NilValue || XLENGTH(dim) == 1) {
    *count = 1, *rows = 0;
    return (size_t)XLENGTH(x) == dimension;
  }
  if (XLENGTH(dim) != 2 || TYPEOF(dim) != INTSXP) return 0;
  size_t const n = (size_t)INTEGER(dim)[0], d = (size_t)INTEGER(dim)[1];
  if (d == 1 && n == dimension && dimension != 1) {
    *count = 1, *rows = 0;
    return 1;
  }
  *count = n, *rows = 1;
  return d == dimension && n > 0;
}

/* `threads`, or where it is NULL options(objeval.threads), or 1; -1 where
 * it is not a count. */
static double fast_threads(SEXP threads) {
  static SEXP name = NULL;
  if (name == NULL) name = install("objeval.threads");
  SEXP const option = threads != R_NilValue ? threads : GetOption1(name);
  if (option == R_NilValue) return 1;
  if (!isNumeric(option) || XLENGTH(option) != 1) return -1;
  double const t = asReal(option);
  return ISNAN(t) || t < 0 || t != floor(t) ? -1 : t > 4294967295.0 ? 4294967295.0 : t;
}

static SEXP objeval_r_fast(SEXP name, SEXP x, SEXP threads_) {
  if (TYPEOF(name) != STRSXP || XLENGTH(name) != 1 || STRING_ELT(name, 0) == NA_STRING) return R_NilValue;
  size_t const index = objeval_problem_find(CHAR(STRING_ELT(name, 0)));
  size_t count;
  int rows;
  if (index == OBJEVAL_NO_PROBLEM || !fast_shape(x, objeval_problem_at(index)->dimension, &count, &rows))
    return R_NilValue;
  double const threads = fast_threads(threads_);
  if (threads < 0) return R_NilValue;
  size_t const dimension = objeval_problem_at(index)->dimension;
  SEXP result = PROTECT(allocVector(REALSXP, (R_xlen_t)count));
  objeval_status const status = objeval_evaluate_doubles(index, REAL(x), count, rows ? 1 : dimension,
                                                         rows ? count : 1, REAL(result), (unsigned)threads);
  UNPROTECT(1);
  return status == OBJEVAL_OK ? result : R_NilValue;
}

/* Studies: a study and a run are external pointers; a run that is
 * collected unended is ended then, so that no run is lost. */
static void study_closed(SEXP study) {
  objeval_study_close((objeval_study*)R_ExternalPtrAddr(study));
  R_ClearExternalPtr(study);
}

/* A run collected unended is discarded, saying so: a run is in the study
 * once it is ended on purpose. */
static void run_ended(SEXP run) {
  objeval_run* r = (objeval_run*)R_ExternalPtrAddr(run);
  R_ClearExternalPtr(run);
  if (r == NULL) return;
  objeval_run_discard(r);
  REprintf("objeval: a run was never ended, and is discarded: end it with end_run()\n");
}

static void fail_with(objeval_status status, const char* what) {
  const char* words = objeval_last_error();
  error("objeval: %s: %s", what, words[0] ? words : objeval_status_message(status));
}

static SEXP objeval_r_study_open(SEXP folder, SEXP algorithm, SEXP info, SEXP options) {
  objeval_study* study = NULL;
  objeval_status const status = objeval_study_open(CHAR(STRING_ELT(folder, 0)), CHAR(STRING_ELT(algorithm, 0)),
                                                   CHAR(STRING_ELT(info, 0)), (unsigned)REAL(options)[0], &study);
  if (status != OBJEVAL_OK) fail_with(status, CHAR(STRING_ELT(folder, 0)));
  SEXP pointer = PROTECT(R_MakeExternalPtr(study, R_NilValue, R_NilValue));
  R_RegisterCFinalizerEx(pointer, study_closed, TRUE);
  UNPROTECT(1);
  return pointer;
}

static SEXP objeval_r_study_close(SEXP study) {
  study_closed(study);
  return R_NilValue;
}

static SEXP objeval_r_run_start(SEXP study, SEXP problem, SEXP budget, SEXP attributes) {
  objeval_study* s = (objeval_study*)R_ExternalPtrAddr(study);
  if (s == NULL) error("objeval: the study is closed");
  objeval_run* run = NULL;
  objeval_status const status = objeval_run_start(s, (size_t)REAL(problem)[0], (unsigned long long)REAL(budget)[0],
                                                  CHAR(STRING_ELT(attributes, 0)), &run);
  if (status != OBJEVAL_OK) fail_with(status, "a run");
  SEXP pointer = PROTECT(R_MakeExternalPtr(run, R_NilValue, R_NilValue));
  R_RegisterCFinalizerEx(pointer, run_ended, TRUE);
  UNPROTECT(1);
  return pointer;
}

static objeval_run* live_run(SEXP run) {
  objeval_run* r = (objeval_run*)R_ExternalPtrAddr(run);
  if (r == NULL) error("objeval: the run has ended");
  return r;
}

/* The values, with attribute "evaluated": fewer than the points where the
 * budget is spent, which the R side says as a condition of its own. */
static SEXP objeval_r_run_evaluate(SEXP run, SEXP x, SEXP count_, SEXP rows_, SEXP threads_) {
  objeval_run* r = live_run(run);
  size_t const count = (size_t)REAL(count_)[0];
  int const rows = LOGICAL(rows_)[0];
  size_t const dimension = (size_t)XLENGTH(x) / (count > 0 ? count : 1);
  SEXP result = PROTECT(allocVector(REALSXP, (R_xlen_t)count));
  size_t evaluated = 0;
  objeval_status const status = objeval_run_evaluate_doubles(r, numbers(x), count, rows ? 1 : dimension,
                                                             rows ? count : 1, REAL(result), (unsigned)REAL(threads_)[0],
                                                             &evaluated);
  if (status != OBJEVAL_OK && status != OBJEVAL_BUDGET_SPENT) fail_with(status, "a run");
  setAttrib(result, install("evaluated"), ScalarReal((double)evaluated));
  UNPROTECT(1);
  return result;
}

/* The same through a run, as objeval_r_fast takes x: the values where
 * every point was evaluated; where the budget ended the call, list(values,
 * evaluated); NULL for the R path. */
static SEXP objeval_r_run_fast(SEXP run, SEXP dimension_, SEXP x) {
  objeval_run* r = (objeval_run*)R_ExternalPtrAddr(run);
  size_t count;
  int rows;
  size_t const dimension = (size_t)REAL(dimension_)[0];
  double const threads = fast_threads(R_NilValue);
  if (r == NULL || threads < 0 || !fast_shape(x, dimension, &count, &rows)) return R_NilValue;
  SEXP result = PROTECT(allocVector(REALSXP, (R_xlen_t)count));
  size_t evaluated = 0;
  objeval_status const status = objeval_run_evaluate_doubles(r, REAL(x), count, rows ? 1 : dimension,
                                                             rows ? count : 1, REAL(result), (unsigned)threads,
                                                             &evaluated);
  if (status != OBJEVAL_OK && status != OBJEVAL_BUDGET_SPENT) fail_with(status, "a run");
  if (status == OBJEVAL_BUDGET_SPENT) {
    SEXP const partly = PROTECT(allocVector(VECSXP, 2));
    SET_VECTOR_ELT(partly, 0, result);
    SET_VECTOR_ELT(partly, 1, ScalarReal((double)evaluated));
    UNPROTECT(2);
    return partly;
  }
  UNPROTECT(1);
  return result;
}

/* list(evaluations, best, best point): `dimension` numbers. */
static SEXP objeval_r_run_state(SEXP run, SEXP dimension) {
  objeval_run* r = live_run(run);
  size_t const d = (size_t)REAL(dimension)[0];
  float* point = (float*)R_alloc(d > 0 ? d : 1, sizeof(float));
  float const best = objeval_run_best(r, point);
  SEXP state = PROTECT(allocVector(VECSXP, 3));
  SET_VECTOR_ELT(state, 0, ScalarReal((double)objeval_run_evaluations(r)));
  SET_VECTOR_ELT(state, 1, ScalarReal((double)best));
  SEXP coordinates = PROTECT(allocVector(REALSXP, (R_xlen_t)d));
  for (size_t k = 0; k < d; ++k) REAL(coordinates)[k] = point[k];
  SET_VECTOR_ELT(state, 2, coordinates);
  UNPROTECT(2);
  return state;
}

/* how: 0 ends the run, 1 fails it (`reason`), 2 discards it. */
static SEXP objeval_r_run_end(SEXP run, SEXP how, SEXP reason) {
  objeval_run* r = live_run(run);
  R_ClearExternalPtr(run);
  int const way = (int)REAL(how)[0];
  objeval_status const status = way == 1 ? objeval_run_fail(r, CHAR(STRING_ELT(reason, 0)))
                                : way == 2 ? objeval_run_discard(r)
                                           : objeval_run_end(r);
  if (status != OBJEVAL_OK) fail_with(status, "a run's end");
  return R_NilValue;
}

static R_CallMethodDef const calls[] = {
    {"objeval_r_problems", (DL_FUNC)&objeval_r_problems, 0},
    {"objeval_r_find", (DL_FUNC)&objeval_r_find, 1},
    {"objeval_r_evaluate", (DL_FUNC)&objeval_r_evaluate, 5},
    {"objeval_r_fast", (DL_FUNC)&objeval_r_fast, 3},
    {"objeval_r_run_fast", (DL_FUNC)&objeval_r_run_fast, 3},
    {"objeval_r_study_open", (DL_FUNC)&objeval_r_study_open, 4},
    {"objeval_r_study_close", (DL_FUNC)&objeval_r_study_close, 1},
    {"objeval_r_run_start", (DL_FUNC)&objeval_r_run_start, 4},
    {"objeval_r_run_evaluate", (DL_FUNC)&objeval_r_run_evaluate, 5},
    {"objeval_r_run_state", (DL_FUNC)&objeval_r_run_state, 2},
    {"objeval_r_run_end", (DL_FUNC)&objeval_r_run_end, 3},
    {NULL, NULL, 0},
};

void R_init_objeval(DllInfo* info) {
  R_registerRoutines(info, NULL, calls, NULL, NULL);
  R_useDynamicSymbols(info, FALSE);
  R_forceSymbols(info, TRUE);
}
