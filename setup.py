"""Builds and installs the huevane Python module: setuptools drives the
project's CMake build (the library and the module, nothing else) and
installs the module with its type stubs."""
import os
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build_dir = os.path.abspath(os.path.join(self.build_temp, "cmake"))
        config = [
            "cmake", "-S", ROOT, "-B", build_dir,
            "-DCMAKE_BUILD_TYPE=Release",
            "-DHUEVANE_PYTHON=ON", "-DHUEVANE_TESTS=OFF", "-DHUEVANE_BENCH=OFF", "-DHUEVANE_CLI=OFF",
            # The module is built for the interpreter that runs this script.
            "-DPython_EXECUTABLE=" + sys.executable,
        ]
        subprocess.check_call(config)
        jobs = str(os.cpu_count() or 2)
        subprocess.check_call(["cmake", "--build", build_dir, "--target", "huevane_python", "-j", jobs])
        built = os.path.join(build_dir, "python", os.path.basename(self.get_ext_filename(ext.name)))
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built, target)
        # The stubs go beside the module, where editors look for them.
        shutil.copyfile(os.path.join(ROOT, "python", "huevane.pyi"),
                        os.path.join(os.path.dirname(target), "huevane.pyi"))


setup(
    name="huevane",
    version="0.1",
    description="Colour themes and re-colouring of images held as numpy arrays",
    ext_modules=[CMakeExtension("huevane")],
    cmdclass={"build_ext": CMakeBuild},
    python_requires=">=3.7",
    zip_safe=False,
)
