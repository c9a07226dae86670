#include "media/platform/bitmap_blit.h"

#include <algorithm>
#include <cstring>
#include <array>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace media::platform {

uint8_t ReplicateBits(uint32_t value, int bits)
{
    if (bits <= 0)
        return 0;
    if (bits >= 8)
        return uint8_t(value >> (bits - 8));
    uint32_t result = 0;
    int filled = 0;
    while (filled < 8) {
        result = (result << bits) | value;
        filled += bits;
    }
    return uint8_t(result >> (filled - 8));
}

namespace {

struct Channel {
    int shift = 0;
    int bits = 0;
};

// A mask must be one run of set bits (or empty).
bool ChannelFromMask(uint32_t mask, Channel* channel)
{
    if (mask == 0) {
        *channel = {};
        return true;
    }
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    const uint32_t run = mask >> shift;
    if ((run & (run + 1)) != 0)
        return false;
    int bits = 0;
    while ((run >> bits) & 1)
        ++bits;
    *channel = {shift, bits};
    return true;
}

uint32_t Widen(uint32_t pixel, const Channel& red, const Channel& green, const Channel& blue)
{
    auto part = [pixel](const Channel& c) -> uint32_t {
        if (c.bits == 0)
            return 0;
        const uint32_t value = (pixel >> c.shift) & ((c.bits >= 32) ? ~0u : ((1u << c.bits) - 1));
        return ReplicateBits(value, c.bits);
    };
    return (part(red) << 16) | (part(green) << 8) | part(blue);
}

using Table16 = std::array<uint32_t, 65536>;

// One lookup table per 16-bit layout in use (in practice one or two).
const Table16& TableFor(const Channel& red, const Channel& green, const Channel& blue)
{
    static std::map<std::tuple<int, int, int, int, int, int>, std::unique_ptr<Table16>> tables;
    const auto key = std::make_tuple(red.shift, red.bits, green.shift, green.bits, blue.shift, blue.bits);
    auto found = tables.find(key);
    if (found == tables.end()) {
        auto table = std::make_unique<Table16>();
        for (uint32_t pixel = 0; pixel < 65536; ++pixel)
            (*table)[pixel] = Widen(pixel, red, green, blue);
        found = tables.emplace(key, std::move(table)).first;
    }
    return *found->second;
}

inline uint32_t WidenRgb565(uint32_t pixel)
{
    uint32_t r = (pixel >> 11) & 0x1F, g = (pixel >> 5) & 0x3F, b = pixel & 0x1F;
    r = (r << 3) | (r >> 2);
    g = (g << 2) | (g >> 4);
    b = (b << 3) | (b >> 2);
    return (r << 16) | (g << 8) | b;
}

const Table16& Rgb565Table()
{
    static const Table16& table = TableFor({11, 5}, {5, 6}, {0, 5});
    return table;
}

struct Layout {
    int bytesPerPixel = 0;
    bool rgb565 = false;
    const Table16* table16 = nullptr;  // 16-bit pixels
    bool plainXrgb = false;           // 32-bit with the usual masks
    Channel red, green, blue;         // other 32-bit layouts
};

bool LayoutFor(const BitmapDescription& bitmap, Layout* layout)
{
    uint32_t r = bitmap.redMask, g = bitmap.greenMask, b = bitmap.blueMask;
    if (bitmap.bitsPerPixel == 16) {
        if (r == 0 && g == 0 && b == 0) {
            r = 0xF800;
            g = 0x07E0;
            b = 0x001F;
        }
        if ((r | g | b) > 0xFFFF)
            return false;
    } else if (bitmap.bitsPerPixel == 32) {
        if (r == 0 && g == 0 && b == 0) {
            r = 0xFF0000;
            g = 0xFF00;
            b = 0xFF;
        }
    } else {
        return false;
    }
    if ((r & g) || (r & b) || (g & b))
        return false;
    if (!ChannelFromMask(r, &layout->red) || !ChannelFromMask(g, &layout->green) || !ChannelFromMask(b, &layout->blue))
        return false;
    layout->bytesPerPixel = bitmap.bitsPerPixel / 8;
    layout->rgb565 = bitmap.bitsPerPixel == 16 && r == 0xF800 && g == 0x07E0 && b == 0x001F;
    if (bitmap.bitsPerPixel == 16)
        layout->table16 = (r == 0xF800 && g == 0x07E0 && b == 0x001F) ? &Rgb565Table()
                                                                      : &TableFor(layout->red, layout->green, layout->blue);
    else
        layout->plainXrgb = (r == 0xFF0000 && g == 0xFF00 && b == 0xFF);
    return true;
}

inline uint32_t PixelAt(const Layout& layout, const uint8_t* row, int32_t x)
{
    if (layout.table16) {
        uint16_t value;
        std::memcpy(&value, row + size_t(x) * 2, 2);
        return (*layout.table16)[value];
    }
    uint32_t value;
    std::memcpy(&value, row + size_t(x) * 4, 4);
    if (layout.plainXrgb)
        return value & 0x00FFFFFF;
    return Widen(value, layout.red, layout.green, layout.blue);
}

// A contiguous run of source pixels at 1:1 scale.
void CopyRun(const Layout& layout, const uint8_t* row, int32_t x, int32_t count, uint32_t* out)
{
    const uint8_t* start = row + size_t(x) * 2;
    if (layout.rgb565 && reinterpret_cast<uintptr_t>(start) % alignof(uint16_t) == 0) {
        ExpandRgb565(reinterpret_cast<const uint16_t*>(start), out, size_t(count));
        return;
    }
    if (layout.table16) {
        const Table16& table = *layout.table16;
        for (int32_t i = 0; i < count; ++i) {
            uint16_t value;
            std::memcpy(&value, row + size_t(x + i) * 2, 2);
            out[i] = table[value];
        }
        return;
    }
    for (int32_t i = 0; i < count; ++i)
        out[i] = PixelAt(layout, row, x + i);
}

}  // namespace

