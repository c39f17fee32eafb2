# SPDX-License-Identifier: MIT
"""A declared study made whole whatever happens to it: killed part way and
resumed, run on processes or on a Dask cluster, it holds every run of the
declaration once, each with the values of the same declaration run once
in this process, and checks sound."""
import json
import os
import pathlib
import signal
import subprocess
import sys
import textwrap
import time

import numpy as np
import pytest

import objeval

ALGORITHMS = textwrap.dedent('''
    import time
    import objeval

    def random_search(run, rng):
        while True:
            run(rng.uniform(-1, 1, (20, run.dimension)))
            time.sleep(0.005)  # slow enough to be killed part way

    def one_plus_one(run, rng):
        x = rng.uniform(-1, 1, run.dimension)
        fx = run(x)
        while True:
            y = x + 0.1 * rng.standard_normal(run.dimension)
            fy = run(y)
            if fy <= fx:
                x, fx = y, fy

    def experiment(folder):
        return objeval.Experiment(folder, algorithms={"random search": random_search, "(1+1) ES": one_plus_one},
                                  problems=["quadobj", "doorcost"], repetitions=3, budget=400, seed=2026)
''')


@pytest.fixture
def algorithms(tmp_path, monkeypatch):
    (tmp_path / "algorithms.py").write_text(ALGORITHMS)
    monkeypatch.syspath_prepend(str(tmp_path))
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join([str(tmp_path), os.environ.get("PYTHONPATH", "")]))
    import algorithms
    return algorithms


def runs_of(folder):
    """(algorithm, problem, repetition) -> (evaluations, best) of each ended run."""
    found = {}
    for meta in pathlib.Path(folder).rglob("*.json"):
        document = json.loads(meta.read_text())
        run = document["scenarios"][0]["runs"][0]
        cell = (document["algorithm"]["name"], document["function_name"], int(run["repetition"]))
        assert cell not in found, f"{cell} twice"
        found[cell] = (run["evals"], run["best"]["y"])
    return found


def test_killed_resumed_and_on_dask_a_study_makes_the_same_runs(tmp_path, algorithms):
    once = algorithms.experiment(tmp_path / "once").run()
    assert once == objeval.ExperimentReport(made=12, already=0)
    expected = runs_of(tmp_path / "once")
    assert len(expected) == 12 and {evals for evals, _ in expected.values()} == {400}

    folder = tmp_path / "killed"
    started = subprocess.Popen([sys.executable, "-c", f"import algorithms; algorithms.experiment({str(folder)!r}).run(jobs=2)"],
                               start_new_session=True)
    deadline = time.monotonic() + 60
    while len(list(folder.rglob("*.json"))) < 3 and time.monotonic() < deadline and started.poll() is None:
        time.sleep(0.01)
    os.killpg(started.pid, signal.SIGKILL)
    started.wait()
    made_before = len(runs_of(folder))
    assert 3 <= made_before < 12, "the study was not killed part way"
    resumed = algorithms.experiment(folder).run(jobs=2)
    assert resumed == objeval.ExperimentReport(made=12 - made_before, already=made_before)
    assert algorithms.experiment(folder).run(jobs=2) == objeval.ExperimentReport(made=0, already=12)
    assert runs_of(folder) == expected
    assert objeval.check(folder).sound, objeval.check(folder)

    distributed = pytest.importorskip("dask.distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True) as cluster, \
            distributed.Client(cluster) as client:
        algorithms.experiment(tmp_path / "dask").run(client=client)
    assert runs_of(tmp_path / "dask") == expected
    assert objeval.check(tmp_path / "dask").sound


def test_a_failing_algorithm_fails_its_runs_alone_and_a_declaration_keeps_its_folder(tmp_path, algorithms):
    calls = []

    def fails_at_two(run, rng):  # in this process, the repetitions in order
        calls.append(run)
        run(rng.uniform(-1, 1, (5, run.dimension)))
        if len(calls) == 2:
            raise ZeroDivisionError("the second run's bug")
        algorithms.one_plus_one(run, rng)

    experiment = objeval.Experiment(tmp_path, algorithms={"buggy": fails_at_two}, problems=["quadobj"],
                                    repetitions=3, budget=50, seed=1)
    with pytest.raises(objeval.ExperimentFailed) as failed:
        experiment.run()
    (cell, seed, error), = failed.value.failures
    assert cell == ("buggy", "quadobj", 2) and seed == objeval.run_seed(1, "buggy", "quadobj", 2)
    assert error == "ZeroDivisionError: the second run's bug" and "repetition 2 (seed " in str(failed.value)
    assert len(runs_of(tmp_path)) == 2 and len(list(tmp_path.rglob("*.failed"))) == 1
    assert experiment.run() == objeval.ExperimentReport(made=1, already=2)  # the failed run, made again
    other = objeval.Experiment(tmp_path, algorithms={"buggy": fails_at_two}, problems=["quadobj"], repetitions=3,
                               budget=60, seed=2)
    with pytest.raises(ValueError, match="budget 50 there, 60 here; seed 1 there, 2 here"):
        other.run()
