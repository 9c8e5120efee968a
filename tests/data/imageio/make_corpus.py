#!/usr/bin/env python3
"""Writes the image files used by tests/cli/imageio_test.cpp.

Good files have the name good_*; every other file is damaged and must be
refused by the image reader with a message. The
JPEG source is drawn with ImageMagick's convert; everything else is built
byte by byte."""
import random
import struct
import subprocess
import zlib


def chunk(kind, data, crc=None):
    if crc is None:
        crc = zlib.crc32(kind + data)
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', crc)


SIG = b'\x89PNG\r\n\x1a\n'


def png(width, height, rows, colour_type=2, depth=8):
    ihdr = struct.pack('>IIBBBBB', width, height, depth, colour_type, 0, 0, 0)
    raw = b''.join(b'\x00' + r for r in rows)
    return SIG + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b'')


def write(name, data):
    with open(name, 'wb') as f:
        f.write(data)


rng = random.Random(20261206)
noise_rows = [bytes(rng.randrange(256) for _ in range(3 * 16)) for _ in range(16)]
good_png = png(16, 16, noise_rows)
idat_end = good_png.index(b'IEND') - 8

write('empty.png', b'')
write('random.bin', bytes(rng.randrange(256) for _ in range(512)))
write('gif_named.png', b'GIF89a' + bytes(20))
write('text_named.png', b'This is a text file with an image name.\n')
write('signature_then_noise.png', SIG + bytes(rng.randrange(256) for _ in range(200)))
write('truncated_in_idat.png', good_png[:idat_end - 20])
write('truncated_in_ihdr.png', good_png[:20])
ihdr_huge = struct.pack('>IIBBBBB', 100000, 100000, 8, 2, 0, 0, 0)
write('huge_100000x100000.png',
      SIG + chunk(b'IHDR', ihdr_huge) + chunk(b'IDAT', zlib.compress(b'\x00' * 64)) + chunk(b'IEND', b''))
ihdr_zero = struct.pack('>IIBBBBB', 0, 16, 8, 2, 0, 0, 0)
write('zero_width.png', SIG + chunk(b'IHDR', ihdr_zero) + good_png[33:])
write('bad_ihdr_crc.png', SIG + chunk(b'IHDR', good_png[16:29], crc=0x12345678) + good_png[33:])
# Image data that inflates to fewer rows than the header promises.
write('short_image_data.png', png(16, 16, noise_rows[:4]))

subprocess.run(['convert', '-size', '32x32', 'gradient:red-blue', '-quality', '90', 'source.jpg'], check=True)
with open('source.jpg', 'rb') as f:
    good_jpeg = f.read()
subprocess.run(['rm', 'source.jpg'], check=True)
write('truncated_half.jpg', good_jpeg[:len(good_jpeg) // 2])
write('header_only.jpg', b'\xff\xd8\xff')
# Frame header claiming 65000 x 65000 pixels.
sof = good_jpeg.index(b'\xff\xc0')
write('huge_65000x65000.jpg', good_jpeg[:sof + 5] + struct.pack('>HH', 65000, 65000) + good_jpeg[sof + 9:])
# A frame header claiming 4000 x 4000 pixels in a 1 KB file.
write('claims_too_much.jpg', good_jpeg[:sof + 5] + struct.pack('>HH', 4000, 4000) + good_jpeg[sof + 9:])
# A third of the entropy-coded data cut out: the scan runs into the end.
sos = good_jpeg.index(b'\xff\xda')
third = (len(good_jpeg) - sos) // 3
write('scan_cut_short.jpg', good_jpeg[:sos + third] + good_jpeg[sos + 2 * third:])
write('bmp_signature_only.bmp', b'BM' + bytes(10))
# A small image claiming far more pixels than its data can hold.
write('claims_too_much.png', png(8000, 8000, [bytes(3 * 8000)] * 2)[:-12] + chunk(b'IEND', b''))

# Good files: grey and CMYK JPEGs, a left-to-right ramp (white to black,
# yellow to blue).
subprocess.run(['convert', '-size', '16x8', 'gradient:white-black', '-rotate', '-90', '-resize', '16x8!',
                '-colorspace', 'Gray', '-quality', '95', 'good_grey.jpg'], check=True)
subprocess.run(['convert', '-size', '8x16', 'gradient:yellow-blue', '-rotate', '-90',
                '-colorspace', 'CMYK', '-quality', '95', 'good_cmyk.jpg'], check=True)

# Decompression bombs: tiny files whose headers promise huge images.
def segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack('>H', len(payload) + 2) + payload


def jpeg_frame(sof, width, height, scan_end):
    dqt = segment(0xDB, b'\x00' + bytes([1] * 64))
    frame = segment(sof, struct.pack('>BHHB', 8, height, width, 1) + b'\x01\x11\x00')
    scan = segment(0xDA, b'\x01\x01\x00' + bytes([0, scan_end, 0]))
    return b'\xff\xd8' + dqt + frame + scan


# A progressive arithmetic-coded JPEG of 16384 x 16384 pixels whose only
# scan holds no data: the decoder would pad it and allocate gigabytes.
write('arith_progressive_16384.jpg', jpeg_frame(0xCA, 16384, 16384, 0) + b'\xff\xd9')
# A sequential arithmetic-coded JPEG of 4096 x 4096 pixels, within the pixel
# limit, whose scan ends after two bytes: the decoder would pad it to 16 MP.
write('arith_empty_scan_4096.jpg', jpeg_frame(0xC9, 4096, 4096, 63) + b'\x00\x00\xff\xd9')


def adam7_rows(width, height, depth):
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    raw = bytearray()
    for x0, y0, dx, dy in passes:
        w = (width - x0 + dx - 1) // dx
        h = (height - y0 + dy - 1) // dy
        if w and h:
            raw += bytes(1 + (w * depth + 7) // 8) * h
    return bytes(raw)


# An interlaced 1-bit grey PNG with transparency, 16384 x 16384 pixels in
# some 33 KB: the compression is real, but the decoder's buffer for the
# passes would take 1 GB on top of the image.
ihdr = struct.pack('>IIBBBBB', 16384, 16384, 1, 0, 0, 0, 1)
write('interlaced_alpha_16384.png',
      SIG + chunk(b'IHDR', ihdr) + chunk(b'tRNS', b'\x00\x00') +
      chunk(b'IDAT', zlib.compress(adam7_rows(16384, 16384, 1), 9)) + chunk(b'IEND', b''))
