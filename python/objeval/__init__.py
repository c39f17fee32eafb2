"""Exact evaluators of two fixed optimisation instances, bit for bit the
values of the programs ``doorcost`` and ``quadobj``.

    >>> import objeval
    >>> objeval.quadobj([1.0] + [0.0] * 49)
    21.315977096557617
    >>> objeval.doorcost(points)          # points of shape (n, 240)
    array([...], dtype=float32)

Each problem is a callable: one point of shape ``(dimension,)`` gives a
Python float, a batch of shape ``(n, dimension)`` gives a float32 array of n
values, evaluated in C++ with the GIL released. NumPy is used when it is
installed; plain sequences work without it.
"""
from ._problem import Problem
from ._library import load_library

__version__ = "0.1.0"
__all__ = ["Problem", "doorcost", "quadobj", "__version__"]

_library = load_library()

doorcost = Problem(
    name="doorcost",
    dimension=240,
    description=(
        "Cost of a door assignment at a freight transfer terminal. Slots 0..119: "
        "inbound truck i (0..14) at inbound door k (0..7) is slot i*8+k; slots 120..239: "
        "outbound truck j (0..14) at outbound door l (0..7) is slot 120+j*8+l. The cost is "
        "the sum of flow(i, j) * (8 + |k - l|) * x[i][k] * y[j][l], summed in float."
    ),
    single=_library.objeval_doorcost,
    batch=_library.objeval_doorcost_batch_threads,
)

quadobj = Problem(
    name="quadobj",
    dimension=50,
    description=(
        "A fixed quadratic function of 50 variables: slot i is x[i]. f(x) is the sum over "
        "i != j of Q[i][j]*x[i]*x[j] plus the sum of c[i]*x[i], computed in double and "
        "rounded to float."
    ),
    single=_library.objeval_quadobj,
    batch=_library.objeval_quadobj_batch_threads,
)
