#!/usr/bin/env python3
"""Writes the bitmap corpus used by tests/dib/dib_test.cpp.

Good files have the name good_*; every other file must be refused."""
import struct

def fh(size, off):
    return struct.pack('<2sIHHI', b'BM', size, 0, 0, off)

def ih(w, h, bits, clr=0, size_image=0, comp=0, hsize=40):
    head = struct.pack('<IiiHHIIiiII', hsize, w, h, 1, bits, comp, size_image, 2835, 2835, clr, 0)
    return head + bytes(hsize - 40)

def write(name, data):
    with open(name, 'wb') as f:
        f.write(data)

grey = b''.join(bytes([i, i, i, 0]) for i in range(256))
px8 = bytes(range(16))  # 4x4, rows already 4-byte aligned

# Good files.
write('good_8bit_clrused0.bmp', fh(14 + 40 + 1024 + 16, 14 + 40 + 1024) + ih(4, 4, 8) + grey + px8)
row24 = bytes([1, 2, 3, 4, 5, 6, 0, 0])  # 2 pixels + 2 bytes of padding
row24b = bytes([7, 8, 9, 10, 11, 12, 0, 0])
write('good_24bit_topdown.bmp', fh(14 + 40 + 16, 54) + ih(2, -2, 24) + row24 + row24b)
write('good_8bit_v5header.bmp', fh(14 + 124 + 1024 + 16, 14 + 124 + 1024) + ih(4, 4, 8, hsize=124) + grey + px8)
# Pixels placed after a gap: bfOffBits must be honoured.
write('good_8bit_gap.bmp', fh(14 + 40 + 8 + 16 + 5, 14 + 40 + 8 + 5) + ih(4, 4, 8, clr=2) + grey[:8] + b'GAP!!' + px8)

# Bad files.
write('empty.bmp', b'')
write('not_a_bitmap.bmp', b'\x89PNG\r\n\x1a\n' + bytes(100))
write('truncated_file_header.bmp', b'BM\x00\x00')
write('truncated_info_header.bmp', fh(100, 54) + ih(4, 4, 8)[:20])
write('core_header.bmp', fh(14 + 12 + 768 + 16, 14 + 12 + 768) + struct.pack('<IHHHH', 12, 4, 4, 1, 8) + bytes(768) + px8)
write('huge_no_data.bmp', fh(54, 54) + ih(100000, 100000, 24))
write('overflow_sizes.bmp', fh(54, 54) + ih(0x7FFFFFFF, 0x7FFFFFFF, 32))
write('negative_width.bmp', fh(70, 54) + ih(-4, 4, 24) + bytes(16))
write('zero_height.bmp', fh(70, 54) + ih(4, 0, 24) + bytes(16))
write('truncated_pixels.bmp', fh(14 + 40 + 1024 + 16, 14 + 40 + 1024) + ih(4, 4, 8) + grey + px8[:9])
write('truncated_palette.bmp', fh(14 + 40 + 1024, 14 + 40 + 1024) + ih(4, 4, 8) + grey[:300])
write('huge_clrused.bmp', fh(14 + 40 + 16, 54) + ih(4, 4, 8, clr=0xFFFFFFFF) + px8)
write('clrused_16bit_table.bmp', fh(14 + 40 + 32, 54) + ih(4, 4, 16, clr=70000) + bytes(32))
write('bitfields32.bmp', fh(14 + 40 + 12 + 64, 66) + ih(4, 4, 32, comp=3) + bytes(12) + bytes(64))
write('bad_depth.bmp', fh(70, 54) + ih(4, 4, 7) + bytes(16))
write('offset_past_end.bmp', fh(14 + 40 + 1024 + 16, 0xFFFFFFF0) + ih(4, 4, 8) + grey + px8)
