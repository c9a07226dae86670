#!/usr/bin/env python3
"""Writes the image-loader test fixtures into tests/data/images/.

Pictures are made from formulas that tests/image_fixture.h repeats, so the
tests compare decoded pixels with the pixels the files were made from:

- pattern(x, y): an 11 x 7 RGBA picture with every channel varying;
- tga_pixel(x, y): pattern with a run of three at each row start;
- TGA types 1, 2, 9, 10 at 16, 24 and 32 bits, bottom-up and top-down, one
  right-to-left, with and without the footer, with an ID field;
- raw BGRA with 8- and 16-bit channels;
- DDS DXT1 to DXT5 whose blocks hold two exact colours (mip levels included;
  .expected holds the first level as RGBA bytes),
  and uncompressed DDS described by masks;
- pattern.png, smooth.png (sources for the ImageMagick fixtures, made by
  make_image_fixtures.sh);
- PNG of every 8-bit colour type, with and without tRNS, 13 x 9 (a size of
  its own, so an alpha picture of another fixture never fits it);
- BMP: 4-bit RLE, 8-bit top-down with a short palette, 16-bit 5-6-5 fields.

The tests need none of the public suites (bmpsuite, PngSuite) for these.
"""
import os
import struct
import sys
import zlib

W, H = 11, 7


def pattern(x, y):
    return ((x * 37 + y * 11) & 255, (x * 5 + y * 53) & 255, (x * 91 + y * 7) & 255, (x * 23 + y * 29 + 5) & 255)


def smooth(x, y, w=40, h=24):
    return (x * 255 // (w - 1), y * 255 // (h - 1), 128, 255)


def tga_pixel(x, y):
    return pattern(0, y) if x < 3 else pattern(x, y)  # a run at the start of every row


def palette_entry(i):
    return pattern(i % W, i // W)


def mapped_index(x, y):
    return (x + y * 3) % 20


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def png(width, height, pixel, colour_type=6, palette=b"", trns=b""):
    """8-bit PNG; pixel(x, y) gives the channel values of the colour type."""
    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)) +
            (chunk(b"PLTE", palette) if palette else b"") + (chunk(b"tRNS", trns) if trns else b"") +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


PNG_W, PNG_H = 13, 9


def png_kinds():
    """name -> PNG bytes: every 8-bit colour type, and tRNS where it applies."""
    palette = b"".join(bytes(palette_entry(i)[:3]) for i in range(20))
    palette_alpha = bytes(palette_entry(i)[3] for i in range(20))
    rgb = lambda x, y: pattern(x, y)[:3]
    grey = lambda x, y: pattern(x, y)[:1]
    return {
        "png_rgba.png": png(PNG_W, PNG_H, pattern, 6),
        "png_rgb.png": png(PNG_W, PNG_H, rgb, 2),
        "png_rgb_trns.png": png(PNG_W, PNG_H, rgb, 2, trns=struct.pack(">HHH", *pattern(1, 0)[:3])),
        "png_palette.png": png(PNG_W, PNG_H, lambda x, y: (mapped_index(x, y),), 3, palette),
        "png_palette_trns.png": png(PNG_W, PNG_H, lambda x, y: (mapped_index(x, y),), 3, palette, palette_alpha),
        "png_grey.png": png(PNG_W, PNG_H, grey, 0),
        "png_grey_trns.png": png(PNG_W, PNG_H, grey, 0, trns=struct.pack(">H", pattern(1, 0)[0])),
        "png_grey_alpha.png": png(PNG_W, PNG_H, lambda x, y: (pattern(x, y)[0], pattern(x, y)[3]), 4),
    }


def bmp_index4(x, y):
    return y % 16 if x < 4 else (x * 7 + y) % 16  # a run at the start of every row, then no runs


