# SPDX-License-Identifier: MIT
"""A declared study: algorithms x problems x repetitions on a budget, each
run's random numbers drawn from a seed derived from one study seed, run in
this process, on processes or on a Dask cluster, and resumed after a crash."""
from __future__ import annotations

import concurrent.futures
import hashlib
import json
import os
import pathlib
import sys
import time
from typing import Any, Callable, NamedTuple

from ._study import BudgetSpent, Study

#: The declaration's file in the study's folder: not .json, which IOHanalyzer would read.
DECLARATION = "objeval-experiment.txt"


class Cell(NamedTuple):
    """One run of the declaration: an algorithm on a problem, its repetition (from 1)."""

    algorithm: str
    problem: str
    repetition: int


class ExperimentFailed(Exception):
    """Runs whose algorithm raised: ``failures`` holds (cell, seed, error) for each.
    Every other run was made and is in the study."""

    def __init__(self, failures: list[tuple[Cell, int, str]]) -> None:
        lines = [f"{cell.algorithm} on {cell.problem}, repetition {cell.repetition} (seed {seed}): {error}"
                 for cell, seed, error in failures]
        super().__init__(f"objeval: {len(failures)} run{'s' if len(failures) != 1 else ''} failed:\n  " +
                         "\n  ".join(lines))
        self.failures = failures


class ExperimentReport(NamedTuple):
    """What ``Experiment.run`` did: the runs it made now, and those already there."""

    made: int
    already: int


def _words(text: str) -> list[int]:
    """Text as 32-bit words, the same on every machine (Python's own hash is salted)."""
    digest = hashlib.sha256(text.encode()).digest()
    return [int.from_bytes(digest[k:k + 4], "little") for k in range(0, 16, 4)]


def run_seed(study_seed: int, algorithm: str, problem: str, repetition: int) -> int:
    """The seed of a run's generator: from the study's seed, the algorithm's
    name, the problem and the repetition, whatever runs it where, in what order."""
    import numpy as np

    key = [study_seed & 0xFFFFFFFF, study_seed >> 32 & 0xFFFFFFFF, *_words(algorithm), *_words(problem), repetition]
    low, high = np.random.SeedSequence(key).generate_state(2, np.uint32)
    return int(high) << 32 | int(low)


def _run_cell(folder: str, cell: Cell, algorithm: Callable[..., Any], budget: int, study_seed: int):
    """Makes one run, in whatever process: (cell, seed, error or None, evaluations)."""
    import numpy as np

    seed = run_seed(study_seed, cell.algorithm, cell.problem, cell.repetition)
    with Study(folder, cell.algorithm, add=True) as study:
        run = study.run(cell.problem, budget=budget, repetition=cell.repetition, seed=seed)
        try:
            algorithm(run, np.random.default_rng(seed))
        except BudgetSpent:
            pass
        except Exception as error:  # the algorithm's own: its run ends as failed, the others go on
            reason, evaluations = f"{type(error).__name__}: {error}", run.evaluations
            run.fail(reason)
            return cell, seed, reason, evaluations
        except BaseException:
            run.discard()  # interrupted: made again from its start by the next run()
            raise
        evaluations = run.evaluations
        run.end()
    return cell, seed, None, evaluations


