#include "media/graphics/mem_image.h"

#include <algorithm>
#include <cstring>

#include "media/core/memory.h"

namespace media {

bool CreateMemImage(MEMIMG* image, int32_t width, int32_t height, const ColorFormat& format)
{
    *image = MEMIMG{};
    if (width <= 0 || height <= 0 || format.bytesPerPixel <= 0)
        return false;
    // Rows padded to 4 bytes, as a device-independent bitmap wants them.
    const int64_t pitch = (int64_t(width) * format.bytesPerPixel + 3) & ~int64_t(3);
    const int64_t bytes = pitch * height;
    if (bytes > INT32_MAX - 4096)  // the memory manager counts in 32 bits
        return false;
    void* pixels = MemAllocZeroed(int32_t(bytes), "", 0);
    if (!pixels)
        return false;
    image->marker = MemImageMarker;
    image->width = width;
    image->height = height;
    image->pixels = static_cast<uint8_t*>(pixels);
    image->pitch = int32_t(pitch);
    image->format = format;
    return true;
}

void ReleaseMemImage(MEMIMG* image)
{
    if (image->pixels)
        MemFree(image->pixels);
    image->pixels = nullptr;
    image->marker = 0;
    image->width = image->height = image->pitch = 0;
}

bool MemImageValid(const MEMIMG* image)
{
    return image && image->marker == MemImageMarker && image->pixels;
}

PixelRegion WholeRegion(MEMIMG* image)
{
    return SubRegion(image, 0, 0, image->width, image->height);
}

PixelRegion SubRegion(MEMIMG* image, int32_t x, int32_t y, int32_t width, int32_t height)
{
    PixelRegion r;
    r.format = &image->format;
    r.pitch = image->pitch;
    r.width = width;
    r.height = height;
    r.pixels = image->pixels + int64_t(y) * image->pitch + int64_t(x) * image->format.bytesPerPixel;
    return r;
}

void FillRegion(const PixelRegion& region, uint32_t word)
{
    if (region.width <= 0 || region.height <= 0)
        return;
    // Paint the first row pixel by pixel, then copy it into the others.
    const int bpp = region.format->bytesPerPixel;
    uint8_t* first = region.Row(0);
    if (bpp == 2) {
        const uint16_t w16 = uint16_t(word);
        for (int32_t x = 0; x < region.width; ++x)
            std::memcpy(first + 2 * x, &w16, 2);
    } else if (bpp == 4) {
        for (int32_t x = 0; x < region.width; ++x)
            std::memcpy(first + 4 * x, &word, 4);
    } else {
        for (int32_t x = 0; x < region.width; ++x)
            StorePixelWord(first + int64_t(x) * bpp, bpp, word);
    }
    const size_t rowBytes = size_t(region.width) * bpp;
    for (int32_t y = 1; y < region.height; ++y)
        std::memcpy(region.Row(y), first, rowBytes);
}

}  // namespace media
