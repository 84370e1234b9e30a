#!/usr/bin/env python3
"""Draws the 16 x 16 flags of the shipped languages as 24-bit BMP files beside this script.

Each flag fills the framed 16 x 11 middle of the icon, like the built-in English one; the
rows above and below are fuchsia, the colour the language lists take as transparent (the
bottom-left pixel of a flag bitmap).
"""
import os
import struct

FUCHSIA = (255, 0, 255)
GRAY = (128, 128, 128)
TOP, BOTTOM = 2, 12  # the framed rows


def finnish(x, y):
    blue, white = (0, 53, 128), (255, 255, 255)
    # The Nordic cross, its upright left of the middle.
    return blue if x in (5, 6) or y in (6, 7) else white


def german(x, y):
    stripe = (y - TOP - 1) * 3 // (BOTTOM - TOP - 1)
    return [(0, 0, 0), (221, 0, 0), (255, 206, 0)][stripe]


def french(x, y):
    stripe = x * 3 // 16
    return [(0, 35, 149), (255, 255, 255), (237, 41, 57)][stripe]


def spanish(x, y):
    red, yellow = (170, 21, 27), (241, 191, 0)
    # Red, yellow twice as wide, red.
    return yellow if 5 <= y <= 9 else red


def draw(paint):
    rows = []
    for y in range(16):
        row = []
        for x in range(16):
            if y < TOP or y > BOTTOM:
                row.append(FUCHSIA)
            elif y in (TOP, BOTTOM) or x in (0, 15):
                row.append(GRAY)
            else:
                row.append(paint(x, y))
        rows.append(row)
    return rows


def write_bmp(path, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = b''
    for row in reversed(rows):  # bottom-up
        line = b''.join(struct.pack('BBB', b, g, r) for r, g, b in row)
        pixels += line + b'\0' * (stride - len(line))
    header = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + pixels)


if __name__ == '__main__':
    here = os.path.dirname(os.path.abspath(__file__))
    for name, paint in (('Finnish', finnish), ('German', german), ('French', french),
                        ('Spanish', spanish)):
        write_bmp(os.path.join(here, name + '.bmp'), draw(paint))
