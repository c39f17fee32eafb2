#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""objeval-eval as a coprocess from Python, a line at a time: the round trip
with caller and coprocess pinned to one CPU, against both left where the
kernel puts them, for each --spin (how long objeval-eval stays awake for the
next line). Blocks of round trips alternate between the settings, so that
each sees the same machine; prints each setting's median over blocks of the
median round trip, its ratio to the pinned one, and the CPU time the
coprocess burnt a round trip.

  coprocess_spin.py [BUILD_DIR] [BLOCKS] [ROUND_TRIPS] [SPIN...]
"""
import os
import pathlib
import random
import resource
import statistics
import subprocess
import sys
import time


def coprocess(command, cpu):
    pin = (lambda: os.sched_setaffinity(0, {cpu})) if cpu is not None else None
    return subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0, preexec_fn=pin)


def block(process, lines):
    times = []
    for line in lines:
        start = time.perf_counter()
        process.stdin.write(line)
        process.stdout.readline()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def main(argv):
    build = pathlib.Path(argv[1] if len(argv) > 1 else "build/default").resolve()
    blocks = int(argv[2]) if len(argv) > 2 else 15
    trips = int(argv[3]) if len(argv) > 3 else 300
    spins = [int(s) for s in argv[4:]] or [0, 20, 50, 100]
    rng = random.Random(5)
    lines = [(" ".join("%.9g" % rng.uniform(-2, 2) for _ in range(240)) + "\n").encode() for _ in range(trips)]
    mine = sorted(os.sched_getaffinity(0))
    settings = [("pinned, --spin 0", 0, mine[0])] + [(f"unpinned, --spin {s}", s, None) for s in spins]
    command = [str(build / "cli" / "objeval-eval")]
    processes = {}
    for name, spin, cpu in settings:
        processes[name] = coprocess(command + ["--spin", str(spin), "doorcost"], cpu)
    medians = {name: [] for name, *_ in settings}
    burnt = {name: 0.0 for name, *_ in settings}
    everything = set(mine)
    for _ in range(blocks):
        for name, spin, cpu in settings:
            os.sched_setaffinity(0, {cpu} if cpu is not None else everything)
            before = cpu_seconds(processes[name].pid)
            medians[name].append(block(processes[name], lines))
            burnt[name] += cpu_seconds(processes[name].pid) - before
    os.sched_setaffinity(0, everything)
    for process in processes.values():
        process.stdin.close()
        process.wait()
    model = next(line.split(":")[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name"))
    family = next(line.split(":")[1].strip() for line in open("/proc/cpuinfo") if line.startswith("cpu family"))
    print(f"{model}, family {family}: doorcost, {blocks} blocks of {trips} round trips, alternated")
    pinned = statistics.median(medians[settings[0][0]])
    for name, *_ in settings:
        m = statistics.median(medians[name])
        print(f"| {name} | {m * 1e6:.1f} µs | {m / pinned:.2f} | {burnt[name] / (blocks * trips) * 1e6:.1f} µs |")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
