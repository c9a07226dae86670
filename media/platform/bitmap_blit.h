// Copying and stretching bitmaps into a 32-bit X8R8G8B8 client area.
//
// 16-bit pixels are widened by bit replication (a 5-bit 0x1F becomes 0xFF, a
// 6-bit 0x3F becomes 0xFF, 0x10 becomes 0x84), so that full intensity stays
// full intensity. The result's top byte is always 0.
#pragma once

#include "media/platform/backend.h"

#include <cstddef>
#include <cstdint>

namespace media::platform {

// Widens an n-bit channel value to 8 bits by repeating its bits.
uint8_t ReplicateBits(uint32_t value, int bits);

// R5G6B5 to X8R8G8B8 for a run of pixels.
void ExpandRgb565(const uint16_t* source, uint32_t* destination, size_t count);

// Writes the source rectangle of the bitmap into the destination rectangle of
// the target (nearest-neighbour when the sizes differ), clipped to the target
// and to the bitmap. *updated receives the target rectangle written (empty
// when nothing was). False when the bitmap description cannot be used.
bool BlitBitmap(const ClientPixels& target, const void* pixels, const BitmapDescription& bitmap, const Rect& source,
                const Rect& destination, Rect* updated);

// Fills a rectangle of the target (clipped) with one colour.
Rect FillPixels(const ClientPixels& target, const Rect& rect, uint32_t color);

}  // namespace media::platform
