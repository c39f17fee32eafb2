#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Evaluates the shipped example points through the C interface library with
ctypes, one at a time and as one batch, and checks every value against what
the programs write to output.txt for the same point.

  evaluate_examples.py LIBRARY EXAMPLES_DIR DOORCOST QUADOBJ

LIBRARY is the shared library (libobjeval.so); EXAMPLES_DIR holds doorcost/
and quadobj/ with one point per file. Only Python's standard library is used.
"""
import ctypes
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile


def load(library_path):
    lib = ctypes.CDLL(str(library_path))
    point = ctypes.POINTER(ctypes.c_float)
    for name in ("objeval_doorcost", "objeval_quadobj"):
        single = getattr(lib, name)
        single.argtypes, single.restype = [point], ctypes.c_float
        batch = getattr(lib, name + "_batch")
        batch.argtypes, batch.restype = [point, ctypes.c_size_t, point], None
    return lib


def read_point(path, count):
    # The examples hold short decimals that double and float both hold exactly.
    values = [float(token) for token in path.read_text().split()[:count]]
    return values + [0.0] * (count - len(values))


def write_in_place(path, data):
    """Writes data over the file without truncating it first, then cuts it to
    length if it was longer: truncating a file with open(path, "w") makes the
    file system flush it to disk at close, a large share of a run's cost."""
    fd = os.open(path, os.O_WRONLY | os.O_CREAT, 0o666)
    try:
        view = memoryview(data)
        while view:
            view = view[os.write(fd, view):]
        if os.fstat(fd).st_size > len(data):
            os.ftruncate(fd, len(data))
    finally:
        os.close(fd)


def program_output(program, example, work):
    """Runs the program once in work, the way an optimiser's loop does."""
    write_in_place(work / "input.txt", example.read_bytes())
    run = subprocess.run([str(program)], cwd=work, capture_output=True, check=False)
    if run.returncode != 0:
        raise RuntimeError(f"{program} {example.name}: exit {run.returncode}: {run.stdout!r}")
    return (work / "output.txt").read_text()


def check(lib, name, count, program, examples):
    single = getattr(lib, f"objeval_{name}")
    batch = getattr(lib, f"objeval_{name}_batch")
    points = [read_point(example, count) for example in examples]
    flat = (ctypes.c_float * (count * len(points)))(*[v for p in points for v in p])
    batched = (ctypes.c_float * len(points))()
    batch(flat, len(points), batched)
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        for n, (example, values) in enumerate(zip(examples, points)):
            failures += not report(name, example, single((ctypes.c_float * count)(*values)),
                                   batched[n], program_output(program, example, pathlib.Path(work)))
    return failures


def report(name, example, value, batched, expected):
    text = "%f" % value
    same = text == expected and ("%f" % batched) == text
    print(f"{name} {example.name}: {text} (program {expected}) {'ok' if same else 'MISMATCH'}")
    return same


def main(argv):
    if len(argv) != 5:
        print(__doc__)
        return 2
    lib = load(pathlib.Path(argv[1]).resolve())
    examples = pathlib.Path(argv[2])
    # The programs run in a temporary directory: a path relative to here would not hold there.
    programs = [pathlib.Path(shutil.which(p) or p).resolve() for p in argv[3:5]]
    failures = 0
    for name, count, program in (("doorcost", 240, programs[0]), ("quadobj", 50, programs[1])):
        files = sorted((examples / name).glob("*.txt"))
        if not files:
            print(f"no examples in {examples / name}")
            return 1
        failures += check(lib, name, count, program, files)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
