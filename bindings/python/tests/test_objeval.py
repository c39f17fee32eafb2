# SPDX-License-Identifier: MIT
"""The objeval package against the programs: the same values, bit for bit.

OBJEVAL_<NAME> (OBJEVAL_DOORCOST, ...) names the program of each problem of
the table to compare with; without it, the comparisons with that program
are skipped."""
import os
import pathlib
import subprocess
import sys
import threading

import numpy as np
import pytest

import objeval
from objeval import _problem

EXAMPLES = pathlib.Path(__file__).resolve().parents[3] / "examples"
PROBLEMS = list(objeval.problems.values())


def program_value(problem, text, work):
    program = os.environ.get("OBJEVAL_" + problem.name.upper())
    if not program:
        pytest.skip(f"OBJEVAL_{problem.name.upper()} names no program")
    (work / "input.txt").write_text(text)
    run = subprocess.run([program], cwd=work, capture_output=True, check=True)
    assert run.stdout == b""
    return (work / "output.txt").read_text()


def bits(values):
    return np.asarray(values, dtype=np.float32).view(np.uint32)


def random_points(problem, count, seed):
    rng = np.random.default_rng(seed)
    points = rng.uniform(-10, 10, size=(count, problem.dimension)).astype(np.float32)
    points[::3] = np.round(points[::3])  # whole numbers: assignments of trucks to doors
    return points


@pytest.mark.parametrize("problem", PROBLEMS, ids=lambda p: p.name)
def test_values_are_the_programs_output(problem, tmp_path):
    for example in sorted((EXAMPLES / problem.name).glob("*.txt")):
        text = example.read_text()
        point = np.zeros(problem.dimension, dtype=np.float32)
        tokens = text.split()[: problem.dimension]
        point[: len(tokens)] = [float(t) for t in tokens]  # short decimals: exact either way
        assert "%f" % problem(point) == program_value(problem, text, tmp_path), example.name
    for point in random_points(problem, 20, seed=len(problem.name)):
        # "%.9g" reads back to the same float32.
        text = "\n".join("%.9g" % v for v in point)
        assert "%f" % problem(point) == program_value(problem, text, tmp_path)


@pytest.mark.parametrize("problem", PROBLEMS, ids=lambda p: p.name)
def test_batch_equals_one_point_bit_for_bit(problem):
    points = random_points(problem, 37, seed=1)
    points[5, 0] = np.inf
    points[6, -1] = np.nan
    points[7] = -0.0
    batch = problem(points)
    assert batch.dtype == np.float32 and batch.shape == (37,)
    one_by_one = [problem(p) for p in points]
    assert (bits(batch) == bits(one_by_one)).all()
    assert problem(points[:0]).shape == (0,)


@pytest.mark.parametrize("problem", PROBLEMS, ids=lambda p: p.name)
def test_any_input_is_rounded_to_float32_once(problem):
    points = np.random.default_rng(3).normal(size=(5, problem.dimension))  # float64
    expected = problem(points.astype(np.float32))
    assert (bits(problem(points)) == bits(expected)).all()
    assert (bits(problem(np.asfortranarray(points))) == bits(expected)).all()
    assert (bits(problem(points.tolist())) == bits(expected)).all()
    assert problem(list(points[0])) == expected[0]
    with_ints = np.zeros((1, problem.dimension), dtype=np.int64)
    assert problem(with_ints)[0] == 0.0


@pytest.mark.parametrize("problem", PROBLEMS, ids=lambda p: p.name)
def test_sequences_without_numpy(problem, monkeypatch):
    points = random_points(problem, 4, seed=4)
    expected = problem(points)
    monkeypatch.setattr(_problem, "_np", None)
    batch = problem(points.tolist())
    assert list(bits(list(batch))) == list(bits(expected))
    assert problem(points[1].tolist()) == expected[1]
    with pytest.raises(ValueError, match=rf"\({problem.dimension},\)"):
        problem([1.0, 2.0])
    with pytest.raises(TypeError, match=rf"\({problem.dimension},\)"):
        problem(["x"] * problem.dimension)


@pytest.mark.parametrize("problem", PROBLEMS, ids=lambda p: p.name)
def test_wrong_shapes_and_types_name_the_expected_shape(problem):
    d = problem.dimension
    for wrong in (np.zeros(d + 1), np.zeros((2, d - 1)), np.zeros((2, 2, d)), np.float32(1)):
        with pytest.raises(ValueError, match=rf"\({d},\) or \(n, {d}\)"):
            problem(wrong)
    for wrong in (np.array(["1"] * d), [object()] * d, np.zeros(d, dtype=complex)):
        with pytest.raises(TypeError, match=rf"\({d},\) or \(n, {d}\)"):
            problem(wrong)


def test_problems_describe_themselves():
    assert objeval.doorcost is objeval.problem("doorcost") and objeval.quadobj is objeval.problem("quadobj")
    assert objeval.doorcost.dimension == 240 and objeval.quadobj.dimension == 50
    assert "slot" in objeval.doorcost.description and "x[i]" in objeval.quadobj.description
    assert objeval.doorcost.__doc__ and objeval.__version__
    assert objeval.quadobj([1.0] + [0.0] * 49) == np.float32(21.31597754)


@pytest.mark.parametrize("problem", PROBLEMS, ids=lambda p: p.name)
def test_threads_give_the_results_of_one(problem):
    points = random_points(problem, 4000, seed=5)
    expected = problem(points)
    results = [None, None]

    def work(n):
        results[n] = problem(points)

    threads = [threading.Thread(target=work, args=(n,)) for n in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for r in results:
        assert (bits(r) == bits(expected)).all()
    for threads in (2, 7, 0):
        assert (bits(problem(points[:1001], threads=threads)) == bits(expected[:1001])).all()


def test_the_compiled_calls_serve_where_they_are_named():
    """The build's tests name the compiled module (OBJEVAL_CALLS): these tests then go through it."""
    if not os.environ.get("OBJEVAL_CALLS"):
        pytest.skip("OBJEVAL_CALLS names no compiled calls: this run tests the ctypes path")
    assert objeval._problem._calls is not None and objeval.quadobj._fast is not None


@pytest.mark.parametrize("named", ["_calls.abi3.so", "another.so"])
def test_objeval_calls_loads_the_file_it_names_or_refuses(named, tmp_path):
    """A file beside a copy of the calls: that copy loads only when it is the file named."""
    calls = os.environ.get("OBJEVAL_CALLS")
    if not calls:
        pytest.skip("OBJEVAL_CALLS names no compiled calls")
    for name in ("_calls.abi3.so", "another.so"):
        (tmp_path / name).write_bytes(pathlib.Path(calls).read_bytes())
    run = subprocess.run([sys.executable, "-c", "import objeval; print(objeval._problem._calls.__file__)"],
                         env={**os.environ, "OBJEVAL_CALLS": str(tmp_path / named)}, capture_output=True, text=True)
    if named.startswith("_calls."):
        assert run.returncode == 0 and run.stdout.strip() == str(tmp_path / named), run.stderr
    else:
        assert run.returncode != 0 and f"OBJEVAL_CALLS names {tmp_path / named}" in run.stderr
