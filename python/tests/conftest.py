"""Shared fixtures: sample photos, a few synthetic pictures, the command-line
tool (HUEVANE_CLI, set by 'make test'; tests that need it are skipped without
it) and hand-made style buffers."""
import os
import pathlib
import struct
import subprocess

import numpy as np
import pytest
from PIL import Image

import huevane

SAMPLES = pathlib.Path(__file__).resolve().parents[2] / "samples"


def load(name):
    return np.asarray(Image.open(SAMPLES / name).convert("RGB"))


@pytest.fixture(scope="session")
def cat():
    return load("chelsea.png")


@pytest.fixture(scope="session")
def coffee():
    return load("coffee.png")


@pytest.fixture(scope="session")
def astronaut():
    return load("astronaut.png")


@pytest.fixture(scope="session")
def cli():
    path = os.environ.get("HUEVANE_CLI")
    if not path or not os.path.exists(path):
        pytest.skip("the huevane tool is not built (HUEVANE_CLI)")

    def run(*args):
        done = subprocess.run([path, *map(str, args)], capture_output=True, text=True)
        assert done.returncode == 0, done.stderr
        return done.stdout

    return run


def quadrants(top_left, top_right, bottom_left, bottom_right, size=8):
    """A picture of four flat quadrants, every corner different, so that a
    swapped channel or a flipped row order shows."""
    img = np.zeros((size, size, 3), np.uint8)
    h = size // 2
    img[:h, :h], img[:h, h:], img[h:, :h], img[h:, h:] = top_left, top_right, bottom_left, bottom_right
    return img


def style_buffer(pockets, name=b""):
    """A style buffer (version 21, no palette) of pockets given as
    (r, g, b, pixels); each pocket has no palette members."""
    body = b"CC" + struct.pack("<i", 21) + name.ljust(32, b"\0") + struct.pack("<i", 0)
    body += struct.pack("<i", len(pockets))
    for r, g, b, pixels in pockets:
        body += struct.pack("<i", 0) + b"\0" * 16 + struct.pack("<i", 0)
        body += bytes((b, g, r, 0)) + struct.pack("<IifI", 0, pixels, 0.0, 0)
    return struct.pack("<I", len(body)) + body


@pytest.fixture
def handles():
    """Fails the test when it leaves library handles behind."""
    before = huevane.live_handles()
    yield
    assert huevane.live_handles() == before
