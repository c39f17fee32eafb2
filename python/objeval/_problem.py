"""A problem instance as a callable, over NumPy arrays or plain sequences."""
import array
import numbers

try:
    import numpy as _np
except ImportError:  # plain sequences still work
    _np = None


class Problem:
    """One fixed problem instance: ``problem(x)`` evaluates it.

    ``x`` of shape ``(dimension,)`` gives a Python float; ``x`` of shape
    ``(n, dimension)`` gives a float32 NumPy array of n values (an
    ``array.array('f')`` without NumPy), evaluated as one batch in C++ on
    ``threads`` threads (0: one per core); the values do not depend on it.

    Values are read as float32. A C-contiguous float32 array is passed
    without a copy; anything else is converted to float32 once, each value
    rounded to the nearest float32 (ties to even), values beyond its range
    becoming infinite. NaN and infinite inputs are evaluated as the program
    evaluates them. Results equal the program's ``output.txt`` bit for bit.

    Raises ``ValueError`` for a wrong shape and ``TypeError`` for input that
    is not numeric; both messages name the expected shape.
    """

    def __init__(self, name, dimension, description, single, batch):
        self.name = name
        self.dimension = dimension
        self.description = description
        self._single = single
        self._batch = batch
        self.__doc__ = f"{name}: {description}\n\n{Problem.__doc__}"

    def __repr__(self):
        return f"objeval.{self.name} (dimension {self.dimension})"

    def _shape_error(self, got):
        d = self.dimension
        return ValueError(f"{self.name}: expected shape ({d},) or (n, {d}), got {got}")

    def __call__(self, x, threads=1):
        if not isinstance(threads, int) or threads < 0:
            raise ValueError(f"{self.name}: threads is a count of threads, 0 for one per core")
        if _np is not None:
            return self._call_numpy(x, threads)
        return self._call_sequence(x, threads)

    def _call_numpy(self, x, threads):
        np = _np
        a = x if isinstance(x, np.ndarray) else np.asarray(x)
        if a.dtype == object or not (np.issubdtype(a.dtype, np.number) or a.dtype == np.bool_):
            raise TypeError(f"{self.name}: expected numbers of shape ({self.dimension},) or "
                            f"(n, {self.dimension}), got dtype {a.dtype}")
        if a.ndim not in (1, 2) or a.shape[-1] != self.dimension:
            raise self._shape_error(a.shape)
        if np.iscomplexobj(a):
            raise TypeError(f"{self.name}: expected real numbers of shape ({self.dimension},) or "
                            f"(n, {self.dimension}), got dtype {a.dtype}")
        if a.dtype != np.float32 or not a.flags.c_contiguous:
            with np.errstate(over="ignore", invalid="ignore"):
                a = np.ascontiguousarray(a, dtype=np.float32)
        if a.ndim == 1:
            return float(self._single(a.ctypes.data))
        values = np.empty(a.shape[0], dtype=np.float32)
        if a.shape[0] > 0:
            self._batch(a.ctypes.data, a.shape[0], values.ctypes.data, threads)
        return values

    def _call_sequence(self, x, threads):
        d = self.dimension
        try:
            rows = list(x)
        except TypeError:
            raise TypeError(f"{self.name}: expected a sequence of shape ({d},) or (n, {d})") from None
        batch = bool(rows) and hasattr(rows[0], "__len__") and not isinstance(rows[0], (str, bytes))
        if not batch:
            rows = [rows]
        flat = array.array("f")
        for row in rows:
            row = list(row) if batch else row
            if len(row) != d:
                raise self._shape_error((len(rows), len(row)) if batch else (len(row),))
            if not all(isinstance(v, numbers.Real) for v in row):
                raise TypeError(f"{self.name}: expected numbers of shape ({d},) or (n, {d})")
            flat.extend(float(v) for v in row)
        address = flat.buffer_info()[0]
        if not batch:
            return float(self._single(address))
        values = array.array("f", bytes(4 * len(rows)))
        if rows:
            self._batch(address, len(rows), values.buffer_info()[0], threads)
        return values
