"""Finds and loads libobjeval, the C interface, with ctypes."""
import ctypes
import os
import pathlib

_HERE = pathlib.Path(__file__).resolve().parent


def _candidates():
    override = os.environ.get("OBJEVAL_LIBRARY")
    if override:
        yield pathlib.Path(override)
    # Shipped inside the package by pip and by cmake --install.
    yield from sorted(_HERE.glob("libobjeval.so*"))
    yield from sorted(_HERE.glob("libobjeval*.dylib"))


def load_library():
    tried = []
    for path in _candidates():
        tried.append(str(path))
        if path.exists():
            library = ctypes.CDLL(str(path))  # CDLL calls release the GIL
            break
    else:
        raise ImportError("objeval: libobjeval not found; looked for " + (", ".join(tried) or f"it in {_HERE}"))
    point = ctypes.c_void_p
    for name in ("objeval_doorcost", "objeval_quadobj"):
        single = getattr(library, name)
        single.argtypes, single.restype = [point], ctypes.c_float
        batch = getattr(library, name + "_batch_threads")
        batch.argtypes, batch.restype = [point, ctypes.c_size_t, point, ctypes.c_uint], None
    return library
