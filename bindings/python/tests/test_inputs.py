# SPDX-License-Identifier: MIT
"""One input contract, with NumPy and without: each case behaves the same in
both, and each value is the float32 nearest to its exact value, rounded
once."""
import _ctypes
import ctypes
import math
import os
import pathlib
import struct
import subprocess
import sys
import time
import warnings
from decimal import Decimal
from fractions import Fraction

import numpy as np
import pytest

import objeval
from objeval import _problem

Q = objeval.quadobj
ZEROS = [0] * (Q.dimension - 1)


@pytest.fixture(params=["numpy", "plain"])
def mode(request, monkeypatch):
    if request.param == "plain":
        monkeypatch.setattr(_problem, "_np", None)
    return request.param


def float32_from_bits(bits):
    return struct.unpack("<f", struct.pack("<I", bits))[0]


def same(a, b):
    return struct.pack("<f", a) == struct.pack("<f", b)


def test_exact_numbers_are_rounded_once(mode):
    # Through a double, 2**60 + 2**36 + 1 would round to 2**60 + 2**36, a tie
    # that float32 then breaks to even, 2**60: one ulp away from the value.
    big = 2**60 + 2**36 + 1
    assert same(Q([big] + ZEROS), Q([float32_from_bits(0x5D800001)] + ZEROS))
    assert same(Q([Fraction(1, 3)] + ZEROS), Q([float32_from_bits(0x3EAAAAAB)] + ZEROS))
    assert same(Q([Decimal("0.1")] + ZEROS), Q([float32_from_bits(0x3DCCCCCD)] + ZEROS))
    assert same(Q([Fraction(-3, 2**150)] + ZEROS), Q([float32_from_bits(0x80000002)] + ZEROS))  # a subnormal tie, to even
    assert same(Q([Decimal("-0")] + ZEROS), Q([-0.0] + ZEROS))
    assert same(Q([True] + ZEROS), Q([1.0] + ZEROS))
    for huge in (10**40, 10**400, Fraction(10**400, 3)):
        assert Q([huge] * Q.dimension) == Q([float("inf")] * Q.dimension)


def test_any_iterable_is_a_point_or_a_batch(mode):
    point = [0.5] + ZEROS
    assert Q(v for v in point) == Q(point) == Q(tuple(point))
    batch = Q(iter([point, tuple(point)]))
    assert len(batch) == 2 and batch[0] == batch[1] == np.float32(Q(point))


def test_what_is_not_a_point_is_refused_alike(mode):
    d = Q.dimension
    for text in (bytes(d), bytearray(d), "0" * d, ["0"] * d, [b"0"] * d, [1j] * d, [None] * d, [[0] * d, "0" * d]):
        with pytest.raises(TypeError, match=rf"\({d},\) or \(n, {d}\)"):
            Q(text)
    for shape in ([0.0] * (d + 1), [[0.0] * d, [0.0] * (d - 1)], [[0.0] * d, 1.0], 1.5, []):
        with pytest.raises(ValueError, match=rf"\({d},\) or \(n, {d}\)"):
            Q(shape)


def test_unordered_containers_are_refused_and_memoryviews_are_read(mode):
    # A dict gave its keys as a point, in whatever order they came.
    d = Q.dimension
    for unordered in ({k: 0.0 for k in range(d)}, set(range(d)), frozenset(range(d)), [set(range(d))]):
        with pytest.raises(TypeError, match="order"):
            Q(unordered)
    # A 2-D memoryview raised NotImplementedError.
    points = np.arange(3.0 * d).reshape(3, d) / d
    assert np.array_equal(Q(memoryview(points)), Q(points))
    assert Q(memoryview(points[0])) == Q(points[0])


def test_any_problem_is_evaluated_by_name():
    assert objeval.evaluate("quadobj", [1.0] + ZEROS) == Q([1.0] + ZEROS)
    assert objeval.problem("doorcost") is objeval.doorcost
    with pytest.raises(ValueError, match="no such problem 'QUADOBJ'; the problems are doorcost, quadobj"):
        objeval.evaluate("QUADOBJ", [1.0] + ZEROS)


