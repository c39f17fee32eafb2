# SPDX-License-Identifier: MIT
"""Studies from Python: runs as the objective SciPy, NLopt and Dask take,
a budget as an exception at exactly its evaluations, and folders written by
a pool of processes at once that load whole by IOHanalyzer's rules
(tests/study_format.py)."""
import concurrent.futures
import pathlib
import re
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


@pytest.mark.parametrize("budget", [0, -1, 2.7, 2**64, 2**64 + 3, float("inf"), float("nan"), True, "5", 1e20])
def test_a_budget_is_a_whole_number_from_one_or_refused_naming_it(tmp_path, budget):
    with objeval.Study(tmp_path, "x") as study:
        with pytest.raises(ValueError, match=re.escape(f"not {budget!r}")):
            study.run("quadobj", budget=budget)


def test_a_runs_with_ends_it_as_its_body_ended(tmp_path):
    point = np.zeros(50)
    with objeval.Study(tmp_path, "x") as study:
        with study.run("quadobj", budget=np.int64(2), seed=None, note="a") as run:
            while True:
                run(point)  # BudgetSpent at the third: the with ends the run, and stops it
        with pytest.raises(ZeroDivisionError):
            with study.run("quadobj", budget=1e3) as run:
                run(point), run(point), 1 / 0
        with pytest.raises(KeyboardInterrupt):
            with study.run("quadobj") as run:
                run(point), run(point)
                raise KeyboardInterrupt
    folder = next(tmp_path.iterdir())
    meta = (folder / "IOHprofiler_f2_quadobj_run1.json").read_text()
    assert '"note": "a"' in meta and '"seed"' not in meta and f'"language": "Python {sys.version.split()[0]}' in meta
    assert '"ending": "budget spent"' in meta
    assert '"failure": "ZeroDivisionError: division by zero"' in (folder / "IOHprofiler_f2_quadobj_run2.failed").read_text()
    assert not (folder / "data_f2_quadobj" / "IOHprofiler_f2_DIM50_run3.dat").exists()  # interrupted: discarded
    loaded(tmp_path, 1)


def test_a_run_never_ended_is_discarded_with_a_warning(tmp_path):
    with objeval.Study(tmp_path, "x") as study:
        run = study.run("quadobj")
        run(np.zeros((2, 50)))
        with pytest.warns(RuntimeWarning, match="never ended"):
            del run
    assert not list(tmp_path.rglob("*.dat")) and not list(tmp_path.rglob("*.json"))


def test_check_finds_a_value_changed_by_hand_and_plot_reads_past_other_json(tmp_path):
    import objeval.plot

    with objeval.Study(tmp_path, "every", every_evaluation=True, points=True) as study, study.run("quadobj") as run:
        run(np.random.default_rng(3).uniform(-1, 1, (5, 50)))
    (tmp_path / "notes.json").write_text('{"about": "the study"}')
    assert len(list(objeval.plot.runs(tmp_path))) == 1
    (tmp_path / "notes.json").unlink()
    assert objeval.check(tmp_path).sound
    data = next(tmp_path.rglob("*run1.dat"))
    rows = data.read_text().splitlines()
    rows[2] = " ".join([rows[2].split()[0], "1.5"] + rows[2].split()[2:])
    data.write_text("\n".join(rows) + "\n")
    report = objeval.check(tmp_path)
    assert not report and report.faults[0].startswith(f"{data}: line 3: the point's value is ")
    assert report.faults[0].endswith(", the file says 1.5")
    with pytest.raises(ValueError, match="no study folder"):
        objeval.check(tmp_path / "none")