class Experiment:
    """A study declared once: each algorithm on each problem, ``repetitions``
    runs each, of ``budget`` evaluations, the runs' random numbers derived
    from ``seed``.

        experiment = objeval.Experiment("results", algorithms={"random search": random_search, "DE": de},
                                        problems=["quadobj", "doorcost"], repetitions=30, budget=10_000,
                                        seed=2026)
        experiment.run(jobs=4)                 # processes on this machine (jobs=1: in this process)
        experiment.run(client=dask_client)     # a dask.distributed cluster

    An algorithm is a callable ``algorithm(run, rng)``: ``run`` the study's
    run, called with a point or a population, which raises ``BudgetSpent`` at
    the budget and knows its problem's ``dimension``; ``rng`` a
    ``numpy.random.Generator`` seeded from the study's seed, the algorithm's
    name, the problem and the repetition, so that the same declaration makes
    the same runs anywhere, in any order, on any number of workers. Each run
    records its ``repetition`` and ``seed``.

    ``run()`` makes the runs not yet ended: a run that was interrupted, or
    whose algorithm raised, is made again from its start, and a complete
    study makes nothing. It tidies the folder first (what interrupted runs
    left goes): no other writer may write these algorithms' runs there
    meanwhile, and a second ``run()`` on the folder is refused. A folder
    that holds another declaration (other problems, repetitions, budget or
    seed) is refused, saying what differs. An algorithm that raises ends its
    run as failed and the others go on; ``run()`` then raises
    ``ExperimentFailed`` naming each failed run. On a terminal, a line on
    standard error says how far the study is."""

    def __init__(self, folder: str | os.PathLike, algorithms: dict[str, Callable[..., Any]], problems: list[str],
                 repetitions: int, budget: int, seed: int) -> None:
        import objeval
        from ._study import _budget

        if not algorithms:
            raise ValueError("objeval: an experiment needs an algorithm")
        for name, algorithm in algorithms.items():
            if not isinstance(name, str) or not name or not callable(algorithm):
                raise TypeError(f"objeval: algorithms maps names to callables algorithm(run, rng), not {name!r}")
        unknown = [p for p in problems if p not in objeval.problems]
        if unknown or not problems or len(set(problems)) != len(problems):
            raise ValueError(f"objeval: problems are names, each once, of {', '.join(objeval.problems)}; "
                             f"not {problems!r}")
        if isinstance(repetitions, bool) or not isinstance(repetitions, int) or repetitions < 1:
            raise ValueError(f"objeval: repetitions is a whole number from 1, not {repetitions!r}")
        if isinstance(seed, bool) or not isinstance(seed, int) or not 0 <= seed < 2**64:
            raise ValueError(f"objeval: seed is a whole number from 0 to 2**64 - 1, not {seed!r}")
        self.folder = pathlib.Path(folder)
        self.algorithms = dict(algorithms)
        self.problems = list(problems)
        self.repetitions = repetitions
        self.budget = _budget(budget)
        if self.budget == 0:
            raise ValueError("objeval: an experiment's runs have a budget")
        self.seed = seed

    def declaration(self) -> dict[str, Any]:
        """What the study's folder records of it."""
        return {"algorithms": sorted(self.algorithms), "problems": self.problems, "repetitions": self.repetitions,
                "budget": self.budget, "seed": self.seed}

    def cells(self) -> list[Cell]:
        """Every run the declaration makes."""
        return [Cell(a, p, r) for a in self.algorithms for p in self.problems for r in range(1, self.repetitions + 1)]

    def run(self, jobs: int = 1, client: Any = None) -> ExperimentReport:
        """Makes the runs not yet ended: in this process (jobs=1), on ``jobs``
        processes, or on a dask.distributed ``client``'s workers."""
        if isinstance(jobs, bool) or not isinstance(jobs, int) or jobs < 1:
            raise ValueError(f"objeval: jobs is a whole number of processes from 1, not {jobs!r}")
        self.folder.mkdir(parents=True, exist_ok=True)
        import fcntl

        lock = open(self.folder / "objeval-experiment.lock", "w")  # one run() a folder at a time: it tidies
        deadline = time.monotonic() + 5  # a killed run()'s processes may take a moment to be gone
        while True:
            try:
                fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
                break
            except BlockingIOError:
                if time.monotonic() > deadline:
                    lock.close()
                    raise RuntimeError(f"objeval: another run() is making the runs of {self.folder}") from None
                time.sleep(0.05)
        with lock:
            self._lock = os.fstat(lock.fileno())
            return self._run_locked(jobs, client)

    def _run_locked(self, jobs, client):
        self._agree_with_folder()
        ended = self._tidy()
        pending = [cell for cell in self.cells() if cell not in ended]
        progress = _Progress(len(self.cells()), len(self.cells()) - len(pending))
        failures: list[tuple[Cell, int, str]] = []
        tasks = [(str(self.folder), cell, self.algorithms[cell.algorithm], self.budget, self.seed) for cell in pending]
        try:
            for cell, seed, error, _ in self._made(tasks, jobs, client):
                if error is not None:
                    failures.append((cell, seed, error))
                progress.one(error is not None)
        finally:
            progress.close()
            if client is not None or jobs > 1:  # a lost worker may have ended a cell twice
                self._tidy()
        made = len(pending)
        if failures:
            raise ExperimentFailed(sorted(failures))
        return ExperimentReport(made=made, already=len(self.cells()) - made)

    def _made(self, tasks, jobs, client):
        """Each task's result as it comes: in this process, a pool's or a cluster's."""
        if client is not None:
            from dask.distributed import as_completed

            futures = [client.submit(_run_cell, *task, pure=False) for task in tasks]
            try:
                for future in as_completed(futures):
                    yield future.result()
            except BaseException:
                client.cancel(futures)
                raise
        elif jobs == 1:
            for task in tasks:
                yield _run_cell(*task)
        else:
            lock = (self._lock.st_dev, self._lock.st_ino)
            with concurrent.futures.ProcessPoolExecutor(max_workers=jobs, initializer=_forget_lock,
                                                        initargs=(lock,)) as pool:
                futures = [pool.submit(_run_cell, *task) for task in tasks]
                try:
                    for future in concurrent.futures.as_completed(futures):
                        yield future.result()
                except BaseException:
                    for future in futures:
                        future.cancel()
                    raise

    def _agree_with_folder(self) -> None:
        """Records the declaration, or holds this one to the folder's."""
        path = self.folder / DECLARATION
        mine = self.declaration()
        if path.exists():
            theirs = json.loads(path.read_text())
            differ = [f"{key} {theirs.get(key)!r} there, {mine[key]!r} here" for key in
                      ("problems", "repetitions", "budget", "seed") if theirs.get(key) != mine[key]]
            if differ:
                raise ValueError(f"objeval: {self.folder} holds another declaration: {'; '.join(differ)}")
            mine["algorithms"] = sorted(set(mine["algorithms"]) | set(theirs.get("algorithms", [])))
            if mine == theirs:
                return
        temporary = path.with_name(path.name + ".new")
        temporary.write_text(json.dumps(mine, indent=2) + "\n")
        os.replace(temporary, path)

    def _tidy(self) -> set[Cell]:
        """The cells the folder holds ended runs of. What an interrupted run
        left (a data file with no meta file) goes, and so does a run that
        failed, to be made again; of a cell ended twice (a task a lost
        worker had finished, made again), the later run goes."""
        ended: dict[Cell, list[tuple[int, pathlib.Path]]] = {}
        for folder in self.folder.iterdir():
            record = folder / "objeval-algorithm.txt"
            if not record.is_file():
                continue
            name = next((line[len("algorithm: "):] for line in record.read_text(encoding="utf-8").splitlines()
                         if line.startswith("algorithm: ")), None)
            if name not in self.algorithms:
                continue  # another algorithm's folder: not this experiment's to tidy
            named = set()
            for meta in folder.iterdir():
                if not meta.name.startswith("IOHprofiler_") or meta.suffix not in (".json", ".failed",
                                                                                  ".one-evaluation"):
                    continue
                document = json.loads(meta.read_text(encoding="utf-8"))
                scenario = document["scenarios"][0]
                named.add(scenario["path"])
                run = scenario["runs"][0]
                if "repetition" not in run or run.get("seed") is None:
                    continue  # not this experiment's
                if meta.suffix == ".failed":
                    meta.unlink()
                    named.discard(scenario["path"])
                    continue
                cell = Cell(name, document["function_name"], int(run["repetition"]))
                ended.setdefault(cell, []).append((int(run["instance"]), meta))
            for data in folder.glob("data_f*/*.dat"):
                if f"{data.parent.name}/{data.name}" not in named:
                    data.unlink()
            for temporary in folder.glob("*.new"):
                temporary.unlink()
        for cell, runs in ended.items():
            for _, meta in sorted(runs)[1:]:
                scenario = json.loads(meta.read_text())["scenarios"][0]
                meta.unlink()
                (meta.parent / scenario["path"]).unlink(missing_ok=True)
        return set(ended)


