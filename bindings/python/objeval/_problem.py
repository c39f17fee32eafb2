# SPDX-License-Identifier: MIT
"""A problem instance as a callable, over NumPy arrays or plain sequences."""
from __future__ import annotations

import array
import collections.abc
import ctypes
import numbers
from typing import TYPE_CHECKING, Any, Iterable, Union, overload

from ._float32 import float32_value, is_number

try:
    import numpy as _np
except ImportError:  # plain sequences still work
    _np = None


def _compiled_calls():
    """The calls at the C call's cost (_calls.c), where this Python has them:
    built into the package, or named by OBJEVAL_CALLS, as a build's tests
    name theirs; None, for the ctypes path, where not."""
    import os

    import sys

    override = os.environ.get("OBJEVAL_CALLS")
    if override:
        # The package is searched in that file's folder first, for this import only.
        package_path = sys.modules[__package__].__path__
        package_path.insert(0, os.path.dirname(os.path.abspath(override)))
        try:
            from . import _calls
        finally:
            del package_path[0]
        if not os.path.samefile(_calls.__file__, override):
            raise ImportError(f"OBJEVAL_CALLS names {override}, not a module named _calls")
        return _calls
    try:
        from . import _calls
    except ImportError:
        return None
    return _calls


_calls = _compiled_calls()

if TYPE_CHECKING:
    import numpy.typing as npt

    #: A batch: an array or nested iterable of shape (n, dimension).
    Points = Union["npt.ArrayLike", Iterable[Iterable[Any]]]
    #: What a batch call returns: float32 values (an array.array without NumPy).
    Values = Union["npt.NDArray[Any]", "array.array[float]"]

# The C interface lowers any count to the CPUs this process may use; a count
# past its unsigned int is as good as the largest.
_LARGEST_THREADS = 2**32 - 1
# Containers whose order is not the points': their values cannot be a point.
_UNORDERED = (collections.abc.Set, collections.abc.Mapping)


def _is_row(v):
    """Whether v is a row of values rather than one value."""
    return hasattr(v, "__iter__") and not isinstance(v, (str, bytes, bytearray)) and not is_number(v)


class PartlyEvaluated(Exception):
    """A call that evaluated only its first ``evaluated`` points; ``values``
    holds their values once the call that raised it has them."""

    def __init__(self, message, evaluated):
        super().__init__(message)
        self.evaluated = evaluated
        self.values = None


def _by_name(name):
    """Unpickles a problem: the one of that name in this process's objeval."""
    import objeval

    return objeval.problem(name)


