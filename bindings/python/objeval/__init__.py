# SPDX-License-Identifier: MIT
"""Exact evaluators of two fixed optimisation instances, bit for bit the
values of the programs ``doorcost`` and ``quadobj``.

    >>> import objeval
    >>> objeval.quadobj([1.0] + [0.0] * 49)
    21.315977096557617
    >>> objeval.doorcost(points)          # points of shape (n, 240)
    array([...], dtype=float32)

Each problem is a callable: one point of shape ``(dimension,)`` gives a
Python float, a batch of shape ``(n, dimension)`` gives a float32 array of n
values, evaluated in C++ with the GIL released. NumPy is used when it is
installed; plain sequences work without it.
"""
from __future__ import annotations

from typing import Any

from ._library import bind_fast_calls, load_library, package_version, problem_table
from ._problem import Problem
from ._experiment import Experiment, ExperimentFailed, ExperimentReport, run_seed
from ._study import BudgetSpent, Run, Study, StudyCheck, check

__version__: str = package_version()

_shared_library = load_library(__version__)
bind_fast_calls(_shared_library)
#: Every problem of the library's table, by name.
problems: dict[str, Problem] = {name: Problem(_shared_library, index, name, dimension, description)
                                for index, name, dimension, description in problem_table(_shared_library)}
doorcost: Problem = problems["doorcost"]
quadobj: Problem = problems["quadobj"]


def problem(name: str) -> Problem:
    """The problem named ``name``; ``ValueError``, listing the problems, if none is."""
    try:
        return problems[name]
    except (KeyError, TypeError):
        raise ValueError(f"objeval: no such problem {name!r}; the problems are {', '.join(problems)}") from None


def evaluate(name: str, x: Any, threads: int = 1) -> Any:
    """``problem(name)(x, threads)``: one point's value, or a batch's values."""
    return problem(name)(x, threads)


__all__ = ["Problem", "problems", "problem", "evaluate", "doorcost", "quadobj", "Study", "Run", "BudgetSpent",
           "StudyCheck", "check", "Experiment", "ExperimentFailed", "ExperimentReport", "run_seed", "__version__"]