void ExpandRgb565(const uint16_t* source, uint32_t* destination, size_t count)
{
    // Blocks of a fixed length let the compiler vectorise the arithmetic,
    // which beats the 256 KB lookup table.
    size_t i = 0;
    for (; i + 16 <= count; i += 16)
        for (size_t k = 0; k < 16; ++k)
            destination[i + k] = WidenRgb565(source[i + k]);
    for (; i < count; ++i)
        destination[i] = WidenRgb565(source[i]);
}

bool BlitBitmap(const ClientPixels& target, const void* pixels, const BitmapDescription& bitmap, const Rect& source,
                const Rect& destination, Rect* updated)
{
    *updated = {};
    Layout layout;
    if (!pixels || bitmap.width <= 0 || bitmap.height <= 0 || !LayoutFor(bitmap, &layout))
        return false;
    const int64_t minimumPitch = int64_t(bitmap.width) * layout.bytesPerPixel;
    const int64_t pitch = bitmap.pitch == 0 ? minimumPitch : bitmap.pitch;
    if (pitch < minimumPitch)
        return false;

    const int64_t sourceWidth = int64_t(source.right) - source.left;
    const int64_t sourceHeight = int64_t(source.bottom) - source.top;
    const int64_t destinationWidth = int64_t(destination.right) - destination.left;
    const int64_t destinationHeight = int64_t(destination.bottom) - destination.top;
    if (sourceWidth <= 0 || sourceHeight <= 0 || destinationWidth <= 0 || destinationHeight <= 0)
        return true;

    // Target pixels that the destination rectangle covers.
    const int32_t left = int32_t(std::max<int64_t>(destination.left, 0));
    const int32_t top = int32_t(std::max<int64_t>(destination.top, 0));
    const int32_t right = int32_t(std::min<int64_t>(destination.right, target.width));
    const int32_t bottom = int32_t(std::min<int64_t>(destination.bottom, target.height));
    if (left >= right || top >= bottom)
        return true;

    const auto* base = static_cast<const uint8_t*>(pixels);
    const bool sameSize = sourceWidth == destinationWidth && sourceHeight == destinationHeight;
    Rect written{right, bottom, left, top};
    auto note = [&written](int32_t x0, int32_t x1, int32_t y) {
        written.left = std::min(written.left, x0);
        written.right = std::max(written.right, x1);
        written.top = std::min(written.top, y);
        written.bottom = std::max(written.bottom, y + 1);
    };

    if (sameSize) {
        const int64_t dx = int64_t(source.left) - destination.left;
        const int64_t dy = int64_t(source.top) - destination.top;
        // Clip again so that every source pixel read lies inside the bitmap.
        const int32_t x0 = int32_t(std::max<int64_t>(left, -dx));
        const int32_t x1 = int32_t(std::min<int64_t>(right, bitmap.width - dx));
        const int32_t y0 = int32_t(std::max<int64_t>(top, -dy));
        const int32_t y1 = int32_t(std::min<int64_t>(bottom, bitmap.height - dy));
        for (int32_t y = y0; y < y1 && x0 < x1; ++y) {
            const uint8_t* row = base + (y + dy) * pitch;
            CopyRun(layout, row, int32_t(x0 + dx), x1 - x0, target.pixels + size_t(y) * target.pitchPixels + x0);
            note(x0, x1, y);
        }
    } else {
        // Nearest neighbour: the source pixel under each target pixel's centre.
        std::vector<int32_t> columns(size_t(right - left));
        for (int32_t x = left; x < right; ++x)
            columns[size_t(x - left)] =
                int32_t(source.left + ((2 * int64_t(x - destination.left) + 1) * sourceWidth) / (2 * destinationWidth));
        for (int32_t y = top; y < bottom; ++y) {
            const int64_t sy =
                source.top + ((2 * int64_t(y - destination.top) + 1) * sourceHeight) / (2 * destinationHeight);
            if (sy < 0 || sy >= bitmap.height)
                continue;
            const uint8_t* row = base + sy * pitch;
            uint32_t* out = target.pixels + size_t(y) * target.pitchPixels;
            int32_t first = right, last = left;
            for (int32_t x = left; x < right; ++x) {
                const int32_t sx = columns[size_t(x - left)];
                if (sx < 0 || sx >= bitmap.width)
                    continue;
                out[x] = PixelAt(layout, row, sx);
                first = std::min(first, x);
                last = x + 1;
            }
            if (first < last)
                note(first, last, y);
        }
    }
    if (written.left < written.right)
        *updated = written;
    return true;
}

Rect FillPixels(const ClientPixels& target, const Rect& rect, uint32_t color)
{
    const int32_t left = std::max(rect.left, 0), top = std::max(rect.top, 0);
    const int32_t right = std::min(rect.right, target.width), bottom = std::min(rect.bottom, target.height);
    if (left >= right || top >= bottom)
        return {};
    for (int32_t y = top; y < bottom; ++y)
        std::fill_n(target.pixels + size_t(y) * target.pitchPixels + left, right - left, color);
    return {left, top, right, bottom};
}

}  // namespace media::platform
