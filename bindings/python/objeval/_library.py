# SPDX-License-Identifier: MIT
"""Finds and loads libobjeval, the C interface, with ctypes, and reads its
table of problems."""
from __future__ import annotations

import ctypes
import os
import pathlib
from typing import Iterator

_HERE = pathlib.Path(__file__).resolve().parent


def package_version() -> str:
    """The version written once, in VERSION: a copy beside the installed
    package, or the repository's own, two folders above bindings/python."""
    for path in (_HERE / "VERSION", _HERE.parents[2] / "VERSION"):
        if path.is_file():
            return path.read_text().strip()
    raise ImportError(f"objeval: no VERSION file in {_HERE} or {_HERE.parents[2]}")


def _candidates() -> Iterator[pathlib.Path]:
    # Shipped inside the package by pip and by cmake --install.
    yield from sorted(_HERE.glob("libobjeval.so*"))
    yield from sorted(_HERE.glob("libobjeval*.dylib"))


def _find() -> pathlib.Path:
    override = os.environ.get("OBJEVAL_LIBRARY")
    if override:
        # Named outright: that one or none, never the packaged one in silence.
        if not pathlib.Path(override).is_file():
            raise ImportError(f"objeval: OBJEVAL_LIBRARY names {override}, which is not a file")
        return pathlib.Path(override)
    for path in _candidates():
        if path.exists():
            return path
    raise ImportError(f"objeval: libobjeval not found in {_HERE}; set OBJEVAL_LIBRARY to its path")


class _ProblemInfo(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("dimension", ctypes.c_size_t), ("description", ctypes.c_char_p)]


def load_library(version: str) -> ctypes.CDLL:
    """libobjeval of this `version`, its functions typed; ImportError naming
    the file and the reason if it cannot be that."""
    path = _find()
    try:
        library = ctypes.CDLL(str(path))  # CDLL calls release the GIL
        library.objeval_version.argtypes, library.objeval_version.restype = [], ctypes.c_char_p
        library.objeval_problem_count.argtypes, library.objeval_problem_count.restype = [], ctypes.c_size_t
        library.objeval_problem_at.argtypes = [ctypes.c_size_t]
        library.objeval_problem_at.restype = ctypes.POINTER(_ProblemInfo)
        library.objeval_evaluate.argtypes = [ctypes.c_size_t, ctypes.c_void_p, ctypes.c_size_t, ctypes.c_void_p,
                                             ctypes.c_uint]
        library.objeval_evaluate.restype = ctypes.c_int
        for strided in (library.objeval_evaluate_strided, library.objeval_evaluate_double):
            strided.argtypes = [ctypes.c_size_t, ctypes.c_void_p, ctypes.c_size_t, ctypes.c_size_t, ctypes.c_size_t,
                                ctypes.c_void_p, ctypes.c_uint]
            strided.restype = ctypes.c_int
        library.objeval_status_message.argtypes, library.objeval_status_message.restype = [ctypes.c_int], ctypes.c_char_p
        _type_studies(library)
    except (OSError, AttributeError) as error:
        raise ImportError(f"objeval: {path} cannot be loaded as libobjeval: {error}") from None
    found = library.objeval_version().decode()
    if found != version:
        raise ImportError(f"objeval: {path} is libobjeval {found}; this package is {version}")
    return library


def _type_studies(library):
    """The study calls' types (<objeval/objeval.h>)."""
    pointer, size, count = ctypes.c_void_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_size_t)
    calls = {
        "objeval_study_open": [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_uint,
                               ctypes.POINTER(ctypes.c_void_p)],
        "objeval_run_start": [pointer, size, ctypes.c_ulonglong, ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p)],
        "objeval_run_evaluate": [pointer, pointer, size, pointer, ctypes.c_uint, count],
        "objeval_run_evaluate_strided": [pointer, pointer, size, size, size, pointer, ctypes.c_uint, count],
        "objeval_run_evaluate_double": [pointer, pointer, size, size, size, pointer, ctypes.c_uint, count],
        "objeval_run_end": [pointer],
        "objeval_run_fail": [pointer, ctypes.c_char_p],
        "objeval_run_discard": [pointer],
        "objeval_study_check": [ctypes.c_char_p, pointer, pointer, count],
    }
    for name, arguments in calls.items():
        getattr(library, name).argtypes, getattr(library, name).restype = arguments, ctypes.c_int
    library.objeval_study_close.argtypes, library.objeval_study_close.restype = [pointer], None
    library.objeval_run_evaluations.argtypes, library.objeval_run_evaluations.restype = [pointer], ctypes.c_ulonglong
    library.objeval_run_best.argtypes, library.objeval_run_best.restype = [pointer, pointer], ctypes.c_float
    library.objeval_last_error.argtypes, library.objeval_last_error.restype = [], ctypes.c_char_p


def bind_fast_calls(library: ctypes.CDLL) -> None:
    """Hands the compiled calls, where this Python has them, the library's functions."""
    from . import _problem

    if _problem._calls is not None:
        address = lambda f: ctypes.cast(f, ctypes.c_void_p).value  # noqa: E731
        _problem._calls.bind(address(library.objeval_evaluate_double), address(library.objeval_evaluate_strided),
                             address(library.objeval_run_evaluate_double), address(library.objeval_run_evaluate_strided))


def problem_table(library: ctypes.CDLL) -> Iterator[tuple[int, str, int, str]]:
    """(index, name, dimension, description) of each problem the library has."""
    for index in range(library.objeval_problem_count()):
        info = library.objeval_problem_at(index).contents
        yield index, info.name.decode(), info.dimension, info.description.decode()