def test_threads_is_any_count_and_past_the_cpus_is_lowered_to_them(mode):
    point = [[0.0] * Q.dimension]
    for count in (0, 1, np.int64(2), np.uint8(3), 100_000, 2**32 + 2, 2**80):
        assert Q(point, threads=count)[0] == 0.0
    for wrong in (1.5, "2", True, None):
        with pytest.raises(TypeError):
            Q(point, threads=wrong)
    with pytest.raises(ValueError):
        Q(point, threads=-1)


def test_a_missing_library_named_outright_is_an_import_error(tmp_path):
    missing = tmp_path / "libobjeval.so"
    run = subprocess.run([sys.executable, "-c", "import objeval"], capture_output=True, text=True,
                         env={**os.environ, "OBJEVAL_LIBRARY": str(missing)})
    assert run.returncode != 0
    assert "ImportError" in run.stderr and str(missing) in run.stderr


def test_every_number_is_rounded_once_from_its_exact_value(mode):
    # 1 + 2**-24 + 2**-60 is above the midpoint 1 + 2**-24: through a double
    # it would fall on the midpoint, and the tie would go to even, 1.
    wide = np.longdouble(1) + np.longdouble(2.0**-24) + np.longdouble(2.0**-60)
    up = Q([float32_from_bits(0x3F800001)] + ZEROS)
    assert same(Q([wide] + ZEROS), up)
    assert same(Q(np.array([wide] + ZEROS, dtype=object)), up)
    assert same(Q([-np.longdouble(0)] + ZEROS), Q([-0.0] + ZEROS))
    # A Decimal of many digits, a hair above the midpoint, is not a tie.
    midpoint = "1.000000059604644775390625"
    assert same(Q([Decimal(midpoint + "0" * 150 + "1")] + ZEROS), up)
    assert same(Q([Decimal(midpoint + "0" * 150)] + ZEROS), Q([1.0] + ZEROS))
    # Python ints past 2**53 among floats, which NumPy would round to doubles first.
    big = 2**60 + 2**36 + 1
    assert same(Q([0.5, big] + ZEROS[1:]), Q([0.5, float32_from_bits(0x5D800001)] + ZEROS[1:]))
    assert same(Q([np.bool_(True)] + ZEROS), Q([1.0] + ZEROS))


def test_numbers_far_outside_float32_take_no_time(mode):
    for huge, value in ((Decimal("1e-999999999"), 0.0), (Decimal("-1e-999999999"), -0.0),
                        (Decimal("1e999999999"), math.inf), (Fraction(1, 10**200000), 0.0),
                        (-(10**200000), -math.inf)):
        began = time.perf_counter()
        got = Q([huge] + ZEROS)
        assert time.perf_counter() - began < 0.5, huge
        assert same(got, Q([value] + ZEROS))


def test_values_beyond_float32_are_infinite_without_a_warning(mode):
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        for point in ([1e39] + [0.0] * 49, [np.float64(-1e39)] + ZEROS, [[1e39, 2**70] + [0.5] * 48],
                      np.array([1e300] + ZEROS)):
            assert not math.isfinite(Q(point) if len(point) == 50 else Q(point)[0])


def test_points_as_columns_are_refused_with_the_transpose_named(mode):
    d = Q.dimension
    for columns in (np.zeros((d, 7)), np.zeros((d, 7)).tolist()):
        with pytest.raises(ValueError, match=r"x\.T"):
            Q(columns)


def test_scipy_vectorized_mode_with_the_transpose_reports_its_own_value():
    optimize = pytest.importorskip("scipy.optimize")
    # popsize=1 gives 50 points of 50 values: the shape alone cannot tell.
    result = optimize.differential_evolution(lambda x: Q(x.T), [(-1, 1)] * Q.dimension, vectorized=True,
                                             updating="deferred", popsize=1, maxiter=5, polish=False, seed=1)
    assert same(result.fun, Q(result.x))


