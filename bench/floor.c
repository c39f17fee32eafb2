// SPDX-License-Identifier: MIT
/* The least a run can cost: read N numbers from input.txt, write one to
 * output.txt. argv[1] is N. Statically linked, like the programs. */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  long const count = argc > 1 ? strtol(argv[1], NULL, 10) : 240;
  float value = 0.0f, sum = 0.0f;
  FILE* in = fopen("input.txt", "rt");
  if (in == NULL) return 1;
  for (long n = 0; n < count; ++n)
    if (fscanf(in, "%f", &value) == 1) sum += value;
  fclose(in);
  FILE* out = fopen("output.txt", "wt");
  if (out == NULL) return 1;
  fprintf(out, "%f", (double)sum);
  return fclose(out) == 0 ? 0 : 1;
}
