"""Builds libobjeval with CMake and ships it inside the objeval package, so
that `pip install .` gives a package that needs no compiler at import time."""
import os
import pathlib
import shutil
import subprocess

from setuptools import setup
from setuptools.command.build_py import build_py
from setuptools.dist import Distribution

ROOT = pathlib.Path(__file__).resolve().parent


class build_py_with_library(build_py):
    def run(self):
        super().run()
        build = ROOT / "build" / "python-library"
        subprocess.check_call(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                               "-DOBJEVAL_TEST=OFF", "-DOBJEVAL_BENCH=OFF", "-DOBJEVAL_BARE=OFF",
                               "-DOBJEVAL_PYTHON=OFF"])
        subprocess.check_call(["cmake", "--build", str(build), "--target", "objeval_c",
                               "--parallel", str(os.cpu_count() or 1)])
        built = build / "capi" / "libobjeval.so"
        target = pathlib.Path(self.build_lib) / "objeval" / "libobjeval.so"
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built.resolve(), target)


class BinaryDistribution(Distribution):
    """The package holds a compiled library: its wheel is for one platform."""

    def has_ext_modules(self):
        return True


setup(cmdclass={"build_py": build_py_with_library}, distclass=BinaryDistribution)
