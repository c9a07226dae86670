"""Compares two runs of gl_image_probe (memory path, hardware path) case by
case: every pixel of a case's rectangle within the case's steps of the
screen's channel width. Prints each case that differs, with a few pixels.

    gl_image_compare.py MEMORY_RUN HARDWARE_RUN [--five-bit-green]

--five-bit-green: the hardware screen is X1R5G5B5, whose green keeps five
bits where the memory screen's keeps six: a case's steps count in five-bit
green there (two steps of six-bit green each), plus one for the low bit,
which reads back as a copy of the highest."""
import struct
import sys


def load(folder):
    header = None
    cases = []
    with open(folder + "/out") as out:
        for line in out:
            parts = line.split()
            if parts and parts[0] == "path":
                header = (int(parts[3]), int(parts[5]), int(parts[6]))
            elif parts and parts[0] == "case":
                steps = tuple(int(v) for v in parts[6].split(","))
                cases.append((parts[1], *map(int, parts[2:6]), steps))
    with open(folder + "/words", "rb") as f:
        data = f.read()
    words = struct.unpack("<%dI" % (len(data) // 4), data)
    return header, cases, words


def channels(word, depth):
    if depth == 16:
        return ((word >> 11) & 31, (word >> 5) & 63, word & 31)
    return ((word >> 16) & 255, (word >> 8) & 255, word & 255)


def main():
    (depth, width, height), cases, memory = load(sys.argv[1])
    header, _, hardware = load(sys.argv[2])
    if "--five-bit-green" in sys.argv[3:]:
        cases = [(name, x, y, w, h, (s[0], 2 * s[0] + 1, s[2])) for name, x, y, w, h, s in cases]
    if header != (depth, width, height):
        print("the runs differ in depth or size:", (depth, width, height), header)
        return 1
    bad = 0
    for name, x0, y0, w, h, steps in cases:
        wrong = []
        for y in range(y0, y0 + h):
            for x in range(x0, x0 + w):
                a = memory[y * width + x]
                b = hardware[y * width + x]
                if a == b:
                    continue
                apart = [abs(p - q) for p, q in zip(channels(a, depth), channels(b, depth))]
                if any(d > s for d, s in zip(apart, steps)):
                    wrong.append((x - x0, y - y0, a, b))
        if wrong:
            bad += 1
            sample = ", ".join("(%d,%d) %08x/%08x" % p for p in wrong[:6])
            print("  %s: %d pixels beyond %s steps: %s" % (name, len(wrong), steps, sample))
        else:
            print("  %s: agrees" % name)
    return 1 if bad else 0


sys.exit(main())
