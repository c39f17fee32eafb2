# SPDX-License-Identifier: MIT
"""Studies from Python: runs as the objective SciPy, NLopt and Dask take,
a budget as an exception at exactly its evaluations, and folders written by
a pool of processes at once that load whole by IOHanalyzer's rules
(tests/study_format.py)."""
import concurrent.futures
import pathlib
import subprocess
import sys

import numpy as np
import pytest

import objeval

FORMAT = pathlib.Path(__file__).resolve().parents[3] / "tests" / "study_format.py"


def loaded(folder, runs):
    """The folder's runs as IOHanalyzer would load them: (algorithm, problem, instance, evals, best)."""
    out = subprocess.run([sys.executable, FORMAT, str(folder), "--runs", str(runs)], capture_output=True, text=True)
    assert out.returncode == 0, out.stdout + out.stderr
    return [tuple(line.split("\t")) for line in out.stdout.splitlines()]


def test_a_run_counts_keeps_its_budget_and_knows_its_best(tmp_path):
    points = np.random.default_rng(1).uniform(-1, 1, (12, 50)).astype(np.float32)
    with objeval.Study(tmp_path, "random search", "uniform in [-1, 1]") as study:
        with study.run("quadobj", budget=10, seed=1) as run:
            first = run(points[:4])
            with pytest.raises(objeval.BudgetSpent) as spent:
                run(points[4:].astype(np.float64))  # eight more: six within the budget
            assert spent.value.evaluated == 6
            with pytest.raises(objeval.BudgetSpent):
                run(points[0])
            values = np.concatenate([first, spent.value.values[:6]])
            assert run.evaluations == 10 and run.best == values.min()
            assert run.best_point == points[values.argmin()].tolist()
    assert loaded(tmp_path, 1) == [("random search", "quadobj", "1", "10", f"{values.min():.9g}")]


def test_scipy_and_dask_take_a_run_as_the_objective(tmp_path):
    optimize = pytest.importorskip("scipy.optimize")
    with objeval.Study(tmp_path, "L-BFGS-B") as study, study.run("quadobj", seed=0) as run:
        result = optimize.minimize(run, np.zeros(50), method="L-BFGS-B", bounds=[(-1, 1)] * 50, options={"eps": 1e-3})
        assert run.evaluations >= result.nfev and run.best == result.fun
    dask = pytest.importorskip("dask.array")
    with objeval.Study(tmp_path, "dask sample") as study, study.run("doorcost") as run:
        sample = dask.random.RandomState(2).uniform(0, 1, (4000, 240), chunks=(1000, 240)).astype(np.float32)
        values = sample.map_blocks(lambda block: run(block), drop_axis=1, dtype=np.float32).compute(scheduler="threads")
        assert run.evaluations == 4000 and run.best == values.min()
    loaded(tmp_path, 2)


def test_nlopt_takes_a_run_as_the_objective(tmp_path):
    nlopt = pytest.importorskip("nlopt")
    with objeval.Study(tmp_path, "BOBYQA") as study, study.run("quadobj", budget=300) as run:
        optimiser = nlopt.opt(nlopt.LN_BOBYQA, 50)
        optimiser.set_min_objective(lambda x, gradient: run(x))
        optimiser.set_lower_bounds(-1.0)
        optimiser.set_upper_bounds(1.0)
        optimiser.set_maxeval(300)
        optimiser.optimize(np.zeros(50))
        assert run.evaluations == 300 and optimiser.last_optimum_value() == run.best
    loaded(tmp_path, 1)


def one_run(folder, seed):
    rng = np.random.default_rng(seed)
    with objeval.Study(folder, "pool") as study, study.run("doorcost", seed=seed) as run:
        for _ in range(5):
            run(rng.uniform(0, 1, (100, 240)))
    return seed


def test_a_process_pool_writing_one_folder_loses_no_run(tmp_path):
    with concurrent.futures.ProcessPoolExecutor(max_workers=3) as pool:
        assert sorted(pool.map(one_run, [tmp_path] * 9, range(9))) == list(range(9))
    assert {row[3] for row in loaded(tmp_path, 9)} == {"500"}


def test_what_a_study_cannot_take_is_the_languages_own_error(tmp_path):
    (tmp_path / "a file").write_text("")
    with pytest.raises(OSError, match="a file"):
        objeval.Study(tmp_path / "a file", "x")
    with objeval.Study(tmp_path, "x") as study:
        with pytest.raises(ValueError, match="name=value"):
            study.run("quadobj", **{"instance": 3})
        run = study.run("quadobj")
        run.end()
        with pytest.raises(ValueError, match="ended"):
            run(np.zeros(50))
