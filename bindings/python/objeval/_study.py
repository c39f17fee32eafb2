# SPDX-License-Identifier: MIT
"""Studies: runs of an algorithm on the problems, every evaluation counted in
order, a budget kept, and the best-so-far values logged where IOHanalyzer
reads them (IOHprofiler's format)."""
from __future__ import annotations

import array
import atexit
import ctypes
import numbers
import platform
import re
import warnings
import weakref
from typing import Any

from ._problem import PartlyEvaluated, Problem

_BUDGET_SPENT, _CANNOT_WRITE, _BAD_ARGUMENT = 5, 6, 7  # objeval.h's statuses


class BudgetSpent(PartlyEvaluated):
    """A run was asked for more evaluations than its budget has left.

    ``evaluated`` is how many points of the call were evaluated (the first
    ones, within the budget), ``values`` their values."""


_LANGUAGE = f"Python {platform.python_version()}"
_live_runs: weakref.WeakSet = weakref.WeakSet()


@atexit.register
def _discard_live_runs() -> None:
    for run in list(_live_runs):
        run._abandon()


def _budget(budget: Any) -> int:
    """A budget as the C interface takes it: 0 for None, else a whole number
    from 1 to 2**64 - 1; anything else is refused, naming it."""
    if budget is None:
        return 0
    if isinstance(budget, numbers.Real) and not isinstance(budget, bool):
        try:
            whole = int(budget)
        except (OverflowError, ValueError):  # inf, nan
            whole = None
        if whole is not None and whole == budget and 1 <= whole <= 2**64 - 1:
            return whole
    raise ValueError(f"objeval: a budget is a whole number of evaluations from 1 to 2**64 - 1 (None: no budget), "
                     f"not {budget!r}")


