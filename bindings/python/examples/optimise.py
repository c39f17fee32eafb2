#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Two optimisers on the two instances, through the objeval package, and,
where asked, a convergence plot of both.

- quadobj: SciPy's differential_evolution with vectorized=True, so that each
  generation's whole population is one batch call. The box is [-1, 1]^50:
  there the pair terms (coefficients 5 to 100, on products of two variables)
  and the linear terms (5 to 100, on one variable) weigh alike, and the
  function, which is not convex, has its minimum on the box's boundary.
- doorcost: a swap local search on door assignments. Each truck is at one
  door (a 1 in its row of x or y, 0 elsewhere); a move swaps the doors of two
  trucks on the same side. Every step evaluates all 210 swaps as one batch
  and takes the best, until none improves the cost.

  optimise.py [--plot PLOT.png]

Nothing is written but with --plot (which needs matplotlib).
"""
import argparse
import sys

import numpy as np
from scipy.optimize import differential_evolution  # noqa: E402

import objeval  # noqa: E402

TRUCKS, DOORS = 15, 8


def minimise_quadobj(seed):
    best = []

    def objective(population):  # shape (50, S): one candidate per column
        return objeval.quadobj(population.T).astype(np.float64)

    def record(xk, convergence):
        best.append(objeval.quadobj(xk))

    result = differential_evolution(objective, [(-1.0, 1.0)] * objeval.quadobj.dimension, vectorized=True,
                                    updating="deferred", maxiter=300, popsize=4, mutation=(0.5, 1.0),
                                    recombination=0.9, seed=seed, polish=False, tol=0, callback=record)
    return result, best


def assignment_point(inbound, outbound):
    """The 240 slots of doorcost for inbound[i] = door of inbound truck i, etc."""
    point = np.zeros(objeval.doorcost.dimension, dtype=np.float32)
    point[np.arange(TRUCKS) * DOORS + inbound] = 1
    point[TRUCKS * DOORS + np.arange(TRUCKS) * DOORS + outbound] = 1
    return point


def swap_search(seed):
    rng = np.random.default_rng(seed)
    doors = [rng.integers(0, DOORS, TRUCKS), rng.integers(0, DOORS, TRUCKS)]
    swaps = [(side, a, b) for side in (0, 1) for a in range(TRUCKS) for b in range(a + 1, TRUCKS)]
    costs = [objeval.doorcost(assignment_point(*doors))]
    while True:
        neighbours = []
        for side, a, b in swaps:
            moved = [d.copy() for d in doors]
            moved[side][[a, b]] = moved[side][[b, a]]
            neighbours.append(assignment_point(*moved))
        values = objeval.doorcost(np.stack(neighbours))  # one batch per step
        best = int(np.argmin(values))
        if values[best] >= costs[-1]:
            return doors, costs
        side, a, b = swaps[best]
        doors[side][[a, b]] = doors[side][[b, a]]
        costs.append(float(values[best]))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--plot", "--output", metavar="PLOT.png", help="write a convergence plot there")
    plot_path = parser.parse_args(argv[1:]).plot
    result, de_best = minimise_quadobj(seed=1)
    print(f"quadobj: differential evolution, {len(de_best)} generations of {4 * objeval.quadobj.dimension} points, "
          f"one batch call each: "
          f"f = {result.fun:.6f}")
    searches = [swap_search(seed) for seed in range(5)]
    for seed, (doors, costs) in enumerate(searches):
        print(f"doorcost: swap search from random start {seed}: {costs[0]:.0f} -> {costs[-1]:.0f} "
              f"in {len(costs) - 1} swaps")

    if plot_path:
        plot(de_best, searches, plot_path)
    improved = de_best[-1] < de_best[0] and all(c[-1] < c[0] for _, c in searches)
    return 0 if improved else 1


def plot(de_best, searches, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    figure, (left, right) = plt.subplots(1, 2, figsize=(11, 4.2))
    left.plot(np.arange(1, len(de_best) + 1), de_best, color="tab:blue")
    left.set(title="quadobj: differential evolution on [-1, 1]$^{50}$", xlabel="generation",
             ylabel="best f(x) so far")
    for seed, (_, costs) in enumerate(searches):
        right.plot(costs, marker="o", markersize=3, label=f"start {seed}")
    right.set(title="doorcost: swap local search", xlabel="swaps taken", ylabel="cost")
    right.legend(fontsize="small")
    for axis in (left, right):
        axis.grid(alpha=0.3)
    figure.tight_layout()
    figure.savefig(path, dpi=90)
    print(f"plot: {path}")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
