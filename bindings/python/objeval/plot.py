# SPDX-License-Identifier: MIT
"""A first look at a study before IOHanalyzer: best-so-far against
evaluations, one curve per run, a panel per problem, a colour per algorithm.

    python3 -m objeval.plot FOLDER --output study.png

Needs matplotlib. Reads the meta files (*.json) and their data files as
IOHanalyzer does, nothing else."""
from __future__ import annotations

import argparse
import json
import pathlib
import sys


def runs(folder):
    """(problem, algorithm, instance, evaluations, best-so-far) for each run of the study."""
    for meta_path in sorted(pathlib.Path(folder).rglob("*.json")):
        try:
            meta = json.loads(meta_path.read_text())
        except (ValueError, UnicodeDecodeError):
            continue  # not a meta file: objeval-eval --check names it
        if not isinstance(meta, dict) or not isinstance(meta.get("scenarios"), list):
            continue
        for scenario in meta["scenarios"]:
            rows = [line.split() for line in (meta_path.parent / scenario["path"]).read_text().splitlines()[1:]]
            evaluations, best = [], float("inf")
            bests = []
            for row in rows:
                best = min(best, float(row[1]))
                evaluations.append(int(row[0]))
                bests.append(best)
            for run in scenario["runs"]:
                yield meta["function_name"], meta["algorithm"]["name"], run["instance"], evaluations, bests


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder", help="the study's folder")
    parser.add_argument("--output", metavar="FILE", required=True, help="where to write the picture (.png, .pdf, .svg)")
    arguments = parser.parse_args(argv)
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    found = list(runs(arguments.folder))
    if not found:
        sys.exit(f"objeval.plot: no study in {arguments.folder}: no meta file (*.json) below it")
    problems = sorted({problem for problem, *_ in found})
    algorithms = sorted({algorithm for _, algorithm, *_ in found})
    colours = {algorithm: f"C{n}" for n, algorithm in enumerate(algorithms)}
    figure, axes = plt.subplots(1, len(problems), figsize=(5.5 * len(problems), 4.2), squeeze=False)
    for axis, problem in zip(axes[0], problems):
        for name, algorithm, instance, evaluations, bests in found:
            if name == problem:
                axis.step(evaluations, bests, where="post", color=colours[algorithm], alpha=0.7, linewidth=1.2)
        axis.set(title=problem, xlabel="evaluations", ylabel="best-so-far value (minimised)", xscale="log")
        axis.grid(alpha=0.3)
    for algorithm in algorithms:
        axes[0][0].plot([], [], color=colours[algorithm], label=algorithm)
    axes[0][0].legend(fontsize="small")
    figure.tight_layout()
    figure.savefig(arguments.output, dpi=90)
    print(f"{arguments.output}: {len(found)} runs of {len(algorithms)} algorithms on {', '.join(problems)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
