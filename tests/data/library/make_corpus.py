#!/usr/bin/env python3
"""Writes the theme list and script file corpus used by tests/library.

lists/cases.txt pairs each list file with the themes a plain load gives,
as "name=RRGGBB/pixels ...;" each; scripts/cases.txt pairs each script with the names
of the examples it loads (space-separated), the script lying in a folder that
holds a.bmp, b.bmp and c.bmp.
"""
import os

HEAD = b"[Version]\n1\n[Themes]\n"
W = [6250, 3750, 2500, 1875, 1250]  # the pixel count of the colour at each position


def theme(name, *colours):
    """The expected theme: each colour as RRGGBB/pixels."""
    return name + "=" + " ".join(f"{c}/{w}" for c, w in zip(colours, W)) + ";"


A_WHITE, A_RED = theme("A", "FFFFFF"), theme("A", "FF0000")
LISTS = [
    ("no_version", b"[Themes]\n[A]\n1 1 1\n", ""),
    ("no_themes_line", b"[Version]\n1\n[A]\n1 1 1\n", ""),
    ("themes_as_the_version_value", b"[Version]\n[Themes]\n[A]\n1 1 1\n", ""),
    ("empty_version_value_consumed", b"[Version]\n\n[Themes]\n[A]\n1 1 1\n", A_WHITE),
    ("lines_trimmed", b"  [Version] \n1\n\t[Themes]\n  [A]  \n  1 1 1  \n", A_WHITE),
    ("names", HEAD + b"[]\n0 0 0\n[A]\n0 0 0\n[ Ocean Breeze ]\n0 0 0\n[B)\n0 0 0\n[\n0 0 0\n",
     "".join(theme(n, "000000") for n in ["", "A", " Ocean Breeze ", "B", ""])),
    # Fractions times 255, truncated (0.3f is a little above 0.3: 76.5 -> 76).
    ("seventh_number_ignored", HEAD + b"[A]\n.1 .2 .3 .4 .5 .6 .7\n", theme("A", "19334C", "667F99")),
    ("weights_and_clamping", HEAD + b"[Warm]\n1 0 0, 1 .5 0\n[Five]\n1 0 0 0 1 0 0 0 1 1 1 0 0 1 1\n"
     b"[Clamped]\n2 -1 abc, 0.5x 1e9 -0\n",
     theme("Warm", "FF0000", "FF7F00") + theme("Five", "FF0000", "00FF00", "0000FF", "FFFF00", "00FFFF")
     + theme("Clamped", "FF0000", "7FFF00")),
    ("five_colours_at_most", HEAD + b"[A]\n" + b"1 " * 18 + b"\n", theme("A", *["FFFFFF"] * 5)),
    ("parentheses", HEAD + b"[A]\n(1.0, 0.5, 0), (0.2 0.2 0.8)\n", theme("A", "FF7F00", "3333CC")),
    ("blank_lines_before_the_colours", HEAD + b"[A]\n\n   \n1 0 0\n", A_RED),
    ("name_as_the_colour_line", HEAD + b"[Warm]\n[Cool]\n1 0 0\n[Next]\n0 1 0\n",
     theme("Warm") + theme("Next", "00FF00")),
    ("version_after_themes", HEAD + b"[Version]\n1 1 1\n", theme("Version", "FFFFFF")),
    ("lines_outside_a_name_ignored", HEAD + b"junk\n1 1 1\n[A]\n0 0 1\n", theme("A", "0000FF")),
    ("name_at_the_end", HEAD + b"[A]\n1 1 1\n[Pending]\n", A_WHITE),
    ("cr_lf", b"[Version]\r\n1\r\n[Themes]\r\n[A]\r\n1 0 0\r\n", A_RED),
    ("no_final_line_feed", HEAD + b"[A]\n1 0 0", A_RED),
    ("over_long_line_dropped", HEAD + b"[A]\n" + b"0" * 256 + b"\n1 0 0\n", A_RED),  # limit 255
    ("nul_ends_the_text", HEAD + b"[A]\n1 0 0\x00 1 1 1\n", A_RED),
    ("too_few_numbers", HEAD + b"[A]\n1 1\n", theme("A")),
]

LONG = b"L " + b"x" * 256 + b".bmp"  # 262 characters: over the limit of 259
FIT = b"F " + b"x" * 253 + b".bmp"   # 259: read, though there is no such file
SCRIPTS = [
    ("no_examples_section", b"[Version]\n1\nA a.bmp\n", ""),
    ("plain", b"[Version]\n1\n[Category]\nNature\n[Examples]\nA a.bmp\nB b.bmp\n", "A B"),
    ("examples_as_the_version_value", b"[Version]\n[Examples]\nA a.bmp\n", ""),
    ("a_later_examples_line", b"[Version]\n[Examples]\n[Examples]\nA a.bmp\n", "A"),
    ("examples_as_the_category_value", b"[Category]\n[Examples]\nA a.bmp\n", ""),
    ("leading_space", b" [Examples]\nA a.bmp\n", ""),
    ("trailing_space", b"[Examples] \nA a.bmp\n", ""),
    ("lower_case", b"[examples]\nA a.bmp\n", ""),
    ("empty_line_ends_the_list", b"[Examples]\nA a.bmp\nB b.bmp\n\nC c.bmp\n", "A B"),
    ("one_token_skipped", b"[Examples]\nOnly\nB b.bmp\n", "B"),
    ("delimiters", b"[Examples]\n\t,A:: a.bmp ,\n", "A"),
    ("no_final_line_feed", b"[Examples]\nA a.bmp", "A"),
    ("cr_lf", b"[Category]\r\nX\r\n[Examples]\r\nA a.bmp\r\nB b.bmp\r\n\r\nC c.bmp\r\n", "A B"),
    ("space_only_line_is_not_empty", b"[Examples]\nA a.bmp\n \nB b.bmp\n", "A B"),
    ("over_long_lines_dropped", b"[Examples]\nA a.bmp\n" + LONG + b"\n" + FIT + b"\n", "A F"),
    ("over_long_header_line_dropped", b"[Version]\n1\n" + LONG + b"\n[Examples]\nA a.bmp\n", "A"),
    ("nul_ends_a_line", b"[Examples]\nA a.bmp\x00 junk\nB b.bmp\n", "A B"),
    ("nul_at_the_start_is_an_empty_line", b"[Examples]\nA a.bmp\n\x00B b.bmp\nC c.bmp\n", "A"),
    ("empty_file", b"", ""),
]


def write(folder, cases):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "cases.txt"), "w", newline="\n") as index:
        for name, data, want in cases:
            with open(os.path.join(folder, name + ".txt"), "wb") as f:
                f.write(data)
            index.write(f"{name}.txt\t{want}\n")


write("lists", LISTS)
write("scripts", SCRIPTS)
