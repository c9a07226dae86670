#!/usr/bin/env python3
"""Checks that a PNG picture is another one with every pixel made N x N:
its size is N times the first's, and each of its pixels has the colour of the
first's pixel at (x / N, y / N). Rectangles of the first picture may be left
out (a frame-rate box that changes from frame to frame).

    scaled_image_compare.py SMALL LARGE N [X0,Y0,X1,Y1 ...]

Prints "same" or what differs (the first few pixels) and exits 1 then."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from png_probe import read_png  # noqa: E402


def main():
    if len(sys.argv) < 4:
        raise SystemExit(__doc__)
    small_w, small_h, small_c, small = read_png(sys.argv[1])
    large_w, large_h, large_c, large = read_png(sys.argv[2])
    n = int(sys.argv[3])
    masks = [tuple(int(v) for v in m.split(",")) for m in sys.argv[4:]]
    if (large_w, large_h) != (small_w * n, small_h * n):
        print(f"size {large_w} x {large_h}, expected {small_w * n} x {small_h * n}")
        return 1
    wrong = []
    for y in range(large_h):
        sy = y // n
        for x in range(large_w):
            sx = x // n
            if any(x0 <= sx < x1 and y0 <= sy < y1 for x0, y0, x1, y1 in masks):
                continue
            a = small[sy][sx * small_c:sx * small_c + 3]
            b = large[y][x * large_c:x * large_c + 3]
            if a != b:
                wrong.append(f"{x},{y}: {tuple(b)} but {sx},{sy}: {tuple(a)}")
    if wrong:
        print(f"{len(wrong)} pixels differ; first: " + "; ".join(wrong[:5]))
        return 1
    print("same")
    return 0


if __name__ == "__main__":
    sys.exit(main())