def bmp(width, height, bits, compression, palette, rows, masks=b""):
    """BITMAPINFOHEADER file; rows are the stored rows in file order."""
    data = b"".join(rows)
    offset = 14 + 40 + len(masks) + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(data), 2835, 2835,
                       len(palette) // 4, 0)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + masks + palette + data


def bmp_palette(count):
    return b"".join(bytes((b, g, r, 0)) for r, g, b, _ in (palette_entry(i) for i in range(count)))


def pad4(row):
    return row + b"\0" * (-len(row) % 4)


def rle4_row(indices):
    """Encoded runs where three or more pixels repeat, absolute runs between."""
    out = b""
    i, n = 0, len(indices)
    while i < n:
        run = 1
        while i + run < n and run < 255 and indices[i + run] == indices[i]:
            run += 1
        if run >= 3:
            out += bytes((run, indices[i] << 4 | indices[i]))
            i += run
        elif n - i < 3:  # absolute runs hold three or more: the last one or two as an encoded pair
            rest = indices[i:] + [0]
            out += bytes((n - i, rest[0] << 4 | rest[1]))
            i = n
        else:
            lit = 3
            while i + lit < n and lit < 255 and indices[i + lit:i + lit + 3] != [indices[i + lit]] * 3:
                lit += 1
            chunk = indices[i:i + lit] + [0]
            packed = bytes(chunk[k] << 4 | chunk[k + 1] for k in range(0, lit, 2))
            out += bytes((0, lit)) + packed + b"\0" * (len(packed) % 2)
            i += lit
    return out + b"\0\0"  # end of line


def bmp_kinds():
    w, h = PNG_W, PNG_H
    rle4 = b"".join(rle4_row([bmp_index4(x, y) for x in range(w)]) for y in range(h - 1, -1, -1)) + b"\0\1"
    pal8 = [pad4(bytes(mapped_index(x, y) for x in range(w))) for y in range(h)]
    fields = [pad4(b"".join(struct.pack("<H", rgb565(*pattern(x, y)[:3])) for x in range(w))) for y in range(h - 1, -1, -1)]
    return {
        "bmp_pal4_rle.bmp": bmp(w, h, 4, 2, bmp_palette(16), [rle4]),
        "bmp_pal8_topdown.bmp": bmp(w, -h, 8, 0, bmp_palette(20), pal8),
        "bmp_rgb16_565.bmp": bmp(w, h, 16, 3, b"", fields, struct.pack("<III", 0xF800, 0x07E0, 0x001F)),
    }


def tga_value(rgba, bits):
    r, g, b, a = rgba
    if bits == 16:
        word = (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3) | (0x8000 if a >= 128 else 0)
        return struct.pack("<H", word)
    if bits == 24:
        return bytes((b, g, r))
    return bytes((b, g, r, a))


def rle(values):
    """Run-length packets: runs of equal values, literal stretches otherwise."""
    out = b""
    i = 0
    while i < len(values):
        run = 1
        while i + run < len(values) and run < 128 and values[i + run] == values[i]:
            run += 1
        if run >= 2:
            out += bytes((0x80 | (run - 1),)) + values[i]
            i += run
            continue
        lit = 1
        while i + lit < len(values) and lit < 128 and (i + lit + 1 >= len(values) or values[i + lit] != values[i + lit + 1]):
            lit += 1
        out += bytes((lit - 1,)) + b"".join(values[i:i + lit])
        i += lit
    return out