def _forget_lock(lock: tuple[int, int]) -> None:
    """In a forked worker: closes the copy of run()'s lock it inherited, so
    that the lock goes with run()'s own process."""
    for fd in range(3, 256):
        try:
            status = os.fstat(fd)
        except OSError:
            continue
        if (status.st_dev, status.st_ino) == lock:
            os.close(fd)


class _Progress:
    """One line on standard error, where it is a terminal: runs done of all,
    failures, and the time left at this pace."""

    def __init__(self, total: int, done: int) -> None:
        self.total, self.done, self.failed, self.made = total, done, 0, 0
        self.start = time.monotonic()
        self.shown = sys.stderr.isatty()
        self.last = 0.0
        self._show(force=True)

    def one(self, failed: bool) -> None:
        self.done += 1
        self.made += 1
        self.failed += failed
        self._show()

    def _show(self, force: bool = False) -> None:
        now = time.monotonic()
        if not self.shown or (not force and now - self.last < 0.2 and self.done < self.total):
            return
        self.last = now
        left = ""
        if self.made:
            seconds = (now - self.start) / self.made * (self.total - self.done)
            left = f", about {seconds / 60:.0f} min left" if seconds >= 90 else f", about {seconds:.0f} s left"
        failed = f", {self.failed} failed" if self.failed else ""
        sys.stderr.write(f"\robjeval: {self.done} of {self.total} runs{failed}{left}\033[K")
        sys.stderr.flush()

    def close(self) -> None:
        if self.shown:
            self._show(force=True)
            sys.stderr.write("\n")
