"""Bad arguments raise ValueError, bad files OSError, and nothing crashes or
leaks."""
import numpy as np
import pytest

import huevane
from conftest import SAMPLES, style_buffer

SMALL = np.zeros((4, 4, 3), np.uint8)


@pytest.mark.parametrize("image, message", [
    (np.zeros((4, 4, 3), np.float32), "dtype uint8"),
    (np.zeros((4, 4, 3), np.int8), "dtype uint8"),
    (np.zeros((4, 4, 2), np.uint8), "shape"),
    (np.zeros((4, 4, 5), np.uint8), "shape"),
    (np.zeros(16, np.uint8), "shape"),
    (np.zeros((2, 4, 4, 3), np.uint8), "shape"),
    (np.zeros((0, 4, 3), np.uint8), "empty"),
    (np.zeros((4, 0), np.uint8), "empty"),
    ([[1, 2], [3, 4]], "dtype uint8"),
    ("picture.png", "dtype uint8"),
])
def test_images_of_a_wrong_kind(image, message, handles):
    for call in (huevane.theme, huevane.tags, huevane.reduce, lambda i: huevane.restyle(i, SMALL),
                 lambda i: huevane.restyle(SMALL, i), lambda i: huevane.match(SMALL, i)):
        with pytest.raises(ValueError, match=message):
            call(image)


def test_an_image_too_large_for_the_library(handles):
    tall = np.broadcast_to(np.uint8(0), (1 << 17 | 1, 1, 3))  # no memory behind it
    with pytest.raises(ValueError, match="beyond the supported size"):
        huevane.reduce(tall)
    for shape in ((1, 1 << 17, 3), (1 << 17, 1)):  # the longest sides taken
        assert huevane.reduce(np.zeros(shape, np.uint8))[0].shape == shape[:2]


@pytest.mark.parametrize("kwargs, message", [
    ({"method": 0}, "method must be 1 to 5"),
    ({"method": 6}, "method must be 1 to 5"),
    ({"keep": [[(0, 0), (3, 3)]]}, "at least 3 points"),
    ({"keep": [[(0, 0), (3, 3), (0.5, 1)]]}, r"keep\[0\]\[2\]\[0\] must be an integer"),
    ({"keep": [[(0, 0), (3, 3), (1, 2, 3)]]}, "must be a pair"),
    ({"keep": [[(0, 0), (3, 3), (1, 1 << 40)]]}, "out of range"),
    ({"keep": 5}, "list of polygons"),
    ({"links": [(0, 99)]}, "does not exist"),
    ({"links": [(-1, 0)]}, "does not exist"),
    ({"links": [(0,)]}, "must be a pair"),
    ({"links": 3}, "list of"),
])
def test_restyle_arguments(cat, coffee, kwargs, message, handles):
    with pytest.raises(ValueError, match=message):
        huevane.restyle(cat, coffee, **kwargs)


def test_methods_4_and_5_refuse_large_themes(cat, handles):
    many = huevane.Theme.from_bytes(style_buffer([(10 * i, 5 * i, 255 - 10 * i, 100 - i) for i in range(17)]))
    assert len(many) == 17
    with pytest.raises(ValueError, match="at most 16 colours"):
        huevane.restyle(cat, many, method=4)
    with pytest.raises(ValueError, match="at most 16 colours"):
        huevane.match(cat, many, method=4)


def test_method_5_needs_the_style_picture(cat, coffee, tmp_path, handles):
    path = tmp_path / "coffee.ccs"
    huevane.theme(coffee).save(path)
    with pytest.raises(ValueError, match="method 5 needs"):
        huevane.restyle(cat, huevane.load_theme(path), method=5)


def test_a_style_without_colours(cat, handles):
    with pytest.raises(ValueError, match="no colours"):
        huevane.restyle(cat, huevane.Theme.from_bytes(style_buffer([])))


@pytest.mark.parametrize("extract, card, message", [
    ("octree", None, "extract must be"),
    ("G", None, "extract must be"),
    ("cg", None, "needs a colour card"),
    ("default", "card", "only with extract='cg'"),
])
def test_extraction_arguments(cat, extract, card, message, handles):
    if card:
        card = huevane.Card.load(SAMPLES / "css-colours.txt")
    with pytest.raises(ValueError, match=message):
        huevane.theme(cat, extract=extract, card=card)


def test_malformed_style_buffers(cat):
    good = huevane.theme(cat).to_bytes()
    for bad, message in [(b"", "4-byte length"), (good[:-1], "says it holds"), (good + b"\0", "says it holds"),
                         (good[:4] + b"\0" * (len(good) - 4), "no well-formed theme")]:
        with pytest.raises(ValueError, match=message):
            huevane.Theme.from_bytes(bad)
    # A member index past the palette.
    bad = bytearray(style_buffer([(1, 2, 3, 4)]))
    bad[-4:] = (1).to_bytes(4, "little")
    bad += (300).to_bytes(4, "little")
    bad[:4] = (len(bad) - 4).to_bytes(4, "little")
    with pytest.raises(ValueError):
        huevane.Theme.from_bytes(bytes(bad))
    with pytest.raises(TypeError):
        huevane.Theme.from_bytes(12)


def test_files_that_cannot_be_read_or_written(cat, tmp_path, handles):
    missing = tmp_path / "missing.ccs"
    with pytest.raises(FileNotFoundError, match="missing.ccs"):
        huevane.load_theme(missing)
    with pytest.raises(OSError):
        huevane.theme(cat).save(tmp_path / "no" / "such" / "folder.ccs")
    with pytest.raises(FileNotFoundError):
        huevane.Card.load(tmp_path / "missing.txt")
    garbage = tmp_path / "garbage.ccs"
    garbage.write_bytes(b"\xff" * 40)
    with pytest.raises(ValueError, match="not a valid theme file"):
        huevane.load_theme(garbage)
    empty = tmp_path / "empty.txt"
    empty.write_text("")
    with pytest.raises(ValueError, match="no samples"):
        huevane.Card.load(empty)


@pytest.mark.parametrize("rgb, n, message", [
    ((1, 2), 5, "three integers"),
    ("red", 5, "three integers"),
    ((1, 2, 256), 5, "0 to 255"),
    ((1, -2, 3), 5, "0 to 255"),
    ((1, 2, 3), 0, "at least 1"),
])
def test_card_arguments(rgb, n, message):
    card = huevane.Card.load(SAMPLES / "css-colours.txt")
    with pytest.raises(ValueError, match=message):
        card.nearest(rgb, n)


def test_card_nearest_is_bounded_by_the_card():
    card = huevane.Card.load(SAMPLES / "css-colours.txt")
    near = card.nearest((0, 0, 0), n=1000)
    assert len(near) == len(card)
    assert [d for _, _, d in near] == sorted(d for _, _, d in near)
    assert near[0][1] == (0, 0, 0) and near[0][2] == 0
