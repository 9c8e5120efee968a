# Wraps CMake so that a newcomer needs no flags. Each target first installs
# the Debian packages it needs, if missing (scripts/setup.sh).
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
SAN := -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
SETUP := scripts/setup.sh
# make install PREFIX=... [DESTDIR=...]; the release tree it installs from.
PREFIX ?= /usr/local
RELEASE_DIR ?= build/release
# The release tree builds the benchmarks only for make bench.
BENCH ?= OFF
RELEASE_FLAGS = -DCMAKE_BUILD_TYPE=Release -DHUEVANE_TESTS=OFF -DHUEVANE_BENCH=$(BENCH)

.PHONY: all release test demo bench clean windows install package fuzz fuzz-build fuzz-seeds python pytest

all: release

release:
	$(SETUP) build
	cmake -S . -B "$(RELEASE_DIR)" $(RELEASE_FLAGS)
	cmake --build "$(RELEASE_DIR)" -j $(JOBS)

# The library (libhuevane.so.<version>), headers, the tool, huevane.pc and
# the CMake package Huevane, under PREFIX (staged under DESTDIR if given).
install:
	$(SETUP) build
	cmake -S . -B "$(RELEASE_DIR)" $(RELEASE_FLAGS) -DCMAKE_INSTALL_PREFIX="$(PREFIX)"
	cmake --build "$(RELEASE_DIR)" -j $(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install "$(RELEASE_DIR)" --prefix "$(PREFIX)"

# A Debian package of the same files under /usr, written to the release tree.
package:
	$(SETUP) package
	cmake -S . -B "$(RELEASE_DIR)" $(RELEASE_FLAGS)
	cmake --build "$(RELEASE_DIR)" -j $(JOBS)
	cd "$(RELEASE_DIR)" && cpack -G DEB

test:
	$(SETUP) test
	cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DHUEVANE_BENCH=OFF -DHUEVANE_PYTHON=OFF \
	  -DCMAKE_CXX_FLAGS="$(SAN) -O1" -DCMAKE_C_FLAGS="$(SAN) -O1" \
	  -DCMAKE_EXE_LINKER_FLAGS="$(SAN)" -DCMAKE_SHARED_LINKER_FLAGS="$(SAN)"
	cmake --build build/asan -j $(JOBS)
	$(MAKE) --no-print-directory pytest
	cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# The Python module, build/python/python/huevane*.so, in a tree of its own
# without sanitizers (a sanitized module cannot be loaded by a plain
# interpreter), with the tool its tests compare against.
PY_FLAGS := -DCMAKE_BUILD_TYPE=Release -DHUEVANE_TESTS=OFF -DHUEVANE_BENCH=OFF
python:
	$(SETUP) build python
	cmake -S . -B build/python $(PY_FLAGS) -DHUEVANE_PYTHON=ON
	cmake --build build/python -j $(JOBS) --target huevane_python huevane_cli

# The module's pytest suite, run by the interpreter it was built for; skipped
# (with a note) when pybind11 or Python's headers are missing.
pytest:
	cmake -S . -B build/python $(PY_FLAGS) -UHUEVANE_PYTHON
	@if grep -q '^HUEVANE_PYTHON:BOOL=ON' build/python/CMakeCache.txt; then \
	  cmake --build build/python -j $(JOBS) --target huevane_python huevane_cli && \
	  PYTHONPATH=$(CURDIR)/build/python/python HUEVANE_CLI=$(CURDIR)/build/python/huevane \
	  PYTHONDONTWRITEBYTECODE=1 "$$(sed -n 's/^Python_EXECUTABLE:FILEPATH=//p' build/python/CMakeCache.txt)" \
	    -m pytest -q -p no:cacheprovider python/tests; \
	else echo "pybind11 or Python's headers not found: the Python module and its tests are skipped"; fi

demo: release
	./scripts/demo.sh "$(RELEASE_DIR)/huevane"

bench:
	$(SETUP) bench
	$(MAKE) release BENCH=ON
	"$(RELEASE_DIR)/bench/huevane_bench"

# Windows: the 32-bit DLL (checked by its export table: it cannot run here) and
# the 64-bit library with the test suite, run under Wine.
WIN_FLAGS := -DHUEVANE_BENCH=OFF -DHUEVANE_CLI=OFF -DCMAKE_BUILD_TYPE=Release
windows:
	$(SETUP) windows
	cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake $(WIN_FLAGS) -DHUEVANE_TESTS=OFF
	cmake --build build/win32 -j $(JOBS)
	scripts/check_exports.sh i686-w64-mingw32-objdump build/win32/Huevane.dll include/huevane/huevane.h
	cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake $(WIN_FLAGS)
	cmake --build build/win64 -j $(JOBS)
	scripts/check_exports.sh x86_64-w64-mingw32-objdump build/win64/Huevane.dll include/huevane/huevane.h
	cd build/win64 && ctest --output-on-failure

# Fuzzing: every reader of outside data under libFuzzer, built with clang in
# its own tree; FUZZ_SECONDS per target (FUZZ_TARGETS to pick some).
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
FUZZ_FLAGS := -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1
fuzz-build:
	$(SETUP) fuzz
	cmake -S . -B build/fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= \
	  -DHUEVANE_FUZZ=ON -DHUEVANE_TESTS=OFF -DHUEVANE_BENCH=OFF -DHUEVANE_CLI=ON -DHUEVANE_PYTHON=OFF \
	  -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" -DCMAKE_C_FLAGS="$(FUZZ_FLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
	cmake --build build/fuzz -j $(JOBS) --target huevane_fuzz

fuzz: fuzz-build
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run.sh build/fuzz $(FUZZ_TARGETS)

# Rewrites the seed corpora with the project's own writers.
fuzz-seeds: fuzz-build
	ASAN_OPTIONS=detect_leaks=0 build/fuzz/fuzz/fuzz_make_seeds fuzz/corpus

clean:
	rm -rf build out
