// SPDX-License-Identifier: MIT
#include <objeval/objeval.h>

#include <stdio.h>
#include <string.h>

int main(void) {
  float ones[2 * OBJEVAL_DOORCOST_VALUES];
  float x0[OBJEVAL_QUADOBJ_VALUES] = {1.0f};
  float costs[2];
  float value;
  for (size_t n = 0; n < 2 * OBJEVAL_DOORCOST_VALUES; ++n) ones[n] = 1.0f;
  objeval_doorcost_batch(ones, 2, costs);
  objeval_quadobj_batch(x0, 1, &value);
  const objeval_problem* quadobj = objeval_problem_at(OBJEVAL_QUADOBJ);
  int const ok = objeval_doorcost(ones) == 1147840.0f && costs[0] == 1147840.0f &&
                 costs[1] == 1147840.0f && objeval_quadobj(x0) == value && value == 21.31597754f &&
                 objeval_evaluate(OBJEVAL_QUADOBJ, x0, 1, &value, 0) == OBJEVAL_OK &&
                 quadobj != NULL && strcmp(quadobj->name, "quadobj") == 0 && quadobj->dimension == 50;
  printf("%s (libobjeval %s)\n", ok ? "consumer_c: ok" : "consumer_c: wrong values", objeval_version());
  return ok ? 0 : 1;
}
