// SPDX-License-Identifier: MIT
/* The floor of a coprocess: reads lines from standard input and answers
 * each with a value's worth of text, "0.000000", at once. */
#include <string.h>
#include <unistd.h>

int main(void) {
  static char in[1 << 16], out[1 << 16];
  for (;;) {
    ssize_t const got = read(0, in, sizeof in);
    if (got <= 0) return 0;
    size_t answer = 0;
    for (ssize_t n = 0; n < got; ++n)
      if (in[n] == '\n' && answer + 9 <= sizeof out) {
        memcpy(out + answer, "0.000000\n", 9);
        answer += 9;
      }
    if (answer != 0 && write(1, out, answer) != (ssize_t)answer) return 1;
  }
}
