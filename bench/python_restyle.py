#!/usr/bin/env python3
"""The Python module's overhead on restyle: times huevane.restyle on a
2560 x 1600 photo against the same re-colouring called from C++ on the same
pixels (BM_RestyleCpp of the benchmark program, which reads BMP copies of
the photos as decoded here).

    PYTHONPATH=build/python/python /usr/bin/python3 bench/python_restyle.py \\
        --cpp build/release/bench/huevane_bench
"""
import argparse
import json
import os
import pathlib
import statistics
import subprocess
import tempfile
import time

import numpy as np
from PIL import Image

import huevane

SAMPLES = pathlib.Path(__file__).resolve().parents[1] / "samples"


def time_python(target, style, repeat):
    times = []
    for _ in range(repeat):
        start = time.process_time()
        huevane.restyle(target, style)
        times.append(time.process_time() - start)
    return 1000 * statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cpp", help="the benchmark program (build/release/bench/huevane_bench)")
    parser.add_argument("--repeat", type=int, default=10, help="timed calls (default 10)")
    args = parser.parse_args()

    target = np.asarray(Image.open(SAMPLES / "autumn.jpg").convert("RGB"))
    style = np.asarray(Image.open(SAMPLES / "cups.jpg").convert("RGB"))
    huevane.restyle(target, style)  # warm-up
    python_ms = time_python(target, style, args.repeat)
    print(f"Python  huevane.restyle  {target.shape[1]} x {target.shape[0]}: {python_ms:.1f} ms "
          f"(CPU, median of {args.repeat})")
    if not args.cpp:
        return
    with tempfile.TemporaryDirectory() as folder:
        Image.fromarray(target).save(os.path.join(folder, "autumn.bmp"))
        Image.fromarray(style).save(os.path.join(folder, "cups.bmp"))
        done = subprocess.run([args.cpp, "--bmp-dir=" + folder, "--benchmark_filter=BM_RestyleCpp",
                               f"--benchmark_repetitions={args.repeat}", "--benchmark_format=json"],
                              capture_output=True, text=True, check=True)
    runs = [b for b in json.loads(done.stdout)["benchmarks"] if b.get("aggregate_name") == "median"]
    cpp_ms = runs[0]["cpu_time"]
    print(f"C++     BM_RestyleCpp: {cpp_ms:.1f} ms (CPU, median of {args.repeat})")
    print(f"the module adds {100 * (python_ms - cpp_ms) / cpp_ms:+.1f}%")


if __name__ == "__main__":
    main()