class Problem:
    """One fixed problem instance: ``problem(x)`` evaluates it.

    ``x`` of shape ``(dimension,)`` gives a Python float; ``x`` of shape
    ``(n, dimension)`` gives a float32 NumPy array of n values (an
    ``array.array('f')`` without NumPy), evaluated as one batch in C++ on
    ``threads`` threads: 0 for one per CPU this process may use (its affinity
    mask and cgroup CPU quota), and any larger count is lowered to that
    number. The values do not depend on it.

    ``x`` is a NumPy array, or any iterable of numbers (a list, a tuple, a
    generator), or an iterable of such rows: the same rules with NumPy and
    without. Each value is evaluated at the float32 nearest to its exact
    value, rounded once, ties to even: a float or a NumPy float from its
    binary value; an int of any size, a ``Fraction`` or a ``Decimal`` from
    its exact value; a bool as 0 or 1. Beyond float32's range a value becomes
    infinite. NaN and infinite inputs
    are evaluated as the program evaluates them. A C-contiguous float32 array
    is passed without a copy. Results equal the program's ``output.txt`` bit
    for bit.

    Raises ``ValueError`` for a wrong shape (a ragged batch, a single number)
    and ``TypeError`` for values that are not real numbers (text, bytes,
    complex numbers); both messages name the expected shape. Raises
    ``TypeError`` for a ``threads`` that is not an integer, ``ValueError``
    for a negative one.

    Problems pickle by name, so they travel to worker processes.
    """

    name: str
    dimension: int
    description: str

    def __init__(self, library: ctypes.CDLL, index: int, name: str, dimension: int, description: str) -> None:
        self.name = name
        self.dimension = dimension
        self.description = description
        self._library = library
        self._index = index
        self._fast = (index, 0) if _calls is not None else None  # what _calls takes: a problem, or a run
        self.__doc__ = f"{name}: {description}\n\n{Problem.__doc__}"

    def _evaluate(self, points, count, values, threads):
        self._check(self._library.objeval_evaluate(self._index, points, count, values, threads))

    def _evaluate_layout(self, itemsize, points, count, point_stride, coordinate_stride, values, threads):
        call = self._library.objeval_evaluate_double if itemsize == 8 else self._library.objeval_evaluate_strided
        self._check(call(self._index, points, count, point_stride, coordinate_stride, values, threads))

    def _check(self, status):
        if status != 0:  # the arguments were checked here: a fault of this package
            raise RuntimeError(f"{self.name}: {self._library.objeval_status_message(status).decode()}")

    def _raise_status(self, status, evaluated):
        """What a call that returned `status`, having evaluated `evaluated` points, raises."""
        self._check(status)

    def __repr__(self) -> str:
        return f"objeval.{self.name} (dimension {self.dimension})"

    def __reduce__(self):
        return (_by_name, (self.name,))

    def _expected(self):
        d = self.dimension
        return f"{self.name}: expected real numbers of shape ({d},) or (n, {d})"

    def _shape_error(self, got):
        return ValueError(f"{self._expected()}, got {got}")

    def _type_error(self, got):
        return TypeError(f"{self._expected()}, got {got}")

    @overload
    def __call__(self, x: Iterable[float], threads: int = 1) -> float: ...

    @overload
    def __call__(self, x: Points, threads: int = 1) -> Values: ...

    def __call__(self, x: Any, threads: int = 1) -> float | Values:
        """The value at one point, or the values of a batch: see the class."""
        fast = self._fast
        if fast is not None and type(threads) is int and threads >= 0:
            # A point, or a batch of a NumPy array, straight to the library;
            # anything else (or an error to say) takes the path below.
            if _np is not None and type(x) is _np.ndarray and x.ndim == 2:
                values = _np.empty(x.shape[0], dtype=_np.float32)
                done = _calls.batch(fast[0], fast[1], self.dimension, x, values, threads)
                if done == 0:
                    return values
                if done is not None:
                    try:
                        self._raise_status(*done)
                    except PartlyEvaluated as partly:
                        partly.values = values[: partly.evaluated]
                        raise
            else:
                value = _calls.point(fast[0], fast[1], self.dimension, x)
                if type(value) is float:
                    return value
                if value is not None:  # a status: nothing was evaluated
                    self._raise_status(value, 0)
        if isinstance(threads, bool) or not isinstance(threads, numbers.Integral):
            raise TypeError(f"{self.name}: threads is a count of threads, got {type(threads).__name__}")
        if threads < 0:
            raise ValueError(f"{self.name}: threads is 0 (one per CPU) or more, got {threads}")
        if isinstance(x, memoryview):  # NumPy reads one of any shape; lists cannot
            x = _np.asarray(x) if _np is not None else x.tolist()
        if _np is not None and isinstance(x, (_np.ndarray, _np.generic)) and x.dtype != object:
            a = _np.asarray(x)
            direct = self._in_place(a, min(int(threads), _LARGEST_THREADS))
            if direct is not None:
                return direct
            points, count = self._from_array(a)
        else:
            points, count = self._from_values(x.tolist() if _np is not None and isinstance(x, _np.ndarray) else x)
        address = points.ctypes.data if _np is not None else points.buffer_info()[0]
        if _np is not None:
            values = _np.empty(1 if count is None else count, dtype=_np.float32)
            out = values.ctypes.data
        else:
            values = array.array("f", bytes(4 * (1 if count is None else count)))
            out = values.buffer_info()[0]
        try:
            if count is None:
                self._evaluate(address, 1, out, 1)
                return float(values[0])
            if count:
                self._evaluate(address, count, out, min(int(threads), _LARGEST_THREADS))
            return values
        except PartlyEvaluated as partly:
            partly.values = values[: partly.evaluated]
            raise

    def _in_place(self, a, threads):
        """The values of a float32 or float64 array read where it lies, through
        the library's strided calls, whatever its order; None where its layout
        is not one strides describe (unaligned, byte-swapped, a point's values
        in reverse), for the copy that then follows."""
        if a.dtype not in (_np.float32, _np.float64) or not a.dtype.isnative or not a.flags.aligned:
            return None
        self._check_shape(a.shape)
        item = a.itemsize
        one = a.ndim == 1
        points = a[None, :] if one else a
        if points.shape[0] > 1 and points.strides[0] < 0:  # points in reverse: read forward, values reversed
            values = self._in_place(a[::-1], threads)
            return None if values is None else values[::-1].copy()
        point_stride, coordinate_stride = (s // item for s in points.strides)
        if coordinate_stride < 0 or any(s % item for s in points.strides):
            return None
        count = points.shape[0]
        values = _np.empty(count, dtype=_np.float32)
        if count:
            try:
                self._evaluate_layout(item, points.ctypes.data, count, point_stride, coordinate_stride,
                                      values.ctypes.data, threads if not one else 1)
            except PartlyEvaluated as partly:
                partly.values = values[: partly.evaluated]
                raise
        return float(values[0]) if one else values

    def _from_array(self, a):
        """A NumPy array of numbers as float32 points; count None for one point."""
        if a.dtype.kind == "c":
            raise self._type_error(f"complex dtype {a.dtype}")
        if a.dtype.kind not in "biuf":
            raise self._type_error(f"dtype {a.dtype}")
        self._check_shape(a.shape)
        if a.dtype != _np.float32 or not a.flags.c_contiguous:
            with _np.errstate(over="ignore", invalid="ignore"):
                a = _np.ascontiguousarray(a, dtype=_np.float32)
        return a, (None if a.ndim == 1 else a.shape[0])

    def _check_shape(self, shape):
        d = self.dimension
        if len(shape) == 2 and shape[0] == d and shape[1] != d:
            raise self._shape_error(
                f"shape {shape}: points as columns, as SciPy's vectorized=True passes them? Pass x.T")
        if len(shape) not in (1, 2) or shape[-1] != d:
            raise self._shape_error(f"shape {shape}")

    def _rows(self, x):
        """The values of x as rows of d values each, and whether x is a batch."""
        d = self.dimension
        if isinstance(x, (str, bytes, bytearray)):
            raise self._type_error(type(x).__name__)
        if isinstance(x, _UNORDERED):
            raise self._type_error(f"a {type(x).__name__}, whose order is not a point's")
        if is_number(x):
            raise self._shape_error(f"a single {type(x).__name__}")
        try:
            items = list(x)
        except TypeError:
            raise self._type_error(type(x).__name__) from None
        if not items or not _is_row(items[0]):
            if len(items) != d:
                raise self._shape_error(f"({len(items)},)")
            return [items], False
        rows = []
        for n, row in enumerate(items):
            if isinstance(row, (str, bytes, bytearray)):
                raise self._type_error(f"{type(row).__name__} as row {n}")
            if isinstance(row, _UNORDERED):
                raise self._type_error(f"a {type(row).__name__} as row {n}, whose order is not a point's")
            try:
                row = list(row)
            except TypeError:
                raise self._shape_error(f"a ragged batch: row {n} is a single {type(row).__name__}") from None
            if len(row) != d:
                if n == 0 and len(items) == d:
                    self._check_shape((d, len(row)))
                raise self._shape_error(f"a ragged batch: row {n} has {len(row)} values")
            rows.append(row)
        return rows, True

    def _from_values(self, x):
        """Any iterable of numbers, or of rows of them, as float32 points."""
        if _np is not None:
            fast = self._from_doubles(x)
            if fast is not None:
                return fast
        rows, batch = self._rows(x)
        try:
            flat = array.array("f", [float32_value(v) for row in rows for v in row])
        except TypeError as error:
            raise self._type_error(str(error)) from None
        points = _np.frombuffer(flat, dtype=_np.float32) if _np is not None else flat
        return points, (len(rows) if batch else None)

    def _from_doubles(self, x):
        """Nested sequences that NumPy reads as doubles, at NumPy's speed; None
        for anything else. Python floats and ints below 2**53 are exact as
        doubles, so rounding the doubles to float32 rounds them once; a larger
        magnitude may have been an int rounded on the way, and is rounded again
        from the value it came from."""
        if not isinstance(x, (list, tuple)):
            return None
        try:
            doubles = _np.array(x)
        except (ValueError, TypeError, OverflowError):
            return None
        if doubles.dtype != _np.float64 or doubles.ndim not in (1, 2):
            return None
        self._check_shape(doubles.shape)
        with _np.errstate(over="ignore"):
            points = doubles.astype(_np.float32)
        del doubles
        flat = points.reshape(-1)
        step = 1 << 20
        for first in range(0, flat.size, step):
            part = flat[first : first + step]
            for k in _np.flatnonzero(_np.abs(part) >= 2.0**53):
                row, column = divmod(first + int(k), self.dimension)
                item = x[row][column] if points.ndim == 2 else x[column]
                if not isinstance(item, float):
                    flat[first + k] = float32_value(item)
        return points, (None if points.ndim == 1 else points.shape[0])
