"""One input contract, with NumPy and without: each case behaves the same in
both, and each value is the float32 nearest to it, rounded once, as the
programs read its decimal text."""
import os
import struct
import subprocess
import sys
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


def test_threads_is_a_count_in_range(mode):
    point = [[0.0] * Q.dimension]
    for count in (0, 1, np.int64(2), np.uint8(3), _problem.MAX_THREADS):
        assert Q(point, threads=count)[0] == 0.0
    for wrong in (1.5, "2", True, None):
        with pytest.raises(TypeError):
            Q(point, threads=wrong)
    for wrong in (-1, 2**32 + 2, _problem.MAX_THREADS + 1):
        with pytest.raises(ValueError):
            Q(point, threads=wrong)


def test_a_missing_library_named_outright_is_an_import_error(tmp_path):
    missing = tmp_path / "libobjeval.so"
    run = subprocess.run([sys.executable, "-c", "import objeval"], capture_output=True, text=True,
                         env={**os.environ, "OBJEVAL_LIBRARY": str(missing)})
    assert run.returncode != 0
    assert "ImportError" in run.stderr and str(missing) in run.stderr
