"""Pixels in and out: channel order, row order, strides, alpha, grey, and the
tool's results reproduced bit for bit."""
import numpy as np
import pytest
from PIL import Image

import huevane
from conftest import SAMPLES, quadrants

RED, GREEN, BLUE, WHITE = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)


def test_reduce_gives_back_a_picture_of_few_colours(handles):
    # Four colours fit a 256-colour palette exactly: any swap of red and
    # blue or of top and bottom rows changes the picture.
    img = quadrants(RED, GREEN, BLUE, WHITE)
    indices, palette = huevane.reduce(img)
    assert indices.shape == (8, 8) and indices.dtype == np.uint8
    assert palette.shape == (256, 3) and palette.dtype == np.uint8
    assert np.array_equal(palette[indices], img)


def test_restyle_keeps_an_image_styled_by_itself_in_place(handles):
    # Every pocket pairs with its own colours: nothing may move or swap
    # (the colour model's round trip may move a level or two).
    img = quadrants(RED, GREEN, BLUE, WHITE)
    out = huevane.restyle(img, img)
    assert np.abs(out.astype(int) - img).max() <= 2


def relayout(img, layout):
    """The same pixels in another memory layout."""
    if layout == "fortran":
        return np.asfortranarray(img)
    if layout == "every_other_column":
        wide = np.zeros((img.shape[0], 2 * img.shape[1], 3), np.uint8)
        wide[:, ::2] = img
        return wide[:, ::2]
    if layout == "reversed_rows":
        return np.ascontiguousarray(img[::-1])[::-1]
    if layout == "reversed_channels":  # pixels 3 bytes apart, channels running backwards
        return np.ascontiguousarray(img[..., ::-1])[..., ::-1]
    return np.moveaxis(np.ascontiguousarray(np.moveaxis(img, 2, 0)), 0, 2)  # planar


@pytest.mark.parametrize("layout", ["fortran", "every_other_column", "reversed_rows", "reversed_channels", "planar"])
def test_any_strides_give_the_contiguous_result(cat, coffee, layout, handles):
    expected = huevane.restyle(cat, coffee)
    target, style = relayout(cat, layout), relayout(coffee, layout)
    assert not target.flags.c_contiguous and not style.flags.c_contiguous
    assert np.array_equal(huevane.restyle(target, style), expected)


def test_alpha_takes_no_part_and_comes_back(cat, coffee, handles):
    alpha = np.random.default_rng(7).integers(0, 256, cat.shape[:2], dtype=np.uint8)
    rgba = np.dstack([cat, alpha])
    out = huevane.restyle(rgba, coffee)
    assert out.shape == rgba.shape
    assert np.array_equal(out[..., :3], huevane.restyle(cat, coffee))
    assert np.array_equal(out[..., 3], alpha)
    assert huevane.theme(rgba).to_bytes() == huevane.theme(cat).to_bytes()


def test_grey_images_are_read_as_three_equal_channels(cat, coffee, handles):
    grey = cat[..., 1].copy()
    rgb = np.dstack([grey, grey, grey])
    assert np.array_equal(huevane.restyle(grey, coffee), huevane.restyle(rgb, coffee))
    assert huevane.tags(grey) == huevane.tags(rgb)


def test_pillow_images_are_taken_as_arrays(coffee, handles):
    img = Image.open(SAMPLES / "chelsea.png")
    assert np.array_equal(huevane.restyle(img, coffee), huevane.restyle(np.asarray(img), coffee))


@pytest.mark.parametrize("method", [1, 2, 3, 4, 5])
def test_restyle_equals_the_tool(cli, tmp_path, method, handles):
    out = tmp_path / "out.png"
    cli("restyle", SAMPLES / "chelsea.png", SAMPLES / "coffee.png", "-o", out, "--method", method)
    target = np.asarray(Image.open(SAMPLES / "chelsea.png"))
    style = np.asarray(Image.open(SAMPLES / "coffee.png"))
    assert np.array_equal(huevane.restyle(target, style, method=method), np.asarray(Image.open(out)))


