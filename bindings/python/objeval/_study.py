# SPDX-License-Identifier: MIT
"""Studies: runs of an algorithm on the problems, every evaluation counted in
order, a budget kept, and the best-so-far values logged where IOHanalyzer
reads them (IOHprofiler's format)."""
from __future__ import annotations

import array
import ctypes
import re
from typing import Any

from ._problem import PartlyEvaluated, Problem

_BUDGET_SPENT, _CANNOT_WRITE, _BAD_ARGUMENT = 5, 6, 7  # objeval.h's statuses


class BudgetSpent(PartlyEvaluated):
    """A run was asked for more evaluations than its budget has left.

    ``evaluated`` is how many points of the call were evaluated (the first
    ones, within the budget), ``values`` their values."""


def _raise_for(library, status, what):
    if status == 0:
        return
    words = library.objeval_last_error().decode() or library.objeval_status_message(status).decode()
    if status == _CANNOT_WRITE:
        raise OSError(f"objeval: {what}: {words}")
    if status == _BAD_ARGUMENT:
        raise ValueError(f"objeval: {what}: {words}")
    raise RuntimeError(f"objeval: {what}: {words}")


class Study:
    """A study in ``folder``: runs of ``algorithm``, described by ``info``
    (its settings), logged in folder/ALGORITHM as IOHanalyzer reads them.
    The problems are minimised. ``every_evaluation``: a row for every
    evaluation, not only the improvements; ``points``: each row with its
    point. Raises ``OSError`` where the folder cannot be written.

        with objeval.Study("results", "random search", "sigma=0.1") as study:
            for seed in range(5):
                with study.run("quadobj", budget=1000, seed=seed) as run:
                    scipy.optimize.minimize(run, x0, ...)   # run(x) is the objective

    Threads and processes may write one study at once, each its own runs."""

    def __init__(self, folder: str, algorithm: str, info: str = "", *, every_evaluation: bool = False,
                 points: bool = False) -> None:
        import objeval

        self._handle = None
        self._library = objeval._shared_library
        self.folder, self.algorithm, self.info = str(folder), algorithm, info
        handle = ctypes.c_void_p()
        options = (1 if every_evaluation else 0) | (2 if points else 0)
        status = self._library.objeval_study_open(str(folder).encode(), algorithm.encode(), info.encode(), options,
                                                  ctypes.byref(handle))
        _raise_for(self._library, status, f"the study in {folder}")
        self._handle = handle

    def run(self, problem: str | Problem, budget: int | None = None, **attributes: Any) -> Run:
        """A new run of ``problem`` (a name or a Problem), of at most
        ``budget`` evaluations, with ``attributes`` (seed=7, ...) recorded."""
        import objeval

        if self._handle is None:
            raise ValueError("objeval: the study is closed")
        target = problem if isinstance(problem, Problem) else objeval.problem(problem)
        for name, value in attributes.items():
            if re.search(r"[;\t\n\r]", str(value)):
                raise ValueError(f"objeval: attribute {name}: a value holds no ';', tab or line end")
        text = ";".join(f"{name}={value}" for name, value in attributes.items())
        handle = ctypes.c_void_p()
        status = self._library.objeval_run_start(self._handle, target._index, budget or 0, text.encode(),
                                                 ctypes.byref(handle))
        _raise_for(self._library, status, f"a run of {target.name}")
        return Run(target, handle)

    def close(self) -> None:
        """Closes the study; its runs not yet ended stay usable until they end."""
        if self._handle is not None:
            self._library.objeval_study_close(self._handle)
            self._handle = None

    def __enter__(self) -> Study:
        return self

    def __exit__(self, *exception: Any) -> None:
        self.close()

    def __del__(self) -> None:
        self.close()


class Run(Problem):
    """One run of a study: called as its problem is, ``run(x)`` or
    ``run(batch, threads)``, each point one evaluation in order. A call past
    the budget raises ``BudgetSpent`` having evaluated the points within it.
    ``end()`` (or leaving its ``with``) adds it to the study; a run lives in
    the process that started it."""

    def __init__(self, problem: Problem, handle: ctypes.c_void_p) -> None:
        super().__init__(problem._library, problem._index, problem.name, problem.dimension, problem.description)
        self._run = handle

    @property
    def evaluations(self) -> int:
        """The evaluations this run has made."""
        return self._library.objeval_run_evaluations(self._live())

    @property
    def best(self) -> float:
        """The best (least) value so far; infinity before any."""
        return float(self._library.objeval_run_best(self._live(), None))

    @property
    def best_point(self) -> list[float]:
        """The point of the best value so far."""
        point = array.array("f", bytes(4 * self.dimension))
        self._library.objeval_run_best(self._live(), point.buffer_info()[0])
        return point.tolist()

    def end(self) -> None:
        """Ends the run and adds it to the study; raises ``OSError`` where
        its files cannot be written. A second end does nothing."""
        if self._run is not None:
            handle, self._run = self._run, None
            _raise_for(self._library, self._library.objeval_run_end(handle), f"a run of {self.name}")

    def __enter__(self) -> Run:
        return self

    def __exit__(self, *exception: Any) -> None:
        self.end()

    def __reduce__(self):
        raise TypeError("objeval: a run lives in the process that started it; pickle its problem instead")

    def __repr__(self) -> str:
        return f"a run of objeval.{self.name}, {self.evaluations if self._run else 'ended after its'} evaluations"

    def _live(self):
        if self._run is None:
            raise ValueError(f"objeval: this run of {self.name} has ended")
        return self._run

    def _counted(self, status, evaluated):
        if status == _BUDGET_SPENT:
            raise BudgetSpent(f"objeval: {self.name}: {self._library.objeval_last_error().decode()}", evaluated.value)
        _raise_for(self._library, status, f"a run of {self.name}")

    def _evaluate(self, points, count, values, threads):
        evaluated = ctypes.c_size_t()
        status = self._library.objeval_run_evaluate(self._live(), points, count, values, threads,
                                                    ctypes.byref(evaluated))
        self._counted(status, evaluated)

    def _evaluate_layout(self, itemsize, points, count, point_stride, coordinate_stride, values, threads):
        call = self._library.objeval_run_evaluate_double if itemsize == 8 else self._library.objeval_run_evaluate_strided
        evaluated = ctypes.c_size_t()
        status = call(self._live(), points, count, point_stride, coordinate_stride, values, threads,
                      ctypes.byref(evaluated))
        self._counted(status, evaluated)
