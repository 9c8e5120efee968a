"""Themes: pockets, buffers and files, themes as styles, pairings and links."""
import numpy as np
import pytest

import huevane
from conftest import SAMPLES, style_buffer


def test_pockets_describe_the_image(astronaut, handles):
    pockets = huevane.theme(astronaut).pockets
    assert len(pockets) > 1
    pixels = [p.pixels for p in pockets]
    assert pixels == sorted(pixels, reverse=True)
    assert sum(pixels) == astronaut.shape[0] * astronaut.shape[1]
    assert [p.share for p in pockets] == pytest.approx([n / sum(pixels) for n in pixels])
    assert 0 < sum(p.colours for p in pockets) <= 256


def test_pocket_fields_come_from_the_buffer_in_rgb_order():
    theme = huevane.Theme.from_bytes(style_buffer([(200, 100, 10, 30), (1, 2, 3, 10)], name=b"pair"))
    assert theme.name == "pair" and not theme.has_image
    assert [(p.rgb, p.pixels, p.colours) for p in theme.pockets] == [((200, 100, 10), 30, 0), ((1, 2, 3), 10, 0)]
    assert [p.share for p in theme.pockets] == pytest.approx([0.75, 0.25])
    hsl = bytearray(style_buffer([(200, 100, 10, 30)]))
    hsl[-16:-12] = bytes((21, 180, 105, 0))  # hue, saturation, lightness, grey flag
    assert huevane.Theme.from_bytes(bytes(hsl)).pockets[0].hsl == (21, 180, 105)


def test_buffer_and_file_round_trips_keep_every_byte(cat, tmp_path, handles):
    theme = huevane.theme(cat)
    data = theme.to_bytes()
    assert int.from_bytes(data[:4], "little") == len(data) - 4
    for again in (huevane.Theme.from_bytes(data), huevane.Theme.from_bytes(bytearray(data)),
                  huevane.Theme.from_bytes(memoryview(data))):
        assert again.to_bytes() == data
    path = tmp_path / "cat.ccs"
    theme.save(path)
    assert path.read_bytes() == data[4:]
    loaded = huevane.load_theme(str(path))
    assert loaded.to_bytes() == data and not loaded.has_image and theme.has_image
    assert [p.rgb for p in loaded.pockets] == [p.rgb for p in theme.pockets]


@pytest.mark.parametrize("method", [1, 2, 3, 4, 5])
def test_a_theme_styles_as_its_image_does(cat, coffee, method, handles):
    assert np.array_equal(huevane.restyle(cat, huevane.theme(coffee), method=method),
                          huevane.restyle(cat, coffee, method=method))


def test_restyle_leaves_the_style_theme_as_it_was(cat, coffee, handles):
    style = huevane.theme(coffee)
    before = [p.rgb for p in style.pockets]
    huevane.restyle(cat, style, method=3)  # pairing by lightness re-sorts the style's pockets
    assert [p.rgb for p in style.pockets] == before


@pytest.mark.parametrize("method", [1, 2, 3, 4, 5])
def test_links_from_match_reproduce_the_method(astronaut, coffee, method, handles):
    links = huevane.match(astronaut, coffee, method)
    assert [t for t, _ in links] == list(range(len(huevane.theme(astronaut))))
    assert all(-1 <= s < len(huevane.theme(coffee)) for _, s in links)
    assert np.array_equal(huevane.restyle(astronaut, coffee, links=links),
                          huevane.restyle(astronaut, coffee, method=method))


def test_edited_links_are_applied(astronaut, coffee, handles):
    unpaired = [(t, -1) for t, _ in huevane.match(astronaut, coffee)]
    assert np.array_equal(huevane.restyle(astronaut, coffee, links=unpaired), astronaut)
    links = huevane.match(astronaut, coffee)
    edited = [(0, (links[0][1] + 1) % len(huevane.theme(coffee)))] + links[1:]
    assert not np.array_equal(huevane.restyle(astronaut, coffee, links=edited),
                              huevane.restyle(astronaut, coffee, links=links))


def test_kept_polygons_keep_their_first_colours(cat, coffee, handles):
    full = huevane.restyle(cat, coffee)
    h, w = cat.shape[:2]
    everything = [[(0, 0), (w, 0), (w, h), (0, h)]]
    assert np.array_equal(huevane.restyle(cat, coffee, keep=everything), cat)
    box = [(np.int64(50), 20), (150, 20), (150, 80), (50, 80)]  # numpy integers are integers too
    out = huevane.restyle(cat, coffee, keep=[box])
    inside = np.zeros((h, w), bool)
    inside[20:80, 50:150] = True
    assert np.array_equal(out[inside], cat[inside])
    edge = np.zeros((h, w), bool)
    edge[18:82, 48:152] = True
    assert np.array_equal(out[~edge], full[~edge])


# At most: cg merges down to 6 pockets only while a touching, hue-similar
# pair within one group of the card remains, so a few more may stay.
@pytest.mark.parametrize("extract, most", [("default", 256), ("g", 16), ("d", 6), ("cg", 12), ("q", 10)])
def test_every_extraction_gives_a_theme_of_the_whole_image(astronaut, coffee, extract, most, handles):
    card = huevane.Card.load(SAMPLES / "css-colours.txt") if extract == "cg" else None
    theme = huevane.theme(astronaut, extract=extract, card=card)
    pixels = [p.pixels for p in theme.pockets]
    assert 1 <= len(pixels) <= most
    assert pixels == sorted(pixels, reverse=True)
    assert sum(p.colours for p in theme.pockets) <= 256
    again = huevane.Theme.from_bytes(theme.to_bytes())
    assert [p.rgb for p in again.pockets] == [p.rgb for p in theme.pockets]
    out = huevane.restyle(coffee, theme)
    assert out.shape == coffee.shape and not np.array_equal(out, coffee)
