/* SPDX-License-Identifier: MIT */
/* The calls optimisers make most, from Python at the C call's cost: one
 * point, or a batch, of a NumPy array (or any buffer) of doubles or floats,
 * or one point as a list or tuple of floats, handed to libobjeval with no
 * copy and no Python frame between. On the limited API (3.11, for the
 * buffer protocol): one build serves every later CPython. Anything it does
 * not take (another type, shape or layout, an error to raise) it hands back
 * as None or a status, and the package's Python path, which says what is
 * wrong, takes over. libobjeval's functions come from the package's ctypes
 * handle (bind), so this module links nothing. */
#define Py_LIMITED_API 0x030B0000
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <stddef.h>
#include <string.h>

typedef int evaluate_double_call(size_t, const double*, size_t, size_t, size_t, float*, unsigned);
typedef int evaluate_strided_call(size_t, const float*, size_t, size_t, size_t, float*, unsigned);
typedef int run_double_call(void*, const double*, size_t, size_t, size_t, float*, unsigned, size_t*);
typedef int run_strided_call(void*, const float*, size_t, size_t, size_t, float*, unsigned, size_t*);

static evaluate_double_call* evaluate_double;
static evaluate_strided_call* evaluate_strided;
static run_double_call* run_double;
static run_strided_call* run_strided;

enum { largest_dimension = 4096 };

/* bind(evaluate_double, evaluate_strided, run_evaluate_double, run_evaluate_strided): their addresses. */
static PyObject* bind(PyObject* self, PyObject* args) {
  (void)self;
  PyObject* addresses[4];
  if (!PyArg_ParseTuple(args, "OOOO", &addresses[0], &addresses[1], &addresses[2], &addresses[3])) return NULL;
  void* found[4];
  for (int k = 0; k < 4; ++k) {
    found[k] = PyLong_AsVoidPtr(addresses[k]);
    if (found[k] == NULL) return PyErr_Occurred() ? NULL : (PyErr_SetString(PyExc_ValueError, "a null address"), NULL);
  }
  evaluate_double = (evaluate_double_call*)found[0];
  evaluate_strided = (evaluate_strided_call*)found[1];
  run_double = (run_double_call*)found[2];
  run_strided = (run_strided_call*)found[3];
  Py_RETURN_NONE;
}

/* Where `count` points of `dimension` values lie in a buffer: 0, or 1 with
 * the strides in items, for a native double ("d") or float ("f") buffer of
 * shape (dimension) (count 1) or (count, dimension), every stride a whole
 * number of items, none negative. */
static int layout_of(Py_buffer const* b, size_t dimension, int batch, size_t* count, size_t* point_stride,
                     size_t* coordinate_stride, int* doubles) {
  char const* format = b->format != NULL ? b->format : "B";
  if (format[0] == '@' || format[0] == '=') ++format;
  if ((format[0] != 'd' && format[0] != 'f') || format[1] != '\0') return 0;
  *doubles = format[0] == 'd';
  if (b->itemsize != (*doubles ? 8 : 4) || b->ndim != (batch ? 2 : 1)) return 0;
  if ((size_t)b->shape[b->ndim - 1] != dimension) return 0;
  Py_ssize_t const last = b->strides != NULL ? b->strides[b->ndim - 1] : b->itemsize;
  Py_ssize_t const first = batch ? (b->strides != NULL ? b->strides[0] : b->itemsize * (Py_ssize_t)dimension) : 0;
  if (last < 0 || first < 0 || last % b->itemsize != 0 || first % b->itemsize != 0) return 0;
  if (((size_t)b->buf & (size_t)(b->itemsize - 1)) != 0) return 0;
  *count = batch ? (size_t)b->shape[0] : 1;
  *coordinate_stride = (size_t)(last / b->itemsize);
  *point_stride = batch ? (size_t)(first / b->itemsize) : dimension;
  return 1;
}

/* x's buffer, or false (no error left set) where it has none of `flags`. */
static int buffer_of(PyObject* x, Py_buffer* b, int flags) {
  if (PyObject_GetBuffer(x, b, flags) == 0) return 1;
  PyErr_Clear();
  return 0;
}

/* Evaluates `count` points where `handle` is a problem's index (run 0) or a
 * run (run 1). Returns the status; `evaluated` the points a run counted. */
static int evaluate(void* handle, int run, void const* points, int doubles, size_t count, size_t point_stride,
                    size_t coordinate_stride, float* values, unsigned threads, size_t* evaluated) {
  int status;
  *evaluated = count;
  Py_BEGIN_ALLOW_THREADS
  if (run)
    status = doubles ? run_double(handle, points, count, point_stride, coordinate_stride, values, threads, evaluated)
                     : run_strided(handle, points, count, point_stride, coordinate_stride, values, threads, evaluated);
  else
    status = doubles ? evaluate_double((size_t)handle, points, count, point_stride, coordinate_stride, values, threads)
                     : evaluate_strided((size_t)handle, points, count, point_stride, coordinate_stride, values, threads);
  Py_END_ALLOW_THREADS
  return status;
}

/* The handle, whether it is a run's, and the dimension: the first three
 * arguments of point and batch. False where they are not what bind's
 * caller hands over. */
