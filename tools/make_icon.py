#!/usr/bin/env python3
"""Draws the program's icon, SIZE x SIZE pixels, as an RGBA PNG file:

    make_icon.py SIZE OUT.png

A dark rounded square holding a sight ring and two machines' arrowheads
facing each other (army A red from the left, army B blue from the right).
The shapes are described in a unit square and sampled 4 x 4 times per pixel,
so every size is drawn from the same picture."""
import math
import struct
import sys
import zlib

BACKGROUND = (35, 48, 63)
RING = (120, 200, 190)
ARMY_A = (220, 70, 60)
ARMY_B = (70, 130, 230)


def rounded_square(x, y, margin=0.04, radius=0.18):
    # Distance test against a square with rounded corners.
    lo, hi = margin + radius, 1 - margin - radius
    dx = max(lo - x, 0, x - hi)
    dy = max(lo - y, 0, y - hi)
    return dx * dx + dy * dy <= radius * radius and margin <= x <= 1 - margin and margin <= y <= 1 - margin


def ring(x, y):
    d = math.hypot(x - 0.5, y - 0.5)
    on_circle = 0.30 <= d <= 0.355
    on_cross = (abs(x - 0.5) <= 0.02 and (y < 0.30 or y > 0.70) and 0.10 < y < 0.90) or \
               (abs(y - 0.5) <= 0.02 and (x < 0.30 or x > 0.70) and 0.10 < x < 0.90)
    return on_circle or on_cross


def arrowhead(x, y, tip_x, towards):
    # A chevron pointing along towards (+1 right, -1 left), tip at (tip_x, 0.5).
    u = (tip_x - x) * towards  # distance behind the tip
    if u < 0 or u > 0.22:
        return False
    half = u * 0.9
    return abs(y - 0.5) <= half and not (u > 0.09 and abs(y - 0.5) <= (u - 0.09) * 0.9)


def colour_at(x, y):
    if not rounded_square(x, y):
        return None
    if arrowhead(x, y, 0.47, +1):
        return ARMY_A
    if arrowhead(x, y, 0.53, -1):
        return ARMY_B
    if ring(x, y):
        return RING
    return BACKGROUND


def draw(size, samples=4):
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size)
                    if c:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            n = samples * samples
            # Colours averaged over the covered samples, coverage as alpha.
            row += bytes((r // a, g // a, b // a, a * 255 // n)) if a else bytes(4)
        rows.append(bytes(row))
    return rows


def write_png(path, size, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) \
        + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 3 or not sys.argv[1].isdigit() or not 16 <= int(sys.argv[1]) <= 1024:
        sys.exit("usage: make_icon.py SIZE OUT.png (SIZE 16 to 1024)")
    size = int(sys.argv[1])
    write_png(sys.argv[2], size, draw(size))
