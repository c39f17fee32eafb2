// SPDX-License-Identifier: MIT
/* The Octave and MATLAB gateway to libobjeval. The Octave package builds it
 * as __objeval_mex__, under its functions (objeval_evaluate,
 * objeval_problems, objeval_<problem>), whose .m files carry the help;
 * MATLAB builds it as objeval_evaluate:
 *
 *   f = objeval_evaluate(name, X [, threads])
 *   p = objeval_evaluate()                 the table: name, dimension, description
 *
 * X is an n-by-dimension real matrix (double, single, an integer class or
 * logical), a point per row (as ga and particleswarm pass a population), or
 * a vector of dimension values, one point. The result is an n-by-1 double
 * column: each value the program's float, widened exactly. */
#include "mex.h"

#include <objeval/objeval.h>

#include <limits.h>
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

/* Raises the error `id` through error() itself: mexErrMsgIdAndTxt in Octave
 * puts the gateway's own name before the message. */
static void fail(const char* id, const char* format, ...) {
  char message[512];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  mxArray* error_arguments[3] = {mxCreateString(id), mxCreateString("%s"), mxCreateString(message)};
  mexCallMATLAB(0, NULL, 3, error_arguments, "error");
  mexErrMsgIdAndTxt(id, "%s", message); /* where error() returned */
}

static unsigned thread_count(const mxArray* threads) {
  double count;
  if (!mxIsNumeric(threads) || mxIsComplex(threads) || mxIsSparse(threads) || mxGetNumberOfElements(threads) != 1)
    fail("objeval:threads", "threads must be a real number: 0 (one per CPU) or more");
  count = mxGetScalar(threads);
  if (!(count >= 0) || count != floor(count))
    fail("objeval:threads", "threads must be a whole number: 0 (one per CPU) or more, got %g", count);
  return count > (double)UINT_MAX ? UINT_MAX : (unsigned)count;
}

/* "3-by-50" or "1-by-50-by-2": X's size, every dimension. */
static void size_text(const mxArray* x, char* text, size_t room) {
  mwSize const dimensions = mxGetNumberOfDimensions(x);
  const mwSize* sizes = mxGetDimensions(x);
  size_t used = 0;
  for (mwSize d = 0; d < dimensions && used < room; ++d)
    used += (size_t)snprintf(text + used, room - used, d ? "-by-%zu" : "%zu", (size_t)sizes[d]);
}

/* X's values as doubles, for the classes the library reads no other way. */
static const double* widened(const mxArray* x) {
  size_t const n = mxGetNumberOfElements(x);
  double* values = (double*)mxMalloc((n ? n : 1) * sizeof(double));
  const void* data = mxGetData(x);
  for (size_t k = 0; k < n; ++k) {
    switch (mxGetClassID(x)) {
      case mxLOGICAL_CLASS: values[k] = ((const mxLogical*)data)[k]; break;
      case mxINT8_CLASS: values[k] = ((const signed char*)data)[k]; break;
      case mxUINT8_CLASS: values[k] = ((const unsigned char*)data)[k]; break;
      case mxINT16_CLASS: values[k] = ((const short*)data)[k]; break;
      case mxUINT16_CLASS: values[k] = ((const unsigned short*)data)[k]; break;
      case mxINT32_CLASS: values[k] = ((const int*)data)[k]; break;
      case mxUINT32_CLASS: values[k] = ((const unsigned*)data)[k]; break;
      case mxINT64_CLASS: values[k] = (double)((const long long*)data)[k]; break;
      case mxUINT64_CLASS: values[k] = (double)((const unsigned long long*)data)[k]; break;
      default: values[k] = 0; break;
    }
  }
  return values;
}

/* X's values through `run` where it is not NULL: each point one of its
 * evaluations. */
