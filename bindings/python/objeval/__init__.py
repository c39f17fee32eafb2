# SPDX-License-Identifier: MIT
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
from ._library import load_library, package_version, problem_table
from ._problem import Problem

__version__ = package_version()

_shared_library = load_library(__version__)
problems = {name: Problem(_shared_library, index, name, dimension, description)
            for index, name, dimension, description in problem_table(_shared_library)}
doorcost = problems["doorcost"]
quadobj = problems["quadobj"]

__all__ = ["Problem", "problems", "doorcost", "quadobj", "__version__"]