def test_restyle_with_regions_and_a_theme_file_equals_the_tool(cli, tmp_path, handles):
    target = np.asarray(Image.open(SAMPLES / "astronaut.png"))
    theme_file = tmp_path / "coffee.ccs"
    huevane.theme(np.asarray(Image.open(SAMPLES / "coffee.png"))).save(theme_file)
    keep = [[(10, 10), (300, 40), (150, 400)], [(-20, 200), (600, 250), (600, 260), (-20, 300)]]
    regions = tmp_path / "keep.txt"
    regions.write_text("\n".join(" ".join(f"{x},{y}" for x, y in poly) for poly in keep) + "\n")
    out = tmp_path / "out.png"
    cli("restyle", SAMPLES / "astronaut.png", theme_file, "-o", out, "--keep", regions)
    mine = huevane.restyle(target, huevane.load_theme(theme_file), keep=keep)
    assert np.array_equal(mine, np.asarray(Image.open(out)))
    # The kept triangle's inside has its first colours; the rest changed.
    assert np.array_equal(mine[100, 150], target[100, 150])
    assert (mine != target).any(axis=2).mean() > 0.3


def test_theme_equals_the_tool(cli, cat, handles):
    import json
    printed = json.loads(cli("theme", SAMPLES / "chelsea.png", "--json"))["pockets"]
    pockets = huevane.theme(cat).pockets
    assert [p["color"] for p in printed] == ["#%02x%02x%02x" % p.rgb for p in pockets]
    assert [p["pixels"] for p in printed] == [p.pixels for p in pockets]
    assert [p["items"] for p in printed] == [p.colours for p in pockets]
    assert [p["share"] for p in printed] == pytest.approx([p.share for p in pockets], abs=1e-4)


def test_tags_equal_the_tool(cli, astronaut, handles):
    import json
    printed = json.loads(cli("tags", SAMPLES / "astronaut.png", "--json"))["families"]
    tags = huevane.tags(astronaut)
    assert [(f["name"], tuple(f["rgb"])) for f in printed] == [(name, rgb) for name, _, rgb in tags]
    assert [f["share"] for f in printed] == pytest.approx([share for _, share, _ in tags], abs=1e-6)


def test_reduce_equals_the_tool(cli, tmp_path, astronaut, handles):
    out = tmp_path / "reduced.png"
    cli("reduce", SAMPLES / "astronaut.png", "-o", out)
    indices, palette = huevane.reduce(astronaut)
    saved = Image.open(out)
    assert saved.mode == "P"
    assert np.array_equal(np.asarray(saved), indices)
    assert np.array_equal(np.array(saved.getpalette()[:768], np.uint8).reshape(256, 3), palette)


def test_card_equals_the_tool(cli):
    printed = cli("card", SAMPLES / "css-colours.txt", "200,30,90", "-n", 4).splitlines()[1:]
    card = huevane.Card.load(SAMPLES / "css-colours.txt")
    near = card.nearest((200, 30, 90), n=4)
    assert [line.split("#")[0].strip() for line in printed] == [name for name, _, _ in near]
    assert [float(line.split("distance")[1].split()[0]) for line in printed] == pytest.approx(
        [d for _, _, d in near], abs=0.006)


def test_the_example_writes_the_restyled_photo(tmp_path, cat, coffee):
    import os
    import subprocess
    import sys
    out = tmp_path / "out.png"
    example = SAMPLES.parent / "examples" / "restyle.py"
    done = subprocess.run([sys.executable, example, SAMPLES / "chelsea.png", SAMPLES / "coffee.png", out,
                           "--method", "3"], capture_output=True, text=True, env=dict(os.environ))
    assert done.returncode == 0, done.stderr
    assert np.array_equal(np.asarray(Image.open(out)), huevane.restyle(cat, coffee, method=3))
    assert "written:" in done.stdout


@pytest.mark.parametrize("channels", [1, 3, 4])
def test_every_width_crosses_both_ways_unchanged(channels, handles):
    # Rows are copied several pixels at a time with a tail one by one: every
    # width from 1 to 21 comes back exactly when no pocket is paired.
    rng = np.random.default_rng(channels)
    colours = np.array([RED, GREEN, BLUE, WHITE, (9, 99, 199)], np.uint8)
    for width in range(1, 22):
        img = colours[rng.integers(0, len(colours), (1 + width % 3, width))]  # 1 to 3 rows
        if channels == 1:
            img = img[..., 0].copy()
        elif channels == 4:
            img = np.dstack([img, rng.integers(0, 256, img.shape[:2], dtype=np.uint8)])
        unpaired = [(t, -1) for t in range(len(huevane.theme(img)))]
        out = huevane.restyle(img, img, links=unpaired)
        rgb = np.dstack([img] * 3) if channels == 1 else img
        assert np.array_equal(out, rgb), width
        indices, palette = huevane.reduce(img)
        assert np.array_equal(palette[indices], rgb[..., :3]), width