static mxArray* evaluate(size_t problem, const mxArray* x, unsigned threads, objeval_run* run) {
  const char* name = objeval_problem_at(problem)->name;
  size_t const dimension = objeval_problem_at(problem)->dimension;
  size_t const rows = (size_t)mxGetM(x), columns = (size_t)mxGetN(x);
  size_t count = 0, point_stride = 1, coordinate_stride = 1;
  char size[128] = "";
  if (!mxIsNumeric(x) && !mxIsLogical(x))
    fail("objeval:type", "%s: X must be numeric or logical, n-by-%zu (a point per row), got %s", name,
                      dimension, mxGetClassName(x));
  if (mxIsComplex(x)) fail("objeval:complex", "%s: X must be real, n-by-%zu (a point per row)", name, dimension);
  if (mxIsSparse(x))
    fail("objeval:sparse", "%s: X must be a full matrix, n-by-%zu (a point per row); use full(X)", name,
                      dimension);
  if (mxGetNumberOfDimensions(x) == 2 && columns == dimension) {
    count = rows; /* a point per row: value k of point p at p + k * rows */
    point_stride = 1;
    coordinate_stride = rows;
  } else if (mxGetNumberOfDimensions(x) == 2 && rows == dimension && columns == 1) {
    count = 1; /* a column vector: one point */
    point_stride = dimension;
    coordinate_stride = 1;
  } else {
    size_text(x, size, sizeof size);
    fail("objeval:shape", "%s: X must be n-by-%zu (a point per row) or a vector of %zu values, got %s", name,
                      dimension, dimension, size);
  }
  mxArray* result = mxCreateDoubleMatrix((mwSize)count, 1, mxREAL);
  if (count == 0) return result;
  objeval_status status;
  if (mxIsSingle(x)) {
    float* values = (float*)mxMalloc(count * sizeof(float));
    const float* points = (const float*)mxGetData(x);
    status = run != NULL ? objeval_run_evaluate_strided(run, points, count, point_stride, coordinate_stride, values,
                                                        threads, NULL)
                         : objeval_evaluate_strided(problem, points, count, point_stride, coordinate_stride, values,
                                                    threads);
    double* out = mxGetPr(result);
    for (size_t n = 0; n < count; ++n) out[n] = values[n];
    mxFree(values);
  } else {
    const double* points = mxIsDouble(x) ? (const double*)mxGetData(x) : widened(x);
    status = run != NULL ? objeval_run_evaluate_doubles(run, points, count, point_stride, coordinate_stride,
                                                        mxGetPr(result), threads, NULL)
                         : objeval_evaluate_doubles(problem, points, count, point_stride, coordinate_stride,
                                                    mxGetPr(result), threads);
    if (!mxIsDouble(x)) mxFree((void*)points);
  }
  if (status == OBJEVAL_BUDGET_SPENT) fail("objeval:budget", "%s: %s", name, objeval_last_error());
  if (status != OBJEVAL_OK) fail("objeval:failed", "%s: %s", name, objeval_status_message(status));
  return result;
}

static void problems(mxArray* plhs[]) {
  const char* fields[] = {"name", "dimension", "description"};
  size_t const count = objeval_problem_count();
  plhs[0] = mxCreateStructMatrix((mwSize)count, 1, 3, fields);
  for (size_t n = 0; n < count; ++n) {
    const objeval_problem* p = objeval_problem_at(n);
    mxSetField(plhs[0], (mwIndex)n, "name", mxCreateString(p->name));
    mxSetField(plhs[0], (mwIndex)n, "dimension", mxCreateDoubleScalar((double)p->dimension));
    mxSetField(plhs[0], (mwIndex)n, "description", mxCreateString(p->description));
  }
}

/* Studies and runs, handed to Octave as handles: each live one is listed
 * here, so that a handle that is not (ended, or made up) is an error, not
 * a crash; the gateway stays loaded while any lives. */
enum { most_handles = 4096 };
static void* live[most_handles];
static int live_is_run[most_handles];
static int live_count;

/* At exit, a run never ended is discarded, saying so: a run is in the
 * study once it is ended on purpose. */
static void discard_live_runs(void) {
  for (int k = 0; k < most_handles; ++k)
    if (live[k] != NULL && live_is_run[k]) {
      objeval_run_discard((objeval_run*)live[k]);
      live[k] = NULL;
      fprintf(stderr, "objeval: a run was never ended, and is discarded: end it with objeval_run_end\n");
    }
}

static mxArray* handle_of(void* p, int is_run) {
  mxArray* handle = mxCreateNumericMatrix(1, 1, mxUINT64_CLASS, mxREAL);
  *(unsigned long long*)mxGetData(handle) = (unsigned long long)(size_t)p;
  static int exit_registered;
  if (!exit_registered) exit_registered = mexAtExit(discard_live_runs) == 0;
  for (int k = 0; k < most_handles; ++k)
    if (live[k] == NULL) {
      live[k] = p;
      live_is_run[k] = is_run;
      if (live_count++ == 0) mexLock();
      return handle;
    }
  fail("objeval:study", "more than %d studies and runs at once", most_handles);
  return handle;
}

/* The live study or run `handle` names; `forget` takes it off the list. */
static void* from_handle(const mxArray* handle, int forget) {
  if (!mxIsUint64(handle) || mxGetNumberOfElements(handle) != 1) fail("objeval:study", "not a study's or a run's handle");
  void* p = (void*)(size_t) * (const unsigned long long*)mxGetData(handle);
  for (int k = 0; k < most_handles; ++k)
    if (p != NULL && live[k] == p) {
      if (forget) {
        live[k] = NULL;
        if (--live_count == 0) mexUnlock();
      }
      return p;
    }
  fail("objeval:study", "the study or run has been closed or ended");
  return NULL;
}

static void text_of(const mxArray* a, char* text, size_t room, const char* what) {
  if (!mxIsChar(a) || mxGetString(a, text, (mwSize)room) != 0) fail("objeval:arguments", "%s must be a string", what);
}

static void fail_study(objeval_status status, const char* what) {
  const char* words = objeval_last_error();
  fail(status == OBJEVAL_BAD_ARGUMENT ? "objeval:arguments" : "objeval:study", "%s: %s", what,
       words[0] ? words : objeval_status_message(status));
}

/* __objeval_mex__("#study_open", folder, algorithm, info, options), and the
 * other study commands the package's objeval_study and objeval_run use. */
