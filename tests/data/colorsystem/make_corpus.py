#!/usr/bin/env python3
"""Writes the colour card and group file corpus used by tests/colorsystem."""
import random
import struct


def le(*values):
    return b"".join(struct.pack("<i", v) for v in values)


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


# A well-formed card, LF line ends, last line without a line feed.
write("card.txt", b"Sample A: RGB(250, 94, 20)\n"
                  b"Dark Red: RGB(139, 0, 0)\n"
                  b"  Wide  Name :RGB(1,2,3)\n"
                  b"Over: RGB(300, -1, 511)\n"
                  b"Tabs:\tRGB(\t7\t,\t8\t,\t9\t)")
# Its groups: [[4, 0], [], [2]].
write("card.txt.grp", le(16, 3, 2, 4, 0, 0, 1, 2))

# Lines off the grammar, one sample each.
long_name = b"N" * 3000
write("bad_lines.txt",
      b"First: RGB(1, 2, 3)\n"                 # 0 fine
      b"\n"                                     # 1 empty
      b"No colon RGB(4, 5, 6)\n"                # 2 no colon: all name, colour 0
      b"No r: rgb(7, 8, 9)\n"                   # 3 no capital R after the colon
      b"Short: RGB(7)\n"                        # 4 one value: green and blue 0
      b"Two: RGB(10, 20\n"                      # 5 two values
      + long_name + b": RGB(11, 12, 13)\n"      # 6 colon beyond the line limit
      b"Long tail: RGB(14, 15, 16) " + b"x, " * 1500 + b"\n"  # 7 values early, long tail
      b"Letters: RGB(a1, 2b, +3)\n"             # 8 a piece not starting with a number
      b"Name: Red RGB(1, 2, 3)\n"               # 9 the R of Red starts the colour
      b"Nul\x00: RGB(40, 50, 60)\n"             # 10 cut at the NUL
      b"Last: RGB(17, 18, 19)\n")               # 11 fine

# Binary garbage.
rng = random.Random(20261206)
write("garbage.txt", bytes(rng.randrange(256) for _ in range(6000)))

# Group files that must be refused as a whole.
write("truncated_records.grp", le(16, 3, 2, 1, 0, 1))   # three groups promised, the second cut short
write("truncated_header.grp", le(16)[:4] + b"\x02\x00")  # G cut in half
write("empty.grp", b"")
write("huge_groups.grp", le(16, 0x7FFFFFFF, 0))
write("huge_entries.grp", le(16, 1, 0x7FFFFFFF, 1, 2, 3))
# Readable files: indices outside any card are kept; a trailing byte is ignored;
# a group count below zero gives no groups, an entry count below zero an empty
# group with the next record right after its count.
write("outside.grp", le(16, 2, 3, -7, 1, 1000000, 0))
write("trailing.grp", le(16, 1, 1, 5) + b"\x01")
write("negative_groups.grp", le(16, -1))
write("negative_entries.grp", le(16, 2, -5, 1, 2))
