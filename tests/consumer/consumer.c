// SPDX-License-Identifier: MIT
// A C caller of the installed library, as a user writes one: the problem
// found by name, its points evaluated with the checked call.
#include <objeval/objeval.h>

#include <stdio.h>
#include <string.h>

int main(void) {
  size_t const doorcost = objeval_problem_find("doorcost"), quadobj = objeval_problem_find("quadobj");
  float ones[2 * OBJEVAL_DOORCOST_DIMENSION];
  float x0[OBJEVAL_QUADOBJ_DIMENSION] = {1.0f};
  float costs[2] = {0.0f, 0.0f}, value = 0.0f;
  for (size_t n = 0; n < 2 * OBJEVAL_DOORCOST_DIMENSION; ++n) ones[n] = 1.0f;
  char version[32];
  snprintf(version, sizeof version, "%d.%d.%d", OBJEVAL_VERSION_MAJOR, OBJEVAL_VERSION_MINOR, OBJEVAL_VERSION_PATCH);
  int const ok = objeval_evaluate(doorcost, ones, 2, costs, 0) == OBJEVAL_OK && costs[0] == 1147840.0f &&
                 costs[1] == 1147840.0f && objeval_evaluate(quadobj, x0, 1, &value, 1) == OBJEVAL_OK &&
                 value == 21.31597754f && objeval_problem_at(quadobj)->dimension == 50 &&
                 strcmp(objeval_version(), version) == 0;
  printf("%s (libobjeval %s)\n", ok ? "consumer_c: ok" : "consumer_c: wrong values", objeval_version());
  return ok ? 0 : 1;
}
