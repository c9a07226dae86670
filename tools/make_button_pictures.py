#!/usr/bin/env python3
"""Draws the two 20 x 20 drop-down button pictures of the preparation screen:
PIC/button.png (released, raised) and PIC/button2.png (pressed, sunken).
Plain RGB without alpha: black pixels are the transparent colour."""
import os
import struct
import zlib

SIZE = 20


def png(path, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in rows)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)) \
        + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def button(pressed):
    face = (150, 150, 160) if not pressed else (110, 110, 120)
    light, dark = (230, 230, 240), (60, 60, 70)
    if pressed:
        light, dark = dark, light
    rows = [[face] * SIZE for _ in range(SIZE)]
    for i in range(SIZE):
        rows[0][i] = rows[i][0] = light
        rows[SIZE - 1][i] = rows[i][SIZE - 1] = dark
    # A downward triangle: the list opens below.
    shift = 1 if pressed else 0
    for r in range(5):
        y = 8 + r + shift
        for x in range(5 + r + shift, 15 - r + shift):
            rows[y][x] = (255, 255, 255)
    return rows


if __name__ == "__main__":
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "PIC")
    os.makedirs(folder, exist_ok=True)
    png(os.path.join(folder, "button.png"), button(False))
    png(os.path.join(folder, "button2.png"), button(True))
