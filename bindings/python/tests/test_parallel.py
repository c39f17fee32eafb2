# SPDX-License-Identifier: MIT
"""Problems travel to worker processes, by name, and give there the bits of
the one-point call here: process pools under every start method, executors,
and SciPy's parallel differential evolution."""
import concurrent.futures
import copy
import multiprocessing
import pickle

import numpy as np
import pytest

import objeval

POINTS = list(np.random.default_rng(17).uniform(-2, 2, size=(24, objeval.quadobj.dimension)).astype(np.float32))


def bits(values):
    return np.asarray(values, dtype=np.float32).view(np.uint32).tolist()


@pytest.mark.parametrize("problem", list(objeval.problems.values()), ids=lambda p: p.name)
def test_a_problem_pickles_by_name_and_comes_back_the_same(problem):
    assert pickle.loads(pickle.dumps(problem)) is problem
    assert copy.deepcopy(problem) is problem and copy.copy(problem) is problem
    assert len(pickle.dumps(problem)) < 100  # a name, not a library


@pytest.mark.parametrize("method", ["fork", "spawn", "forkserver"])
def test_process_pools_give_the_bits_of_the_one_point_call(method):
    expected = [objeval.quadobj(p) for p in POINTS]
    with multiprocessing.get_context(method).Pool(2) as pool:
        assert bits(pool.map(objeval.quadobj, POINTS)) == bits(expected)
        # A batch in a worker, evaluated there on the kept threads.
        assert bits(pool.apply(objeval.quadobj, (np.stack(POINTS),), {"threads": 0})) == bits(expected)


def test_an_executor_gives_the_bits_of_the_one_point_call():
    expected = [objeval.quadobj(p) for p in POINTS]
    with concurrent.futures.ProcessPoolExecutor(2) as executor:
        assert bits(list(executor.map(objeval.quadobj, POINTS, chunksize=5))) == bits(expected)


def test_differential_evolution_on_two_workers_finds_what_one_finds():
    optimize = pytest.importorskip("scipy.optimize")
    bounds = [(-1.0, 1.0)] * objeval.quadobj.dimension
    runs = [optimize.differential_evolution(objeval.quadobj, bounds, maxiter=4, popsize=5, seed=3, polish=False,
                                            updating="deferred", workers=workers) for workers in (1, 2)]
    assert bits([runs[0].fun]) == bits([runs[1].fun]) == bits([objeval.quadobj(runs[1].x)])
    assert (runs[0].x == runs[1].x).all()
