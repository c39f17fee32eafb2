#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A study of two algorithms on quadobj, five runs each on a budget of 4,000
evaluations: a random search in batches, and SciPy's differential
evolution with a run as its vectorised objective. Load FOLDER into
IOHanalyzer with DataSetList(FOLDER), or look first with
python3 -m objeval.plot FOLDER --output study.png.

  study.py FOLDER
"""
import sys

import numpy as np

import objeval

BUDGET, RUNS = 4000, 5


def random_search(run, rng):
    try:
        while True:
            run(rng.uniform(-1, 1, (100, 50)))
    except objeval.BudgetSpent:
        pass  # the budget's last batch was evaluated as far as it reached


def differential_evolution(run, seed):
    from scipy.optimize import differential_evolution as de

    try:  # each generation one batch; points as rows
        de(lambda x: run(x.T), [(-1, 1)] * 50, vectorized=True, updating="deferred", popsize=20, maxiter=10_000,
           tol=0, seed=seed, polish=False)
    except objeval.BudgetSpent:
        pass


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    folder = argv[1]
    with objeval.Study(folder, "random search", "uniform in [-1, 1]^50, batches of 100") as study:
        for seed in range(RUNS):
            with study.run("quadobj", budget=BUDGET, seed=seed) as run:
                random_search(run, np.random.default_rng(seed))
                print(f"random search, seed {seed}: {run.best:.3f} after {run.evaluations} evaluations")
    with objeval.Study(folder, "differential evolution", "SciPy, population 20 x 50, deferred updates") as study:
        for seed in range(RUNS):
            with study.run("quadobj", budget=BUDGET, seed=seed) as run:
                differential_evolution(run, seed)
                print(f"differential evolution, seed {seed}: {run.best:.3f} after {run.evaluations} evaluations")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
