# Wraps CMake so that a newcomer needs no flags.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
SAN := -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer

.PHONY: all release test demo bench clean

all: release

release:
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DHUEVANE_TESTS=OFF
	cmake --build build/release -j $(JOBS)

test:
	cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DHUEVANE_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="$(SAN) -O1" -DCMAKE_C_FLAGS="$(SAN) -O1" \
	  -DCMAKE_EXE_LINKER_FLAGS="$(SAN)" -DCMAKE_SHARED_LINKER_FLAGS="$(SAN)"
	cmake --build build/asan -j $(JOBS)
	cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

demo: release
	./scripts/demo.sh build/release/huevane

bench: release
	./build/release/bench/huevane_bench

clean:
	rm -rf build out
