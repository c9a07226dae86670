#include "media/graphics/color_format.h"

#include <cstring>

namespace media {

namespace {

void MaskShape(uint32_t mask, uint8_t* location, uint8_t* width)
{
    *location = 0;
    *width = 0;
    if (mask == 0)
        return;
    int bit = 0;
    while (!(mask & (uint32_t(1) << bit)))
        ++bit;
    int run = 0;
    while (bit + run < 32 && (mask & (uint32_t(1) << (bit + run))))
        ++run;
    *location = uint8_t(bit);
    *width = uint8_t(run);
}

uint32_t FullMask(int bitDepth)
{
    return bitDepth >= 32 ? 0xFFFFFFFFu : (uint32_t(1) << bitDepth) - 1;
}

uint32_t ChannelMax(int width)
{
    return width >= 32 ? 0xFFFFFFFFu : (uint32_t(1) << width) - 1;
}

uint8_t ExpandChannel(uint32_t word, uint32_t mask, int location, int width)
{
    if (width == 0)
        return 0;
    const uint64_t value = (word & mask) >> location;
    return uint8_t(value * 255 / ChannelMax(width));
}

uint32_t ShrinkChannel(uint8_t value, int location, int width)
{
    if (width == 0)
        return 0;
    uint64_t field;
    if (width <= 8)
        field = value >> (8 - width);
    else
        field = uint64_t(value) * ChannelMax(width) / 255;
    return uint32_t(field << location);
}

}  // namespace

void UpdateNoneMask(ColorFormat& f)
{
    f.noneMask = FullMask(f.bitDepth) & ~(f.redMask | f.greenMask | f.blueMask | f.alphaMask);
    if (f.usesPalette)
        f.noneMask = 0;
    MaskShape(f.noneMask, &f.noneLocation, &f.noneWidth);
}

ColorFormat MakeColorFormat(int bitDepth, uint32_t redMask, uint32_t greenMask, uint32_t blueMask, uint32_t alphaMask)
{
    ColorFormat f;
    f.bitDepth = int16_t(bitDepth);
    f.bytesPerPixel = int16_t(bitDepth / 8);
    f.redMask = redMask;
    f.greenMask = greenMask;
    f.blueMask = blueMask;
    f.alphaMask = alphaMask;
    MaskShape(redMask, &f.redLocation, &f.redWidth);
    MaskShape(greenMask, &f.greenLocation, &f.greenWidth);
    MaskShape(blueMask, &f.blueLocation, &f.blueWidth);
    MaskShape(alphaMask, &f.alphaLocation, &f.alphaWidth);
    UpdateNoneMask(f);
    return f;
}

ColorFormat MakePaletteVariant(const ColorFormat& entryFormat)
{
    ColorFormat f = entryFormat;
    f.bitDepth = 8;
    f.bytesPerPixel = 1;
    f.usesPalette = true;
    std::memset(f.palette, 0, sizeof f.palette);
    UpdateNoneMask(f);
    return f;
}

const ColorFormat& GetStandardFormat(StandardFormat id)
{
    static const ColorFormat formats[] = {
        MakeColorFormat(16, 0xF800, 0x07E0, 0x001F, 0),
        MakeColorFormat(32, 0xF800, 0x07E0, 0x001F, 0x00FF0000),
        MakeColorFormat(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0),
        MakeColorFormat(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000),
        MakeColorFormat(24, 0xFF0000, 0x00FF00, 0x0000FF, 0),
        MakeColorFormat(16, 0x7C00, 0x03E0, 0x001F, 0),
        MakeColorFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000),
        MakeColorFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
        MakeColorFormat(16, 0x0F00, 0x00F0, 0x000F, 0),
        MakeColorFormat(16, 0xE0, 0x1C, 0x03, 0xFF00),
        MakeColorFormat(8, 0xE0, 0x1C, 0x03, 0),
        MakeColorFormat(32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000),
        MakeColorFormat(32, 0x000003FF, 0x000FFC00, 0x3FF00000, 0xC0000000),
        MakeColorFormat(32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000),
        MakeColorFormat(32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0),
    };
    return formats[int(id)];
}

uint32_t LoadPixelWord(const uint8_t* p, int bytesPerPixel)
{
    switch (bytesPerPixel) {
    case 1:
        return p[0];
    case 2:
        return uint32_t(p[0]) | uint32_t(p[1]) << 8;
    case 3:
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    default:
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
}

void StorePixelWord(uint8_t* p, int bytesPerPixel, uint32_t word)
{
    for (int i = 0; i < bytesPerPixel; ++i)
        p[i] = uint8_t(word >> (8 * i));
}

Rgba DecodeColor(const ColorFormat& f, uint32_t word)
{
    Rgba c;
    c.r = ExpandChannel(word, f.redMask, f.redLocation, f.redWidth);
    c.g = ExpandChannel(word, f.greenMask, f.greenLocation, f.greenWidth);
    c.b = ExpandChannel(word, f.blueMask, f.blueLocation, f.blueWidth);
    c.a = f.alphaWidth ? ExpandChannel(word, f.alphaMask, f.alphaLocation, f.alphaWidth) : 255;
    return c;
}

uint32_t EncodeColor(const ColorFormat& f, Rgba c)
{
    return ShrinkChannel(c.r, f.redLocation, f.redWidth) | ShrinkChannel(c.g, f.greenLocation, f.greenWidth) |
           ShrinkChannel(c.b, f.blueLocation, f.blueWidth) | ShrinkChannel(c.a, f.alphaLocation, f.alphaWidth) |
           f.noneMask;
}

Rgba ReadPixel(const ColorFormat& f, const uint8_t* p)
{
    if (f.usesPalette) {
        const uint8_t* entry = f.palette[p[0]];
        Rgba c;
        c.b = entry[0];
        c.g = entry[1];
        c.r = entry[2];
        c.a = f.alphaMask ? entry[3] : 255;
        return c;
    }
    return DecodeColor(f, LoadPixelWord(p, f.bytesPerPixel));
}

void WritePixel(const ColorFormat& f, uint8_t* p, Rgba c)
{
    if (f.usesPalette) {
        int best = 0;
        int bestDistance = 1 << 30;
        for (int i = 0; i < 256; ++i) {
            const uint8_t* e = f.palette[i];
            const int db = e[0] - c.b, dg = e[1] - c.g, dr = e[2] - c.r;
            const int distance = db * db + dg * dg + dr * dr;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        p[0] = uint8_t(best);
        return;
    }
    StorePixelWord(p, f.bytesPerPixel, EncodeColor(f, c));
}

bool SameLayout(const ColorFormat& a, const ColorFormat& b)
{
    return !a.usesPalette && !b.usesPalette && a.bitDepth == b.bitDepth && a.redMask == b.redMask &&
           a.greenMask == b.greenMask && a.blueMask == b.blueMask && a.alphaMask == b.alphaMask &&
           a.compressedKind == b.compressedKind;
}

}  // namespace media
