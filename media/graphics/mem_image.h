// The media layer's in-memory image (MEMIMG): a pixel buffer with its format.
// The software screen and every image of the software path are MEMIMGs; their
// pixels come from the tracking memory manager.
#pragma once

#include <cstdint>

#include "media/graphics/color_format.h"

namespace media {

constexpr uint32_t MemImageMarker = 0x12345678;

struct MEMIMG {
    uint32_t marker = 0;  // MemImageMarker while the image holds pixels
    int32_t width = 0, height = 0;
    uint8_t* pixels = nullptr;
    int32_t pitch = 0;  // bytes per row
    ColorFormat format;
};

// A rectangle of pixels inside some MEMIMG; what drawing reads and writes.
struct PixelRegion {
    uint8_t* pixels = nullptr;  // the top-left pixel of the region
    int32_t width = 0, height = 0;
    int32_t pitch = 0;
    const ColorFormat* format = nullptr;

    uint8_t* Row(int32_t y) const { return pixels + int64_t(y) * pitch; }
    uint8_t* At(int32_t x, int32_t y) const { return Row(y) + int64_t(x) * format->bytesPerPixel; }
};

// Allocates the pixels (zeroed). False, with the image left empty, when the
// size is not positive, too large, or the memory is not there.
bool CreateMemImage(MEMIMG* image, int32_t width, int32_t height, const ColorFormat& format);
void ReleaseMemImage(MEMIMG* image);
bool MemImageValid(const MEMIMG* image);

PixelRegion WholeRegion(MEMIMG* image);
// The sub-rectangle (x, y, width, height), which the caller keeps inside.
PixelRegion SubRegion(MEMIMG* image, int32_t x, int32_t y, int32_t width, int32_t height);

// Paints every pixel of the region with one pixel word.
void FillRegion(const PixelRegion& region, uint32_t word);

}  // namespace media
