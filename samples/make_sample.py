#!/usr/bin/env python3
"""Draws the sample picture intelww4.bmp: a house under the sun, beside a tree.

One bit per pixel, 72 x 36 pixels, stored bottom row first with rows padded to
4 bytes and a two-entry palette (0 white, 1 black), as ordinary BMP viewers expect.
Run it from this folder:  python3 make_sample.py
"""
import math
import struct

WIDTH, HEIGHT = 72, 36


def draw():
    ink = [[0] * WIDTH for _ in range(HEIGHT)]  # ink[y][x], y = 0 is the top row

    def dot(x, y):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            ink[y][x] = 1

    def box(x0, y0, x1, y1, fill=False):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                if fill or y in (y0, y1) or x in (x0, x1):
                    dot(x, y)

    # Sun with rays, top left. Console cells are about twice as tall as wide,
    # so circles are drawn twice as wide as high.
    cx, cy = 9, 6
    for y in range(HEIGHT):
        for x in range(WIDTH):
            d = math.hypot((x - cx) / 2.0, y - cy)
            if d <= 3.2:
                dot(x, y)
    for k in range(8):
        a = k * math.pi / 4
        for r in (4.6, 5.4):
            dot(round(cx + 2 * r * math.cos(a)), round(cy + r * math.sin(a)))

    # House: roof, chimney, walls, door, two windows.
    left, right, eaves, base = 20, 48, 17, 32
    peak_x, peak_y = (left + right) // 2, 7
    for y in range(peak_y, eaves + 1):
        half = (y - peak_y) * 2
        for step in (0, 1):
            dot(peak_x - half - step, y)
            dot(peak_x + half + step, y)
    for x in range(peak_x - 20, peak_x + 21):
        dot(x, eaves)
    for y in range(6, 12):  # chimney, standing on the right slope
        if peak_x + (y - peak_y) * 2 + 1 < 41:
            dot(40, y)
            dot(43, y)
    for x in range(40, 44):
        dot(x, 6)
    box(left, eaves, right, base)
    box(31, 24, 36, base)
    dot(35, 28)
    box(23, 20, 28, 24)
    box(40, 20, 45, 24)
    for x in (25, 26):
        dot(x, 22)
    for x in (42, 43):
        dot(x, 22)

    # Tree on the right: a round crown on a trunk.
    tx, ty = 63, 17
    for y in range(HEIGHT):
        for x in range(WIDTH):
            d = math.hypot((x - tx) / 2.0, y - ty)
            if 3.2 <= d <= 4.2:
                dot(x, y)
    box(62, 22, 64, base, fill=True)

    # Ground line.
    for x in range(WIDTH):
        dot(x, base + 1)
    return ink


def bmp_bytes(ink):
    stride = (WIDTH + 31) // 32 * 4
    rows = []
    for y in reversed(range(HEIGHT)):  # bottom row first
        row = bytearray(stride)
        for x in range(WIDTH):
            if ink[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(row))
    pixels = b"".join(rows)
    palette = bytes([0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00])
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 1, 0, len(pixels), 2835, 2835, 2, 2)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + palette + pixels


if __name__ == "__main__":
    with open("intelww4.bmp", "wb") as f:
        f.write(bmp_bytes(draw()))
