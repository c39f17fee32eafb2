#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A declared study: a random search and a (1+1) evolution strategy on both
problems, 10 repetitions each on a budget of 2,000 evaluations, every run's
random numbers derived from one seed. Run again after a crash (or Ctrl-C),
it makes only the runs not yet ended; run a third time, nothing.

  experiment.py FOLDER [--jobs N | --scheduler ADDRESS | --local-cluster N]

--jobs N: N processes on this machine; --scheduler: a running
dask.distributed cluster (tcp://host:8786); --local-cluster N: a Dask
cluster of N worker processes on this machine. Load FOLDER into IOHanalyzer
with DataSetList(FOLDER); check it with objeval-eval --check FOLDER.
"""
import argparse

import objeval


def random_search(run, rng):
    """Batches of 50 points uniform in [-1, 1], until the budget ends the run."""
    while True:
        run(rng.uniform(-1, 1, (50, run.dimension)))


def one_plus_one(run, rng):
    """A (1+1) evolution strategy with the one-fifth rule, from a random point."""
    x = rng.uniform(-1, 1, run.dimension)
    fx, sigma, tried, better = run(x), 0.3, 0, 0
    while True:
        y = (x + sigma * rng.standard_normal(run.dimension)).clip(-1, 1)
        fy = run(y)
        tried += 1
        if fy <= fx:
            x, fx, better = y, fy, better + 1
        if tried == 20:
            sigma *= 1.5 if better > 4 else 0.82
            tried = better = 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder")
    engine = parser.add_mutually_exclusive_group()
    engine.add_argument("--jobs", type=int, default=1, help="processes on this machine")
    engine.add_argument("--scheduler", help="a running dask.distributed scheduler's address")
    engine.add_argument("--local-cluster", type=int, metavar="N", help="a Dask cluster of N processes here")
    arguments = parser.parse_args()
    experiment = objeval.Experiment(arguments.folder,
                                    algorithms={"random search": random_search, "(1+1) ES": one_plus_one},
                                    problems=["quadobj", "doorcost"], repetitions=10, budget=2000, seed=2026)
    if arguments.scheduler or arguments.local_cluster:
        from dask.distributed import Client, LocalCluster

        with (Client(arguments.scheduler) if arguments.scheduler else
              Client(LocalCluster(n_workers=arguments.local_cluster, threads_per_worker=1))) as client:
            report = experiment.run(client=client)
    else:
        report = experiment.run(jobs=arguments.jobs)
    print(f"{arguments.folder}: {report.made} runs made, {report.already} already there")


if __name__ == "__main__":
    main()