def test_a_file_that_is_not_the_library_is_an_import_error_naming_it(tmp_path):
    for wrong, reason in ((tmp_path / "libobjeval.so", "invalid ELF header"),
                          (pathlib.Path(_ctypes.__file__), "undefined symbol: objeval_")):
        if wrong.name == "libobjeval.so":
            wrong.write_text("not a library, though named like one\n" * 100)
        run = subprocess.run([sys.executable, "-c", "import objeval"], capture_output=True, text=True,
                             env={**os.environ, "OBJEVAL_LIBRARY": str(wrong)})
        last = run.stderr.strip().splitlines()[-1]
        assert last.startswith("ImportError") and str(wrong) in last and reason in last, run.stderr


def test_a_list_of_lists_converts_near_numpys_own_speed():
    rows = np.random.default_rng(7).uniform(-1, 1, size=(100_000, Q.dimension)).tolist()

    def fastest(convert):
        times = []
        for _ in range(3):
            began = time.perf_counter()
            convert(rows)
            times.append(time.perf_counter() - began)
        return min(times)

    assert fastest(lambda r: Q._from_values(r)) < 3 * fastest(np.asarray)


def test_a_double_is_rounded_from_its_binary_value_not_its_shortest_text(mode):
    # 1 + 2**-24 is a float32 midpoint, which goes to even; its shortest text
    # lies just above it, and the programs read that text as 1 + 2**-23.
    tie = 1 + 2**-24
    assert repr(tie) == "1.0000000596046448"
    assert same(Q([tie] + ZEROS), Q([1.0] + ZEROS))
    assert same(Q([Decimal(repr(tie))] + ZEROS), Q([float32_from_bits(0x3F800001)] + ZEROS))


def test_a_library_of_another_version_is_an_import_error_naming_both():
    from objeval import _library

    with pytest.raises(ImportError, match=rf"is libobjeval {objeval.__version__}; this package is 9\.9\.9"):
        _library.load_library("9.9.9")


def test_the_checked_entry_point_refuses_bad_calls_from_ctypes():
    library = objeval._shared_library
    out = (ctypes.c_float * 1)(-1.0)
    point = (ctypes.c_float * 240)()
    for index, points, count, values, status in ((0, point, 2**64 - 1, out, 2), (0, point, 2**62, out, 2),
                                                 (0, None, 1, out, 1), (1, point, 1, None, 1), (7, point, 1, out, 3)):
        assert library.objeval_evaluate(index, points, count, values, 1) == status
        assert library.objeval_status_message(status)
    assert out[0] == -1.0


@pytest.mark.parametrize("layout", ["C order", "Fortran order", "points reversed", "a column slice",
                                    "every other value", "float32, Fortran order", "values reversed"])
def test_every_layout_is_read_where_it_lies_with_the_float_bits(layout):
    for problem in (objeval.quadobj, objeval.doorcost):
        d = problem.dimension
        x = np.random.default_rng(7).uniform(-1, 1, (1000, d))
        expected = problem(x.astype(np.float32))
        a = {"C order": x, "Fortran order": np.asfortranarray(x), "points reversed": x[::-1],
             "a column slice": np.hstack([x, x])[:, :d], "every other value": np.repeat(x, 2, axis=1)[:, ::2],
             "float32, Fortran order": np.asfortranarray(x.astype(np.float32)),
             "values reversed": np.ascontiguousarray(x[:, ::-1])[:, ::-1]}[layout]
        got = problem(a, threads=2)
        want = expected[::-1] if layout == "points reversed" else expected
        assert got.view(np.uint32).tolist() == want.view(np.uint32).tolist(), layout


def test_a_float64_batch_allocates_nothing_the_size_of_its_input():
    import tracemalloc

    x = np.asfortranarray(np.random.default_rng(8).uniform(-1, 1, (65536, 50)))  # columns 512 KiB apart
    expected = Q(np.ascontiguousarray(x, dtype=np.float32))
    tracemalloc.start()
    try:
        got = Q(x)
        peak = tracemalloc.get_traced_memory()[1]
    finally:
        tracemalloc.stop()
    assert peak < x.nbytes / 10
    assert got.view(np.uint32).tolist() == expected.view(np.uint32).tolist()
