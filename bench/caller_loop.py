#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""What a caller's loop pays per point: write input.txt, run the program, read
output.txt. Compares writing input.txt with open(path, "w"), which truncates
it, against writing it in place (examples/python/evaluate_examples.py), in
alternating rounds in one directory.

  caller_loop.py PROGRAM [ROUNDS] [RUNS_PER_ROUND]
"""
import os
import pathlib
import statistics
import sys
import tempfile
import time


def write_truncating(path, data):
    with open(path, "wb") as f:
        f.write(data)


def write_in_place(path, data):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT, 0o666)
    try:
        os.write(fd, data)
        if os.fstat(fd).st_size > len(data):
            os.ftruncate(fd, len(data))
    finally:
        os.close(fd)


def one_round(program, work, write, runs, points):
    start = time.perf_counter()
    for n in range(runs):
        write(work / "input.txt", points[n % len(points)])
        pid = os.posix_spawn(program, [program], {})
        if os.waitpid(pid, 0)[1] != 0:
            raise RuntimeError("run failed")
        (work / "output.txt").read_bytes()
    return (time.perf_counter() - start) / runs


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    program = os.path.realpath(argv[1])
    rounds = int(argv[2]) if len(argv) > 2 else 10
    runs = int(argv[3]) if len(argv) > 3 else 300
    points = [("\n".join(f"{(n * 7919 + k) % 1000 / 100:.6f}" for n in range(240)) + "\n").encode()
              for k in range(7)]
    times = {"w": [], "in place": []}
    with tempfile.TemporaryDirectory() as work:
        os.chdir(work)
        for r in range(rounds):
            order = [("w", write_truncating), ("in place", write_in_place)]
            for name, write in order if r % 2 == 0 else order[::-1]:
                times[name].append(one_round(program, pathlib.Path(work), write, runs, points))
    w, in_place = statistics.median(times["w"]), statistics.median(times["in place"])
    print(f"per point, median of {rounds} rounds of {runs}: input.txt written with \"w\" {w * 1e6:.0f} µs, "
          f"in place {in_place * 1e6:.0f} µs, ratio {w / in_place:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