def tga(kind, bits, top_down, right_to_left, footer):
    mapped = kind in (1, 9)
    ident = b"KRVNT"
    alpha_bits = {16: 1, 24: 0, 32: 8}[bits]
    descriptor = alpha_bits | (0x20 if top_down else 0) | (0x10 if right_to_left else 0)
    first = 2 if mapped else 0
    count = 20 if mapped else 0
    header = struct.pack("<BBBHHBHHHHBB", len(ident), 1 if mapped else 0, kind, first, count,
                         bits if mapped else 0, 0, 0, W, H, 8 if mapped else bits, descriptor)
    cmap = b"".join(tga_value(palette_entry(i - first), bits) for i in range(first, first + count)) if mapped else b""
    rows = range(H) if top_down else range(H - 1, -1, -1)
    values = []
    for y in rows:
        xs = range(W - 1, -1, -1) if right_to_left else range(W)
        for x in xs:
            if mapped:
                values.append(bytes((mapped_index(x, y) + first,)))
            else:
                values.append(tga_value(tga_pixel(x, y), bits))
    data = rle(values) if kind in (9, 10) else b"".join(values)
    tail = b""
    if footer:
        tail = b"\0" * 4 + struct.pack("<II", 0, 0) + b"TRUEVISION-XFILE.\0"
    return header + ident + cmap + data + tail


def bgra(sixteen):
    out = b"BGRA" + struct.pack("<III", 0x10101010 if sixteen else 0x08080808, W, H)
    for y in range(H):
        for x in range(W):
            r, g, b, a = pattern(x, y)
            if sixteen:
                out += struct.pack("<HHHH", b << 8 | (x * 7 & 255), g << 8 | 0x80, r << 8 | 0xFF, a << 8 | y)
            else:
                out += bytes((b, g, r, a))
    return out


def rgb565(r, g, b):
    return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3)


def dxt_block_colours(bx, by, level):
    """Two colours per block: c0 > c1 as 5-6-5 words (four-colour mode for DXT1)."""
    p = pattern((bx * 3 + level) % W, (by * 2 + level) % H)
    q = pattern((bx * 5 + 1) % W, (by + 3 + level) % H)
    c0, c1 = rgb565(*p[:3]), rgb565(*q[:3])
    if c0 == c1:
        c1 = c0 ^ 0x0841
    if c0 < c1:
        c0, c1 = c1, c0
    return c0, c1, p[3], q[3]


def dxt_selector(x, y):
    return (x + y) & 1  # endpoint 0 or 1: exact colours


