/* C interface to the evaluators, for callers in any language that can load a
 * shared library. Every function is bit for bit the program's evaluation. */
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

enum { OBJEVAL_DOORCOST_VALUES = 240, OBJEVAL_QUADOBJ_VALUES = 50 };

/* values: 240 floats, laid out as in doorcost's input.txt. */
OBJEVAL_API float objeval_doorcost(const float* values);
/* points: count * 240 floats, one point after the other; costs: count floats. */
OBJEVAL_API void objeval_doorcost_batch(const float* points, size_t count, float* costs);
/* The same on `threads` threads (0: one per core), with the same results. */
OBJEVAL_API void objeval_doorcost_batch_threads(const float* points, size_t count, float* costs, unsigned threads);

/* values: 50 floats, x[0] to x[49]. */
OBJEVAL_API float objeval_quadobj(const float* values);
/* points: count * 50 floats, one point after the other; results: count floats. */
OBJEVAL_API void objeval_quadobj_batch(const float* points, size_t count, float* results);
/* The same on `threads` threads (0: one per core), with the same results. */
OBJEVAL_API void objeval_quadobj_batch_threads(const float* points, size_t count, float* results, unsigned threads);

#ifdef __cplusplus
}
#endif

#endif
