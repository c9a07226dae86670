// Pixel layouts: the description of one pixel format (ColorFormat), the
// standard formats the media layer uses, and reading and writing single
// pixels of any described format as 8-bit channels.
#pragma once

#include <cstdint>

namespace media {

struct ColorFormat {
    int16_t bitDepth = 0;       // 8, 16, 24 or 32
    int16_t bytesPerPixel = 0;  // bitDepth / 8
    uint8_t redWidth = 0, greenWidth = 0, blueWidth = 0, alphaWidth = 0;
    uint8_t redLocation = 0, greenLocation = 0, blueLocation = 0, alphaLocation = 0;
    uint32_t redMask = 0, greenMask = 0, blueMask = 0, alphaMask = 0;
    uint32_t noneMask = 0;  // bits of the pixel word that belong to no channel
    // 8-bit palette formats: the pixel is an index; entries are blue, green,
    // red and a fourth byte (alpha when the format has an alpha mask). The
    // masks then describe the colour format the entries came from.
    bool usesPalette = false;
    uint8_t palette[256][4] = {};
    uint8_t noneLocation = 0, noneWidth = 0;
    int32_t compressedKind = 0;  // 0, or 1..5 for DXT1..DXT5
};

// Builds a format from its masks: each location is the mask's lowest set bit,
// each width the run of set bits starting there; a zero mask gives zeros.
ColorFormat MakeColorFormat(int bitDepth, uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                            uint32_t alphaMask);
// The 8-bit palette variant of a format: same masks, one index byte per pixel.
ColorFormat MakePaletteVariant(const ColorFormat& entryFormat);
// Recomputes the none-mask and its location and width from the masks.
void UpdateNoneMask(ColorFormat& format);

enum class StandardFormat {
    R5G6B5,
    R5G6B5A8,  // 32-bit word: R5G6B5 in the low 16 bits, alpha in bits 16..23
    X8R8G8B8,
    A8R8G8B8,
    R8G8B8,
    X1R5G5B5,
    A1R5G5B5,
    A4R4G4B4,
    X4R4G4B4,
    A8R3G3B2,
    R3G3B2,
    A2R10G10B10,
    A2B10G10R10,
    A8B8G8R8,
    X8B8G8R8,
};
const ColorFormat& GetStandardFormat(StandardFormat id);

// 8-bit channels of one pixel.
struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

// Reads the pixel word (or palette index) at p; formats without an alpha
// channel read alpha 255. Channels are scaled with value x 255 / (2^width - 1).
Rgba ReadPixel(const ColorFormat& format, const uint8_t* p);
// Writes 8-bit channels: each keeps its top bits (rescaled for channels wider
// than 8 bits), the none-mask bits are set. Palette formats take the nearest
// entry.
void WritePixel(const ColorFormat& format, uint8_t* p, Rgba colour);
// The pixel word of a colour, as WritePixel stores it (not for palette formats).
uint32_t EncodeColor(const ColorFormat& format, Rgba colour);
// The channels of a pixel word (not for palette formats).
Rgba DecodeColor(const ColorFormat& format, uint32_t word);
uint32_t LoadPixelWord(const uint8_t* p, int bytesPerPixel);
void StorePixelWord(uint8_t* p, int bytesPerPixel, uint32_t word);

bool SameLayout(const ColorFormat& a, const ColorFormat& b);  // depth and masks equal, no palette

}  // namespace media