def dxt_level(kind, width, height, level):
    out = b""
    for by in range((height + 3) // 4):
        for bx in range((width + 3) // 4):
            c0, c1, a0, a1 = dxt_block_colours(bx, by, level)
            bits = 0
            for i in range(16):
                bits |= dxt_selector(i % 4, i // 4) << (2 * i)
            colour = struct.pack("<HHI", c0, c1, bits)
            if kind == 1:
                out += colour
            elif kind in (2, 3):
                alpha = 0
                for i in range(16):
                    alpha |= ((a0 if dxt_selector(i % 4, i // 4) == 0 else a1) >> 4) << (4 * i)
                out += struct.pack("<Q", alpha) + colour
            else:
                if a0 == a1:
                    a1 = a0 ^ 1
                abits = 0
                for i in range(16):
                    abits |= dxt_selector(i % 4, i // 4) << (3 * i)
                out += bytes((a0, a1)) + abits.to_bytes(6, "little") + colour
    return out


def expand565(c):
    return (((c >> 11) & 31) * 255 + 15) // 31, (((c >> 5) & 63) * 255 + 31) // 63, ((c & 31) * 255 + 15) // 31


def dxt_expected(kind, width, height):
    """The first level's pixels as RGBA bytes (every pixel is an endpoint colour)."""
    out = b""
    for y in range(height):
        for x in range(width):
            c0, c1, a0, a1 = dxt_block_colours(x // 4, y // 4, 0)
            first = dxt_selector(x % 4, y % 4) == 0
            r, g, b = expand565(c0 if first else c1)
            if kind == 1:
                a = 255
            elif kind in (2, 3):
                a = ((a0 if first else a1) >> 4) * 17
            else:
                if a0 == a1:
                    a1 = a0 ^ 1
                a = a0 if first else a1
            out += bytes((r, g, b, a))
    return out


def dds_header(width, height, flags, pitch, mips, pf_flags, fourcc, bitcount, masks, caps):
    pf = struct.pack("<II4sI4I", 32, pf_flags, fourcc, bitcount, *masks)
    header = struct.pack("<IIIIIII", 124, flags, height, width, pitch, 0, mips) + b"\0" * 44 + pf
    header += struct.pack("<IIII", caps, 0, 0, 0) + b"\0" * 4
    return b"DDS " + header


def dds_dxt(kind, width, height, mips):
    levels = b""
    w, h = width, height
    for level in range(mips):
        levels += dxt_level(kind, w, h, level)
        w, h = max(1, w // 2), max(1, h // 2)
    flags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x80000 | (0x20000 if mips > 1 else 0)
    caps = 0x1000 | (0x400008 if mips > 1 else 0)
    size = ((width + 3) // 4) * ((height + 3) // 4) * (8 if kind == 1 else 16)
    return dds_header(width, height, flags, size, mips, 0x4, b"DXT%d" % kind, 0, (0, 0, 0, 0), caps) + levels


def dds_masked(name_bits):
    if name_bits == "a8r8g8b8":
        bits, masks = 32, (0xFF0000, 0xFF00, 0xFF, 0xFF000000)
        pack = lambda r, g, b, a: struct.pack("<I", r << 16 | g << 8 | b | a << 24)
    elif name_bits == "a1r5g5b5":
        bits, masks = 16, (0x7C00, 0x3E0, 0x1F, 0x8000)
        pack = lambda r, g, b, a: struct.pack("<H", (r >> 3) << 10 | (g >> 3) << 5 | b >> 3 | (0x8000 if a >= 128 else 0))
    else:  # a2b10g10r10: channels wider than 8 bits
        bits, masks = 32, (0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000)
        pack = lambda r, g, b, a: struct.pack("<I", (r * 4 + (r >> 6)) | (g * 4 + (g >> 6)) << 10 | (b * 4 + (b >> 6)) << 20 | (a >> 6) << 30)
    pitch = W * bits // 8 + 4  # rows padded: the header's pitch counts
    body = b""
    for y in range(H):
        row = b"".join(pack(*pattern(x, y)) for x in range(W))
        body += row + b"\xEE" * (pitch - len(row))
    flags = 0x1 | 0x2 | 0x4 | 0x8 | 0x1000
    return dds_header(W, H, flags, pitch, 0, 0x41, b"\0\0\0\0", bits, masks, 0x1000) + body


def main():
    write("pattern.png", png(W, H, pattern))
    write("smooth.png", png(40, 24, smooth))
    for kind in (1, 2, 9, 10):
        for bits in (16, 24, 32):
            for top_down in (False, True):
                for footer in (False, True):
                    name = "tga_t%d_%d_%s%s.tga" % (kind, bits, "top" if top_down else "bottom", "_footer" if footer else "")
                    write(name, tga(kind, bits, top_down, False, footer))
    write("tga_t2_32_bottom_rtl.tga", tga(2, 32, False, True, True))
    write("tga_t10_24_top_rtl.tga", tga(10, 24, True, True, False))
    write("bgra8.bgra", bgra(False))
    write("bgra16.bgra", bgra(True))
    for kind in range(1, 6):
        write("dxt%d_10x6_mips.dds" % kind, dds_dxt(kind, 10, 6, 4))
        write("dxt%d_8x8.dds" % kind, dds_dxt(kind, 8, 8, 1))
        write("dxt%d_10x6.expected" % kind, dxt_expected(kind, 10, 6))
        write("dxt%d_8x8.expected" % kind, dxt_expected(kind, 8, 8))
    for name in ("a8r8g8b8", "a1r5g5b5", "a2b10g10r10"):
        write("dds_%s.dds" % name, dds_masked(name))
    for name, data in list(png_kinds().items()) + list(bmp_kinds().items()):
        write(name, data)


OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "tests", "data", "images")
os.makedirs(OUT, exist_ok=True)
main()
