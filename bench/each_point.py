#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Evaluates every line of a points file by running PROGRAM once per point, as
an optimiser's loop does: write input.txt in place, run the program, read
output.txt. Prints one value per line, like objeval-eval.

  each_point.py PROGRAM POINTS_FILE
"""
import os
import sys
import tempfile


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    program = os.path.realpath(argv[1])
    with open(argv[2], "rb") as f:
        points = [line for line in f if line.strip()]
    out = sys.stdout.buffer
    with tempfile.TemporaryDirectory() as work:
        os.chdir(work)
        for point in points:
            fd = os.open("input.txt", os.O_WRONLY | os.O_CREAT, 0o666)
            os.write(fd, point)
            if os.fstat(fd).st_size > len(point):
                os.ftruncate(fd, len(point))
            os.close(fd)
            pid = os.posix_spawn(program, [program], {})
            if os.waitpid(pid, 0)[1] != 0:
                raise RuntimeError("a run failed")
            with open("output.txt", "rb") as f:
                out.write(f.read() + b"\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
