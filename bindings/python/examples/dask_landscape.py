#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The landscape of a problem: a large random sample evaluated on a Dask
cluster, block by block, each block one batch call on a worker, and a
histogram of the values.

  dask_landscape.py [--problem quadobj|doorcost] [--points N] [--block B]
                    [--scheduler ADDRESS] [--workers W]

Without --scheduler, a LocalCluster of W worker processes on this machine
(default: one per core). With it, the same code runs on a running cluster:
start one with `dask scheduler` on one machine and `dask worker ADDRESS` on
each of the others (objeval installed on every one), then pass ADDRESS, as
tcp://host:8786. Points are drawn on the workers from a seed per block, so
only seeds travel there and only values come back: quadobj uniformly from
[-1, 1]^50, doorcost as door assignments, each truck at a random door.
"""
import argparse
import os
import shutil
import signal
import sys
import tempfile
import threading
import time

import numpy as np

import objeval

TRUCKS, DOORS = 15, 8


def sample(problem, seed, count):
    rng = np.random.default_rng(seed)
    if problem is objeval.quadobj:
        return rng.uniform(-1.0, 1.0, size=(count, problem.dimension)).astype(np.float32)
    points = np.zeros((count, 2, TRUCKS, DOORS), dtype=np.float32)
    doors = rng.integers(0, DOORS, size=(count, 2, TRUCKS))
    np.put_along_axis(points, doors[..., None], 1.0, axis=3)
    return points.reshape(count, problem.dimension)


def evaluate_block(problem, seed, count):
    """One block on a worker: its points drawn, then one batch call."""
    return problem(sample(problem, seed, count))


def histogram(values, bins=12, width=50):
    counts, edges = np.histogram(values[np.isfinite(values)], bins=bins)
    lines = []
    for count, low, high in zip(counts, edges, edges[1:]):
        bar = "#" * int(round(width * count / max(counts.max(), 1)))
        lines.append(f"{low:14.1f} .. {high:14.1f} {count:9d} {bar}")
    return "\n".join(lines)


def count(least):
    """An argparse type: a whole number of at least `least`."""

    def parse(text):
        try:
            value = int(text)
        except ValueError:
            raise argparse.ArgumentTypeError(f"{text!r} is not a whole number") from None
        if value < least:
            raise argparse.ArgumentTypeError(f"{value} is less than {least}")
        return value

    return parse


def stop_within_seconds_of_ctrl_c(seconds, scratch):
    """Ctrl-C ends the run, closing the cluster and removing `scratch` on
    the way out. Dask may swallow the KeyboardInterrupt (raised in a garbage
    collector callback, it is lost) or hang in closing a cluster whose
    workers the same Ctrl-C ended: then, after `seconds`, the folder is
    removed and the process ends all the same."""

    def give_up():
        shutil.rmtree(scratch, ignore_errors=True)
        sys.stderr.write("dask_landscape: interrupted\n")
        os._exit(130)

    def interrupted(signum, frame):
        signal.signal(signal.SIGINT, signal.default_int_handler)
        threading.Timer(seconds, give_up).start()
        raise KeyboardInterrupt

    signal.signal(signal.SIGINT, interrupted)


def plural(count, noun):
    return f"{count:,} {noun}{'' if count == 1 else 's'}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--problem", choices=["quadobj", "doorcost"], default="quadobj")
    parser.add_argument("--points", type=count(1), default=2_000_000)
    parser.add_argument("--block", type=count(1), default=50_000, help="points a batch call (default: %(default)s)")
    parser.add_argument("--scheduler", metavar="ADDRESS", help="a running cluster's scheduler, as tcp://host:8786")
    parser.add_argument("--workers", type=count(1), default=os.cpu_count() or 1, help="LocalCluster worker processes")
    args = parser.parse_args()
    from dask.distributed import Client, LocalCluster  # a second to import: after a wrong argument is refused

    problem = getattr(objeval, args.problem)
    counts = [min(args.block, args.points - first) for first in range(0, args.points, args.block)]

    # What this process does alone: the first block's batch call, its points drawn.
    points = sample(problem, 0, counts[0])
    first_block = problem(points)
    here = {}
    for threads in (1, 0):
        start = time.perf_counter()
        problem(points, threads=threads)
        here[threads] = counts[0] / (time.perf_counter() - start)

    # The cluster is closed before its scratch folder goes, on every path,
    # Ctrl-C included: held back while the folder is made, it comes after.
    held = signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT})
    scratch = tempfile.mkdtemp(prefix="objeval-dask-")
    cluster = None
    try:
        stop_within_seconds_of_ctrl_c(5, scratch)
        signal.pthread_sigmask(signal.SIG_SETMASK, held)
        if args.scheduler is None:
            cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                                   dashboard_address=None, local_directory=scratch)
        try:
            client = Client(args.scheduler or cluster, timeout=10)
        except OSError as error:
            raise SystemExit(f"dask_landscape: cannot reach the scheduler at {args.scheduler}: {error}") from None
        with client:
            client.wait_for_workers(1)
            start = time.perf_counter()
            futures = client.map(evaluate_block, [problem] * len(counts), range(len(counts)), counts, pure=False)
            values = np.concatenate(client.gather(futures))
            seconds = time.perf_counter() - start
            workers = len(client.scheduler_info()["workers"])
    finally:
        if cluster is not None:
            cluster.close()
        shutil.rmtree(scratch, ignore_errors=True)

    if values.shape != (args.points,) or (values[: counts[0]].view(np.uint32) != first_block.view(np.uint32)).any():
        raise SystemExit("dask_landscape: the cluster's values differ from this process's")
    print(f"{problem.name}: {plural(args.points, 'point')} in {plural(len(counts), 'block')} on "
          f"{plural(workers, 'Dask worker')}, drawn there: "
          f"{seconds:.2f} s, {args.points / seconds:,.0f} points a second")
    print(f"one batch call of {plural(counts[0], 'point')} in this process: {here[1]:,.0f} points a second on one thread, "
          f"{here[0]:,.0f} on all {os.cpu_count()} cores")
    print(f"values from {np.nanmin(values):.1f} to {np.nanmax(values):.1f}, median {np.median(values):.1f}:")
    print(histogram(values))


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        # The cluster is closed and its folder gone; Dask's threads may still
        # be winding down, and a plain exit would wait for them.
        sys.stdout.flush()
        sys.stderr.write("dask_landscape: interrupted\n")
        os._exit(130)
