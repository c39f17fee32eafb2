# SPDX-License-Identifier: MIT
"""Builds libobjeval with CMake and ships it inside the objeval package, so
that `pip install .` gives a package that needs no compiler at import time.
The package is Python over ctypes, and where CPython 3.11 or later builds it,
over its compiled calls too (objeval/_calls.c, on the limited API): the
wheel then fits CPython 3.11 and later on one platform (cp311-abi3-<platform>),
else every Python 3 (py3-none-<platform>)."""
import os
import pathlib
import platform
import shutil
import subprocess
import sys
import sysconfig
import tempfile

from setuptools import Extension, setup
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


# The compiled calls, where this Python can take them: CPython 3.11 or later,
# not free-threaded (the limited API does not serve it). Optional: where
# they cannot be compiled, the package calls through ctypes alone.
calls = []
if platform.python_implementation() == "CPython" and sys.version_info >= (3, 11) and \
        not sysconfig.get_config_var("Py_GIL_DISABLED"):
    calls = [Extension("objeval._calls", ["objeval/_calls.c"], py_limited_api=True, optional=True)]

commands = {"build_py": build_py_with_library}
if bdist_wheel is not None:
    class bdist_wheel_for_platform(bdist_wheel):
        """One platform, the library's; CPython 3.11 and later on the limited
        API where the compiled calls were built, else any Python 3."""

        def get_tag(self):
            built = any(pathlib.Path(self.bdist_dir).rglob("_calls*.so"))
            return ("cp311", "abi3", super().get_tag()[2]) if built else ("py3", "none", super().get_tag()[2])

    commands["bdist_wheel"] = bdist_wheel_for_platform

setup(version=VERSION, cmdclass=commands, distclass=BinaryDistribution, ext_modules=calls)
