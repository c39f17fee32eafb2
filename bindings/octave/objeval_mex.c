// SPDX-License-Identifier: MIT
/* objeval_doorcost(X [, threads]) and objeval_quadobj(X [, threads]) for
 * Octave and MATLAB: one gateway, built once per problem with
 * OBJEVAL_MEX_PROBLEM set to the problem's index in libobjeval's table.
 *
 *   Octave: mkoctfile --mex -DOBJEVAL_MEX_PROBLEM=1 -o objeval_quadobj objeval_mex.c -lobjeval
 *   MATLAB: mex -DOBJEVAL_MEX_PROBLEM=1 -output objeval_quadobj objeval_mex.c -lobjeval
 *
 * X is an n-by-dimension real matrix, double or single, a point per row (as
 * ga and particleswarm pass a population), or a vector of dimension values,
 * one point. The result is an n-by-1 double column: each value the
 * program's float, widened exactly. */
#include "mex.h"

#include <objeval/objeval.h>

#include <limits.h>
#include <math.h>

#ifndef OBJEVAL_MEX_PROBLEM
#error "build with -DOBJEVAL_MEX_PROBLEM=0 (doorcost) or 1 (quadobj)"
#endif

static unsigned thread_count(const mxArray* threads) {
  double count;
  if (!mxIsNumeric(threads) || mxIsComplex(threads) || mxIsSparse(threads) || mxGetNumberOfElements(threads) != 1)
    mexErrMsgIdAndTxt("objeval:threads", "threads must be a real number: 0 (one per CPU) or more");
  count = mxGetScalar(threads);
  if (!(count >= 0) || count != floor(count))
    mexErrMsgIdAndTxt("objeval:threads", "threads must be a whole number: 0 (one per CPU) or more, got %g", count);
  return count > (double)UINT_MAX ? UINT_MAX : (unsigned)count;
}

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  const objeval_problem* problem = objeval_problem_at(OBJEVAL_MEX_PROBLEM);
  const char* name = problem->name;
  size_t const dimension = problem->dimension;
  const mxArray* x;
  size_t rows, columns, count = 0, point_stride = 1, value_stride = 1;
  unsigned threads = 1;
  float* values;
  double* out;
  int status;
  size_t n;

  if (nrhs < 1 || nrhs > 2 || nlhs > 1)
    mexErrMsgIdAndTxt("objeval:arguments", "usage: f = objeval_%s(X) or objeval_%s(X, threads)", name, name);
  x = prhs[0];
  if (!mxIsDouble(x) && !mxIsSingle(x))
    mexErrMsgIdAndTxt("objeval:type", "X must be a double or single matrix, n-by-%zu (a point per row), got %s",
                      dimension, mxGetClassName(x));
  if (mxIsComplex(x))
    mexErrMsgIdAndTxt("objeval:complex", "X must be real, n-by-%zu (a point per row)", dimension);
  if (mxIsSparse(x))
    mexErrMsgIdAndTxt("objeval:sparse", "X must be a full matrix, n-by-%zu (a point per row); use full(X)", dimension);
  rows = (size_t)mxGetM(x);
  columns = (size_t)mxGetN(x);
  if (mxGetNumberOfDimensions(x) == 2 && columns == dimension) {
    count = rows; /* a point per row: value k of point p at p + k * rows */
    point_stride = 1;
    value_stride = rows;
  } else if (mxGetNumberOfDimensions(x) == 2 && rows == dimension && columns == 1) {
    count = 1; /* a column vector: one point */
    point_stride = dimension;
    value_stride = 1;
  } else {
    mexErrMsgIdAndTxt("objeval:shape",
                      "X must be n-by-%zu (a point per row) or a vector of %zu values, got %zu-by-%zu%s", dimension, dimension, rows, columns, mxGetNumberOfDimensions(x) == 2 ? "" : "-by-...");
  }
  if (nrhs == 2) threads = thread_count(prhs[1]);

  plhs[0] = mxCreateDoubleMatrix((mwSize)count, 1, mxREAL);
  if (count == 0) return;
  values = (float*)mxMalloc(count * sizeof(float));
  if (mxIsDouble(x))
    status = objeval_evaluate_double(OBJEVAL_MEX_PROBLEM, (const double*)mxGetData(x), count, point_stride, value_stride,
                                     values, threads);
  else
    status = objeval_evaluate_strided(OBJEVAL_MEX_PROBLEM, (const float*)mxGetData(x), count, point_stride, value_stride,
                                      values, threads);
  if (status != OBJEVAL_OK) mexErrMsgIdAndTxt("objeval:failed", "%s", objeval_status_message(status));
  out = mxGetPr(plhs[0]);
  for (n = 0; n < count; ++n) out[n] = values[n];
  mxFree(values);
}