static int call_of(PyObject* const* args, void** handle, int* run, Py_ssize_t* dimension) {
  *run = PyObject_IsTrue(args[1]) == 1;
  *handle = *run ? PyLong_AsVoidPtr(args[0]) : (void*)PyLong_AsSize_t(args[0]);
  *dimension = PyLong_AsSsize_t(args[2]);
  if (PyErr_Occurred() || evaluate_double == NULL || *dimension <= 0 || *dimension > largest_dimension) {
    PyErr_Clear();
    return 0;
  }
  return 1;
}

/* point(handle, run, dimension, x): the value at x as a float; or None
 * where x is not what this takes, or a status where the call failed. */
static PyObject* point(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  (void)self;
  void* handle;
  int run;
  Py_ssize_t dimension;
  if (nargs != 4 || !call_of(args, &handle, &run, &dimension)) Py_RETURN_NONE;
  PyObject* const x = args[3];
  float value = 0.0f;
  size_t evaluated = 0;
  int status;
  if (PyList_Check(x) || PyTuple_Check(x)) {  /* floats alone, each exact as a double */
    double values[largest_dimension];
    if (PyObject_Length(x) != dimension) Py_RETURN_NONE;
    for (Py_ssize_t k = 0; k < dimension; ++k) {
      PyObject* item = PySequence_GetItem(x, k);
      int const is_float = item != NULL && PyFloat_Check(item);
      if (is_float) values[k] = PyFloat_AsDouble(item);
      Py_XDECREF(item);
      if (!is_float) {
        PyErr_Clear();
        Py_RETURN_NONE;
      }
    }
    status = evaluate(handle, run, values, 1, 1, (size_t)dimension, 1, &value, 1, &evaluated);
  } else {
    Py_buffer b;
    if (!buffer_of(x, &b, PyBUF_STRIDES | PyBUF_FORMAT)) Py_RETURN_NONE;
    size_t count, point_stride, coordinate_stride;
    int doubles;
    if (!layout_of(&b, (size_t)dimension, 0, &count, &point_stride, &coordinate_stride, &doubles)) {
      PyBuffer_Release(&b);
      Py_RETURN_NONE;
    }
    status = evaluate(handle, run, b.buf, doubles, 1, point_stride, coordinate_stride, &value, 1, &evaluated);
    PyBuffer_Release(&b);
  }
  if (status != 0) return PyLong_FromLong(status);
  return PyFloat_FromDouble((double)value);
}

/* batch(handle, run, dimension, x, values, threads): x's points into
 * values (a float32 buffer of as many); 0, or (status, evaluated) where
 * the call failed, or None where x or values are not what this takes. */
static PyObject* batch(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  (void)self;
  void* handle;
  int run;
  Py_ssize_t dimension;
  if (nargs != 6 || !call_of(args, &handle, &run, &dimension)) Py_RETURN_NONE;
  PyObject *const x = args[3], *const out = args[4];
  unsigned long const threads = PyLong_AsUnsignedLong(args[5]);
  if (PyErr_Occurred()) {
    PyErr_Clear();
    Py_RETURN_NONE;
  }
  Py_buffer b, v;
  if (!buffer_of(x, &b, PyBUF_STRIDES | PyBUF_FORMAT)) Py_RETURN_NONE;
  if (!buffer_of(out, &v, PyBUF_WRITABLE | PyBUF_C_CONTIGUOUS | PyBUF_FORMAT)) {
    PyBuffer_Release(&b);
    Py_RETURN_NONE;
  }
  size_t count, point_stride, coordinate_stride, evaluated = 0;
  int doubles;
  PyObject* result = NULL;
  if (layout_of(&b, (size_t)dimension, 1, &count, &point_stride, &coordinate_stride, &doubles) && v.itemsize == 4 &&
      v.format != NULL && strcmp(v.format, "f") == 0 && (size_t)v.len == count * 4 && count != 0) {
    int const status = evaluate(handle, run, b.buf, doubles, count, point_stride, coordinate_stride, (float*)v.buf,
                                threads > 0xffffffffu ? 0xffffffffu : (unsigned)threads, &evaluated);
    result = status == 0 ? PyLong_FromLong(0) : Py_BuildValue("(in)", status, (Py_ssize_t)evaluated);
  } else {
    result = Py_NewRef(Py_None);
  }
  PyBuffer_Release(&v);
  PyBuffer_Release(&b);
  return result;
}

static PyMethodDef methods[] = {
    {"bind", bind, METH_VARARGS, "Takes libobjeval's functions, by their addresses."},
    {"point", (PyCFunction)(void (*)(void))point, METH_FASTCALL, "One point's value, or None for the Python path."},
    {"batch", (PyCFunction)(void (*)(void))batch, METH_FASTCALL, "A batch's values, or None for the Python path."},
    {NULL, NULL, 0, NULL},
};

static struct PyModuleDef module = {PyModuleDef_HEAD_INIT, "_calls", NULL, -1, methods, NULL, NULL, NULL, NULL};

PyMODINIT_FUNC PyInit__calls(void) { return PyModule_Create(&module); }
