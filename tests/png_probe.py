#!/usr/bin/env python3
"""Prints the colours of pixels of an 8-bit RGB or RGBA PNG file (the headless
screenshots and ImageMagick's window captures), one "r,g,b" line per point.

    png_probe.py FILE X,Y [X,Y ...]
"""
import struct
import sys
import zlib


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    channels = {2: 3, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace:
        raise SystemExit(f"{path}: only 8-bit RGB/RGBA without interlace is read")
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return width, height, channels, rows


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    width, height, channels, rows = read_png(sys.argv[1])
    for point in sys.argv[2:]:
        x, y = (int(v) for v in point.split(","))
        if not (0 <= x < width and 0 <= y < height):
            print("outside")
            continue
        px = rows[y][x * channels:x * channels + 3]
        print(f"{px[0]},{px[1]},{px[2]}")


if __name__ == "__main__":
    main()
