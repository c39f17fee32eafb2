#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The round trip of objeval-eval kept as a coprocess by a Python caller, one
line at a time: write a point, read its value, write the next. Timed against
the floor, an echo coprocess (bench/echo_lines) driven the same way with the
same lines, and beside one run of the program per point (write input.txt in
place, start the program, read output.txt). Blocks of round trips alternate
between the subjects, so that each sees the same machine; each ratio is
taken within a block.

  coprocess_round_trip.py [BUILD_DIR] [BLOCKS] [ROUND_TRIPS]

Checks first that the coprocess's values are the program's.
"""
import os
import pathlib
import random
import statistics
import subprocess
import sys
import tempfile
import time

PROBLEMS = {"doorcost": 240, "quadobj": 50}


class Coprocess:
    """A coprocess asked as a caller asks it: in text, line-buffered, as
    examples/python/coprocess.py does (`text`), or in bytes straight to the
    pipe, the least a Python caller can do."""

    def __init__(self, command, text):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=text,
                                        bufsize=1 if text else -1)
        self.text = text
        self.to, self.answers = self.process.stdin, self.process.stdout
        self.fd = self.to.fileno()

    def ask(self, line):
        if self.text:
            self.to.write(line.decode())
            self.to.flush()
            return self.answers.readline().encode()
        os.write(self.fd, line)
        return self.answers.readline()

    def close(self):
        self.process.stdin.close()
        if self.process.wait() != 0:
            raise RuntimeError(f"{self.process.args} ended with {self.process.returncode}")


def run_once(program, work, line):
    fd = os.open(work / "input.txt", os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o666)
    os.write(fd, line)
    os.close(fd)
    pid = os.posix_spawn(program, [program], {})
    if os.waitpid(pid, 0)[1] != 0:
        raise RuntimeError(f"{program} failed")
    return (work / "output.txt").read_bytes()


def timed(ask, lines):
    """The median time of one round trip."""
    times = []
    for line in lines:
        start = time.perf_counter()
        ask(line)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def measure(build, blocks, trips, text):
    rng = random.Random(5)
    lines = {name: [(" ".join("%.9g" % rng.uniform(-2, 2) for _ in range(d)) + "\n").encode() for _ in range(trips)]
             for name, d in PROBLEMS.items()}
    programs = {name: str(build / name / name) for name in PROBLEMS}
    evaluators = {name: Coprocess([str(build / "cli" / "objeval-eval"), name], text) for name in PROBLEMS}
    echoes = {name: Coprocess([str(build / "bench" / "echo_lines")], text) for name in PROBLEMS}
    ratios = {name: [] for name in PROBLEMS}
    trip, floor, run = ({name: [] for name in PROBLEMS} for _ in range(3))
    with tempfile.TemporaryDirectory() as scratch:
        work = pathlib.Path(scratch)
        os.chdir(work)
        for name in PROBLEMS:
            for line in lines[name][:5]:
                if evaluators[name].ask(line).rstrip(b"\n") != run_once(programs[name], work, line):
                    raise SystemExit(f"{name}: the coprocess's value differs from the program's")
        for _ in range(blocks):
            for name in PROBLEMS:
                echo_time = timed(echoes[name].ask, lines[name])
                eval_time = timed(evaluators[name].ask, lines[name])
                floor[name].append(echo_time)
                trip[name].append(eval_time)
                ratios[name].append(eval_time / echo_time)
                run[name].append(timed(lambda line: run_once(programs[name], work, line), lines[name][:5]))
    for c in [*evaluators.values(), *echoes.values()]:
        c.close()

    us = lambda seconds: f"{seconds * 1e6:.1f} µs"
    for name in PROBLEMS:
        t, r = statistics.median(trip[name]), statistics.median(run[name])
        print(f"| {name}, in {'text' if text else 'bytes'} | {us(statistics.median(floor[name]))} | {us(t)} "
              f"| {statistics.median(ratios[name]):.2f} | {us(r)} | {r / t:.0f}× |")


def main(argv):
    build = pathlib.Path(argv[1] if len(argv) > 1 else "build/default").resolve()
    blocks = int(argv[2]) if len(argv) > 2 else 20
    trips = int(argv[3]) if len(argv) > 3 else 200
    print(f"| {blocks} blocks of {trips} round trips, alternated | echo floor | objeval-eval | to the floor "
          f"| a run per point | saved |")
    print("|---|---:|---:|---:|---:|---:|")
    for text in (True, False):
        measure(build, blocks, trips, text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
