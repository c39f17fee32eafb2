/* SPDX-License-Identifier: MIT */
/* A problem of the library's table, as <objeval/objeval.h> hands it out. */
#ifndef OBJEVAL_PROBLEM_H
#define OBJEVAL_PROBLEM_H

#include <stddef.h>

typedef struct objeval_problem {
  const char* name;        /* "doorcost" */
  size_t dimension;        /* floats in a point: 240 */
  const char* description; /* one line: what the point's slots mean */
} objeval_problem;

#endif
