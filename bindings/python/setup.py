# SPDX-License-Identifier: MIT
"""Builds libobjeval with CMake and ships it inside the objeval package, so
that `pip install .` gives a package that needs no compiler at import time.
The package is Python over ctypes: its wheel fits every Python 3 on one
platform (py3-none-<platform>)."""
import os
import pathlib
import shutil
import subprocess
import tempfile

from setuptools import setup
from setuptools.command.build_py import build_py
from setuptools.dist import Distribution

try:
    from setuptools.command.bdist_wheel import bdist_wheel
except ImportError:  # setuptools before 70.1 takes it from the wheel package
    try:
        from wheel.bdist_wheel import bdist_wheel
    except ImportError:  # no wheel to build: setuptools says so itself
        bdist_wheel = None

ROOT = pathlib.Path(__file__).resolve().parents[2]  # the repository: the library's source, VERSION
VERSION = (ROOT / "VERSION").read_text().strip()


class build_py_with_library(build_py):
    def run(self):
        super().run()
        # Out of the source tree: a build/ there may belong to another checkout.
        with tempfile.TemporaryDirectory(prefix="objeval-library-") as build:
            subprocess.check_call(["cmake", "-S", str(ROOT), "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                                   "-DOBJEVAL_TEST=OFF", "-DOBJEVAL_BENCH=OFF", "-DOBJEVAL_BARE=OFF"] +
                                  [f"-DOBJEVAL_{part}=OFF" for part in ("OCTAVE", "R", "JAVA", "FORTRAN", "PYTHON")])
            subprocess.check_call(["cmake", "--build", build, "--target", "objeval_c",
                                   "--parallel", str(os.cpu_count() or 1)])
            target = pathlib.Path(self.build_lib) / "objeval"
            target.mkdir(parents=True, exist_ok=True)
            shutil.copyfile((pathlib.Path(build) / "capi" / "libobjeval.so").resolve(), target / "libobjeval.so")
            shutil.copyfile(ROOT / "VERSION", target / "VERSION")


class BinaryDistribution(Distribution):
    """The package holds a compiled library: its wheel is for one platform."""

    def has_ext_modules(self):
        return True


commands = {"build_py": build_py_with_library}
if bdist_wheel is not None:
    class bdist_wheel_for_platform(bdist_wheel):
        """Any Python 3, no Python ABI, one platform: the library's."""

        def get_tag(self):
            return ("py3", "none", super().get_tag()[2])

    commands["bdist_wheel"] = bdist_wheel_for_platform

setup(version=VERSION, cmdclass=commands, distclass=BinaryDistribution)
