// TGA: types 1 and 9 (colour-mapped, raw and run-length), 2 and 10 (true
// colour, raw and run-length) at 16, 24 and 32 bits, both row orders and
// both pixel directions, with or without the 26-byte footer.
#include <cstring>

#include "media/image/image_decode.h"
#include "media/core/memory.h"

namespace media {

namespace {

constexpr int TgaMaxSide = 8192;
constexpr size_t FooterSize = 26;

struct Scratch {
    uint8_t* data = nullptr;
    ~Scratch() { if (data) MemFree(data); }
};

bool HasAlphaBytes(const BaseImage& image, int64_t pixelCount)
{
    for (int64_t n = 0; n < pixelCount; ++n) {
        if (image.pixels[n * 4 + 3] != 0)
            return true;
    }
    return false;
}

ColorFormat TgaFormat(int bits, bool alpha)
{
    if (bits == 16)
        return MakeColorFormat(16, 0x7C00, 0x03E0, 0x001F, alpha ? 0x8000 : 0);
    if (bits == 24)
        return FullColourFormat();
    return MakeColorFormat(32, 0x00FF0000, 0x0000FF00, 0x000000FF, alpha ? 0xFF000000 : 0);
}

}  // namespace

int DecodeTga(const ImageReader& reader, BaseImage* image)
{
    uint8_t h[18];
    if (!reader.ReadExact(h, 18))
        return -1;
    const int idLength = h[0], mapType = h[1], type = h[2];
    const int mapFirst = Le16(h + 3), mapLength = Le16(h + 5), mapEntryBits = h[7];
    const int width = Le16(h + 12), height = Le16(h + 14), pixelBits = h[16], descriptor = h[17];
    if (type != 1 && type != 2 && type != 9 && type != 10)
        return -1;
    if (Le16(h + 8) != 0 || Le16(h + 10) != 0)
        return -1;
    if (width == 0 || height == 0 || width > TgaMaxSide || height > TgaMaxSide)
        return -1;
    // 8192 x 8192 passes the side limit but not the pixel bound every decoder
    // keeps: a few megabytes of runs would otherwise fill 256 MB.
    if (!PictureSizeAllowed(width, height))
        return -1;
    const bool mapped = type == 1 || type == 9;
    const int outBits = mapped ? mapEntryBits : pixelBits;
    if (outBits != 16 && outBits != 24 && outBits != 32)
        return -1;
    if (mapped && (mapType != 1 || pixelBits != 8))
        return -1;
    const long long fileSize = reader.Size();
    if (fileSize < 18)
        return -1;

    // The data ends at the footer when the file carries one.
    long long dataEnd = fileSize;
    if (fileSize >= 18 + (long long)FooterSize) {
        uint8_t footer[FooterSize];
        if (reader.Seek(fileSize - (long long)FooterSize, 0) && reader.ReadExact(footer, FooterSize) &&
            std::memcmp(footer + 8, "TRUEVISION-XFILE", 16) == 0)
            dataEnd = fileSize - (long long)FooterSize;
        if (!reader.Seek(18, 0))
            return -1;
    }
    if (!reader.Seek(idLength, 1))
        return -1;

    // The colour map: entries stored from the first-entry index on; indices
    // outside it read black.
    const int outBytes = outBits / 8;
    const int mapEntryBytes = mapType == 1 ? (mapEntryBits + 7) / 8 : 0;
    uint8_t map[256 * 4] = {};
    if (mapType == 1) {
        if (mapped) {
            for (int i = 0; i < mapLength; ++i) {
                uint8_t entry[4];
                if (!reader.ReadExact(entry, size_t(mapEntryBytes)))
                    return -1;
                if (mapFirst + i < 256)
                    std::memcpy(map + (mapFirst + i) * outBytes, entry, size_t(outBytes));
            }
        } else if (!reader.Seek((long long)mapLength * mapEntryBytes, 1)) {
            return -1;
        }
    }

    const long long dataStart = reader.Tell();
    if (dataStart < 0 || dataStart > dataEnd)
        return -1;
    const bool rle = type == 9 || type == 10;
    const int inBytes = pixelBits / 8;
    const int64_t pixelCount = int64_t(width) * height;
    long long dataSize = dataEnd - dataStart;
    if (!rle) {
        if (dataSize < pixelCount * inBytes)
            return -1;  // fewer pixels than the header says
        dataSize = pixelCount * inBytes;
    } else {
        // A packet of 1 + inBytes bytes gives at most 128 pixels: a stream
        // too short for the picture is rejected before anything is allocated.
        if ((dataSize / (inBytes + 1)) * 128 < pixelCount)
            return -1;
        if (dataSize > pixelCount * (inBytes + 1))
            dataSize = pixelCount * (inBytes + 1);  // the most a run-length stream can need
    }
    Scratch data;
    if (dataSize > 0) {
        data.data = static_cast<uint8_t*>(MemAlloc(int32_t(dataSize), "", 0));
        if (!data.data || !reader.ReadExact(data.data, size_t(dataSize)))
            return -1;
    }

    // Attribute bits in the descriptor say whether the top bits are alpha.
    // A 32-bit picture without them may still carry alpha (Netpbm's pamtotga
    // writes it so): see HasAlphaBytes below.
    const bool alpha = outBits != 24 && (descriptor & 0x0F) != 0;
    image->format = TgaFormat(outBits, alpha);
    image->width = width;
    image->height = height;
    image->pitch = width * outBytes;
    if (!AllocateBasePixels(image, pixelCount * outBytes))
        return -1;

    const bool topDown = (descriptor & 0x20) != 0, rightToLeft = (descriptor & 0x10) != 0;
    auto store = [&](int64_t n, const uint8_t* value) {
        const int64_t y = n / width, x = n % width;
        const int64_t row = topDown ? y : height - 1 - y, column = rightToLeft ? width - 1 - x : x;
        uint8_t* out = image->pixels + row * image->pitch + column * outBytes;
        if (mapped)
            std::memcpy(out, map + value[0] * outBytes, size_t(outBytes));
        else
            std::memcpy(out, value, size_t(outBytes));
    };
    // A 32-bit picture whose descriptor announces no attribute bits keeps
    // its fourth bytes as alpha when any of them is set; when all are 0 they
    // are unused and the picture is opaque.
    auto finish = [&]() {
        if (!alpha && outBits == 32 && HasAlphaBytes(*image, pixelCount))
            image->format = TgaFormat(32, true);
        return 0;
    };
    const uint8_t* d = data.data;
    if (!rle) {
        for (int64_t n = 0; n < pixelCount; ++n)
            store(n, d + n * inBytes);
        return finish();
    }
    int64_t n = 0, i = 0;
    while (n < pixelCount) {
        if (i >= dataSize)
            break;
        const uint8_t packet = d[i++];
        const int count = (packet & 0x7F) + 1;
        if (packet & 0x80) {
            if (i + inBytes > dataSize)
                break;
            for (int k = 0; k < count && n < pixelCount; ++k)
                store(n++, d + i);
            i += inBytes;
        } else {
            for (int k = 0; k < count && n < pixelCount; ++k) {
                if (i + inBytes > dataSize)
                    break;
                store(n++, d + i);
                i += inBytes;
            }
            if (i + inBytes > dataSize && n < pixelCount)
                break;
        }
    }
    if (n < pixelCount) {
        FreeBaseImage(image);
        return -1;  // the runs end before the picture does
    }
    return finish();
}

}  // namespace media
