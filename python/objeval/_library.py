"""Finds and loads libobjeval, the C interface, with ctypes."""
import ctypes
import os
import pathlib

_HERE = pathlib.Path(__file__).resolve().parent


def _candidates():
    # Shipped inside the package by pip and by cmake --install.
    yield from sorted(_HERE.glob("libobjeval.so*"))
    yield from sorted(_HERE.glob("libobjeval*.dylib"))


def _find():
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


def load_library():
    path = _find()
    try:
        library = ctypes.CDLL(str(path))  # CDLL calls release the GIL
        point = ctypes.c_void_p
        for name in ("objeval_doorcost", "objeval_quadobj"):
            single = getattr(library, name)
            single.argtypes, single.restype = [point], ctypes.c_float
            batch = getattr(library, name + "_batch_threads")
            batch.argtypes, batch.restype = [point, ctypes.c_size_t, point, ctypes.c_uint], None
    except (OSError, AttributeError) as error:
        raise ImportError(f"objeval: {path} cannot be loaded as libobjeval: {error}") from None
    return library