static void study_command(const char* command, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  char folder[4096], algorithm[1024], info[4096], name[64], attributes[4096];
  objeval_status status;
  if (strcmp(command, "#study_open") == 0 && nrhs == 5) {
    objeval_study* study;
    text_of(prhs[1], folder, sizeof folder, "the folder");
    text_of(prhs[2], algorithm, sizeof algorithm, "the algorithm");
    text_of(prhs[3], info, sizeof info, "the info");
    status = objeval_study_open(folder, algorithm, info, (unsigned)mxGetScalar(prhs[4]), &study);
    if (status != OBJEVAL_OK) fail_study(status, folder);
    plhs[0] = handle_of(study, 0);
  } else if (strcmp(command, "#study_close") == 0 && nrhs == 2) {
    objeval_study_close((objeval_study*)from_handle(prhs[1], 1));
  } else if (strcmp(command, "#run_start") == 0 && nrhs == 5) {
    objeval_study* study = (objeval_study*)from_handle(prhs[1], 0);
    objeval_run* run;
    text_of(prhs[2], name, sizeof name, "the problem");
    text_of(prhs[4], attributes, sizeof attributes, "the attributes");
    double const budget = mxGetScalar(prhs[3]);
    if (!(budget >= 0 && budget <= 18446744073709549568.0) || budget != floor(budget))
      fail("objeval:arguments", "a budget is a whole number of evaluations from 1 to 2^64 - 1, 0 for none");
    status = objeval_run_start(study, objeval_problem_find(name), (unsigned long long)budget, attributes, &run);
    if (status != OBJEVAL_OK) fail_study(status, name);
    plhs[0] = handle_of(run, 1);
  } else if (strcmp(command, "#run_evaluate") == 0 && (nrhs == 4 || nrhs == 5)) {
    objeval_run* run = (objeval_run*)from_handle(prhs[1], 0);
    text_of(prhs[2], name, sizeof name, "the problem");
    plhs[0] = evaluate(objeval_problem_find(name), prhs[3], nrhs == 5 ? thread_count(prhs[4]) : 1, run);
  } else if (strcmp(command, "#run_state") == 0 && nrhs == 3) {
    objeval_run* run = (objeval_run*)from_handle(prhs[1], 0);
    text_of(prhs[2], name, sizeof name, "the problem");
    size_t const dimension = objeval_problem_at(objeval_problem_find(name))->dimension;
    float* point = (float*)mxMalloc(dimension * sizeof(float));
    plhs[0] = mxCreateDoubleScalar((double)objeval_run_best(run, point));
    if (nlhs > 1) {
      plhs[1] = mxCreateDoubleMatrix(1, (mwSize)dimension, mxREAL);
      for (size_t k = 0; k < dimension; ++k) mxGetPr(plhs[1])[k] = point[k];
    }
    if (nlhs > 2) plhs[2] = mxCreateDoubleScalar((double)objeval_run_evaluations(run));
    mxFree(point);
  } else if (strcmp(command, "#run_end") == 0 && (nrhs == 2 || nrhs == 4)) {
    char reason[4096] = "";
    double const way = nrhs == 4 ? mxGetScalar(prhs[2]) : 0;
    if (nrhs == 4) text_of(prhs[3], reason, sizeof reason, "the reason");
    objeval_run* run = (objeval_run*)from_handle(prhs[1], 1);
    status = way == 1 ? objeval_run_fail(run, reason) : way == 2 ? objeval_run_discard(run) : objeval_run_end(run);
    if (status != OBJEVAL_OK) fail_study(status, "the run's end");
  } else {
    fail("objeval:arguments", "no such study command %s with %d arguments", command, nrhs - 1);
  }
}

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  char name[64];
  if (nrhs > 0 && mxIsChar(prhs[0]) && mxGetString(prhs[0], name, sizeof name) == 0 && name[0] == '#') {
    study_command(name, nlhs, plhs, nrhs, prhs);
    return;
  }
  if (nlhs > 1 || nrhs == 1 || nrhs > 3)
    fail("objeval:arguments", "usage: f = objeval_evaluate(name, X) or objeval_evaluate(name, X, threads)");
  if (nrhs == 0) {
    problems(plhs);
    return;
  }
  if (!mxIsChar(prhs[0]) || mxGetString(prhs[0], name, sizeof name) != 0)
    fail("objeval:problem", "the problem's name must be a short string, such as 'quadobj'");
  size_t const problem = objeval_problem_find(name);
  if (problem == OBJEVAL_NO_PROBLEM) {
    char known[256] = "";
    for (size_t n = 0; n < objeval_problem_count(); ++n) {
      if (n) strncat(known, ", ", sizeof known - strlen(known) - 1);
      strncat(known, objeval_problem_at(n)->name, sizeof known - strlen(known) - 1);
    }
    fail("objeval:problem", "no such problem \"%s\"; the problems are %s", name, known);
  }
  plhs[0] = evaluate(problem, prhs[1], nrhs == 3 ? thread_count(prhs[2]) : 1, NULL);
}