def _attributes(attributes: dict[str, Any]) -> str:
    """``name=value;...`` of the attributes not None, and the language's."""
    pairs = {name: value for name, value in attributes.items() if value is not None}
    pairs.setdefault("language", _LANGUAGE)
    for name, value in pairs.items():
        if re.search(r"[;\t\n\r]", str(value)):
            raise ValueError(f"objeval: attribute {name}: a value holds no ';', tab or line end, not {str(value)!r}")
    return ";".join(f"{name}={value}" for name, value in pairs.items())


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
    (its settings), logged in a folder of the algorithm's own as IOHanalyzer
    reads them. The problems are minimised. ``every_evaluation``: a row for
    every evaluation, not only the improvements; ``points``: each row with
    its point; ``durable``: a run counts as ended once its files are on the
    disk; ``add``: the algorithm's runs there already are meant to be added
    to (otherwise a line on standard error says they are). Raises
    ``OSError`` where the folder cannot be written, ``ValueError`` where the
    algorithm's runs there log other rows.

        with objeval.Study("results", "random search", "sigma=0.1") as study:
            for seed in range(5):
                with study.run("quadobj", budget=1000, seed=seed) as run:
                    scipy.optimize.minimize(run, x0, ...)   # run(x) is the objective

    Threads and processes may write one study at once, each its own runs."""

    def __init__(self, folder: str, algorithm: str, info: str = "", *, every_evaluation: bool = False,
                 points: bool = False, durable: bool = False, add: bool = False) -> None:
        import objeval

        self._handle = None
        self._library = objeval._shared_library
        self.folder, self.algorithm, self.info = str(folder), algorithm, info
        handle = ctypes.c_void_p()
        options = (1 if every_evaluation else 0) | (2 if points else 0) | (4 if durable else 0) | (8 if add else 0)
        status = self._library.objeval_study_open(str(folder).encode(), algorithm.encode(), info.encode(), options,
                                                  ctypes.byref(handle))
        _raise_for(self._library, status, f"the study in {folder}")
        self._handle = handle

    def run(self, problem: str | Problem, budget: int | None = None, **attributes: Any) -> Run:
        """A new run of ``problem`` (a name or a Problem), of at most
        ``budget`` evaluations (a whole number from 1; None: no budget),
        with ``attributes`` (seed=7, ...; None ones left out) recorded, and
        the language (``language="Python 3.11.7"``)."""
        import objeval

        if self._handle is None:
            raise ValueError("objeval: the study is closed")
        target = problem if isinstance(problem, Problem) else objeval.problem(problem)
        most = _budget(budget)
        try:
            text = _attributes(attributes).encode()
        except UnicodeEncodeError as error:
            raise ValueError(f"objeval: an attribute is not text UTF-8 can hold: {error}") from None
        handle = ctypes.c_void_p()
        status = self._library.objeval_run_start(self._handle, target._index, most, text, ctypes.byref(handle))
        _raise_for(self._library, status, f"a run of {target.name}")
        return Run(target, handle, most)

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
    ``end()`` adds it to the study. Leaving its ``with`` ends it as its body
    ended: normally, or by this run's ``BudgetSpent`` (which the ``with``
    then stops), it joins the study; by an exception, it ends as failed
    (``fail()``), kept apart from the runs IOHanalyzer reads; interrupted
    (``KeyboardInterrupt``, ``SystemExit``), it is discarded. A run never
    ended is discarded, with a warning. A run lives in the process that
    started it."""

    def __init__(self, problem: Problem, handle: ctypes.c_void_p, budget: int = 0) -> None:
        super().__init__(problem._library, problem._index, problem.name, problem.dimension, problem.description)
        self._run = handle
        self._fast = (handle.value, 1) if self._fast is not None else None
        self._budget = budget
        _live_runs.add(self)

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
        self._finish(lambda handle: self._library.objeval_run_end(handle))

    def fail(self, reason: str = "") -> None:
        """Ends the run as failed, ``reason`` saying why: its rows are kept,
        apart from the runs IOHanalyzer reads."""
        text = reason.encode("utf-8", "replace")
        self._finish(lambda handle: self._library.objeval_run_fail(handle, text))

    def discard(self) -> None:
        """Ends the run leaving nothing of it in the study."""
        self._finish(lambda handle: self._library.objeval_run_discard(handle))

    def _finish(self, how) -> None:
        if self._run is not None:
            handle, self._run, self._fast = self._run, None, None
            _live_runs.discard(self)
            _raise_for(self._library, how(handle), f"a run of {self.name}")

    def _abandon(self) -> None:
        if self._run is not None:
            try:
                warnings.warn(f"objeval: a run of {self.name} was never ended, and is discarded: end it with "
                              f"run.end(), or in a with", RuntimeWarning, stacklevel=2)
            except Exception:  # at the interpreter's exit
                pass
            self.discard()

    def __enter__(self) -> Run:
        return self

    def __exit__(self, kind: Any, error: Any, trace: Any) -> bool:
        if kind is None:
            self.end()
        elif issubclass(kind, BudgetSpent) and self._budget and self._run is not None \
                and self.evaluations >= self._budget:
            self.end()
            return True  # the budget's end is the run's end
        elif issubclass(kind, Exception):
            self.fail(f"{kind.__name__}: {error}")
        else:
            self.discard()
        return False

    def __del__(self) -> None:
        if getattr(self, "_run", None) is not None:
            self._abandon()

    def __reduce__(self):
        raise TypeError("objeval: a run lives in the process that started it; pickle its problem instead")

    def __repr__(self) -> str:
        return f"a run of objeval.{self.name}, {self.evaluations if self._run else 'ended after its'} evaluations"

    def _live(self):
        if self._run is None:
            raise ValueError(f"objeval: this run of {self.name} has ended")
        return self._run

    def _counted(self, status, evaluated):
        self._raise_status(status, evaluated.value)

    def _raise_status(self, status, evaluated):
        if status == _BUDGET_SPENT:
            raise BudgetSpent(f"objeval: {self.name}: {self._library.objeval_last_error().decode()}", evaluated)
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


class StudyCheck:
    """What ``check`` found: ``faults``, a line each ("FILE: what is
    wrong"), and ``summary``; ``sound`` where there is no fault."""

    def __init__(self, faults: list[str], summary: str) -> None:
        self.faults, self.summary = faults, summary

    @property
    def sound(self) -> bool:
        return not self.faults

    def __bool__(self) -> bool:
        return self.sound

    def __str__(self) -> str:
        return "\n".join(self.faults + [self.summary])

    def __repr__(self) -> str:
        return f"<objeval.StudyCheck: {self.summary}>"


def check(folder: str) -> StudyCheck:
    """Checks the study in ``folder`` as IOHanalyzer would read it, every
    logged point evaluated again and compared bit for bit (as
    ``objeval-eval --check``); ``ValueError`` where there is no such folder.

        >>> report = objeval.check("results")
        >>> report.sound, report.faults
    """
    import objeval

    library = objeval._shared_library
    lines: list[str] = []
    each = ctypes.CFUNCTYPE(None, ctypes.c_char_p, ctypes.c_void_p)(
        lambda line, _: lines.append(line.decode("utf-8", "replace")))
    faults = ctypes.c_size_t()
    status = library.objeval_study_check(str(folder).encode(), ctypes.cast(each, ctypes.c_void_p), None,
                                         ctypes.byref(faults))
    _raise_for(library, status, f"the check of {folder}")
    return StudyCheck(lines[:-1], lines[-1] if lines else "")
