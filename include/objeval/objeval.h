/* C interface to the evaluators, for callers in any language that can load a
 * shared library. Every function is bit for bit the program's evaluation.
 *
 * Threads: a thread count of 0 means one per CPU this process may use (its
 * affinity mask, and a cgroup CPU quota where one is set); any larger count
 * is lowered to that number. The results never depend on the count. */
#ifndef OBJEVAL_H
#define OBJEVAL_H

#include <stddef.h>

#if defined(OBJEVAL_BUILDING_C_API)
#define OBJEVAL_API __attribute__((visibility("default")))
#else
#define OBJEVAL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The library's version, as "MAJOR.MINOR.PATCH". */
OBJEVAL_API const char* objeval_version(void);

/* The problems, in a table: index 0 is doorcost, 1 is quadobj. */
typedef struct objeval_problem {
  const char* name;        /* "doorcost" */
  size_t dimension;        /* floats in a point: 240 */
  const char* description; /* one line: what the point's slots mean */
} objeval_problem;

enum { OBJEVAL_DOORCOST = 0, OBJEVAL_QUADOBJ = 1 };
enum { OBJEVAL_DOORCOST_VALUES = 240, OBJEVAL_QUADOBJ_VALUES = 50 };

/* How many problems the table holds. */
OBJEVAL_API size_t objeval_problem_count(void);
/* Problem `index`, or NULL past the last. */
OBJEVAL_API const objeval_problem* objeval_problem_at(size_t index);

/* What a checked call returns. */
enum {
  OBJEVAL_OK = 0,
  OBJEVAL_NULL_POINTER = 1,    /* points or values is NULL, and count is not 0 */
  OBJEVAL_COUNT_TOO_LARGE = 2, /* count points (at these strides) cannot fit in memory: nothing was touched */
  OBJEVAL_NO_SUCH_PROBLEM = 3  /* problem is not below objeval_problem_count() */
};

/* Evaluates `count` points of problem `problem`: points holds count *
 * dimension floats, one point after the other; values receives count floats.
 * Returns OBJEVAL_OK, or a status above, having written nothing. */
OBJEVAL_API int objeval_evaluate(size_t problem, const float* points, size_t count, float* values, unsigned threads);
/* The same for points laid out in any order, in float or double: value k
 * of point p is points[p * point_stride + k * value_stride]. Rows of a
 * row-major array (C, NumPy, Java): point_stride = dimension, value_stride
 * = 1. Rows of a column-major count-by-dimension matrix (MATLAB, Octave, R,
 * Fortran's x(n, d)): point_stride = 1, value_stride = count. Each double is
 * rounded once, to the nearest float (ties to even). Converted a share at a
 * time on the batch's threads; the values are those of objeval_evaluate. */
OBJEVAL_API int objeval_evaluate_strided(size_t problem, const float* points, size_t count, size_t point_stride,
                                         size_t value_stride, float* values, unsigned threads);
OBJEVAL_API int objeval_evaluate_double(size_t problem, const double* points, size_t count, size_t point_stride,
                                        size_t value_stride, float* values, unsigned threads);
/* A status in words: "the count is too large", ...; never NULL. */
OBJEVAL_API const char* objeval_status_message(int status);

/* The first interface, kept. A NULL point gives NaN; a batch with a NULL
 * pointer or a count too large for memory does nothing. */

/* values: 240 floats, laid out as in doorcost's input.txt. */
OBJEVAL_API float objeval_doorcost(const float* values);
/* points: count * 240 floats, one point after the other; costs: count floats. */
OBJEVAL_API void objeval_doorcost_batch(const float* points, size_t count, float* costs);
/* The same on `threads` threads, with the same results. */
OBJEVAL_API void objeval_doorcost_batch_threads(const float* points, size_t count, float* costs, unsigned threads);

/* values: 50 floats, x[0] to x[49]. */
OBJEVAL_API float objeval_quadobj(const float* values);
/* points: count * 50 floats, one point after the other; results: count floats. */
OBJEVAL_API void objeval_quadobj_batch(const float* points, size_t count, float* results);
/* The same on `threads` threads, with the same results. */
OBJEVAL_API void objeval_quadobj_batch_threads(const float* points, size_t count, float* results, unsigned threads);

#ifdef __cplusplus
}
#endif

#endif
