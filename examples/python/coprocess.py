#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A caller that wants no library: objeval-eval kept as a coprocess, one
point a line in, its value a line out, bit for bit the program's.

  coprocess.py OBJEVAL_EVAL PROBLEM POINT_FILE...

Each POINT_FILE holds one point as the programs' input.txt does; the value
of each is printed, as the program writes it.
"""
import subprocess
import sys


class Evaluator:
    """One objeval-eval process, kept for as many points as the caller has."""

    def __init__(self, objeval_eval, problem):
        self.process = subprocess.Popen([objeval_eval, problem], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        text=True, bufsize=1)  # line-buffered: each line goes at once

    def __call__(self, point):
        self.process.stdin.write(" ".join(map(str, point)) + "\n")
        answer = self.process.stdout.readline()
        if not answer:  # a bad line: objeval-eval said why on standard error and ended
            raise ValueError(f"objeval-eval refused the point (exit status {self.process.wait()})")
        return float(answer)

    def close(self):
        self.process.stdin.close()
        return self.process.wait()


def main(argv):
    if len(argv) < 4:
        print(__doc__)
        return 2
    evaluate = Evaluator(argv[1], argv[2])
    for name in argv[3:]:
        with open(name) as f:
            point = f.read().split()
        print("%f" % evaluate(point))
    return evaluate.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
