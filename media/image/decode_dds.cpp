// DDS: DXT1 to DXT5 kept compressed, uncompressed pictures described by their
// masks, and the chain of mip levels.
#include <cstring>

#include "media/image/image_decode.h"

namespace media {

namespace {

constexpr uint32_t FlagPitch = 0x8;
constexpr uint32_t FlagMipCount = 0x20000;
constexpr uint32_t CapsMipMap = 0x400008;
constexpr uint32_t PixelAlpha = 0x1;
constexpr uint32_t PixelFourCC = 0x4;
constexpr uint32_t PixelRgb = 0x40;

// Bytes of one level: compressed levels count whole 4x4 blocks, so sizes
// that are not multiples of 4 keep their last partial blocks.
int64_t LevelBytes(int64_t width, int64_t height, int blockBytes, int64_t pitch)
{
    if (blockBytes)
        return ((width + 3) / 4) * ((height + 3) / 4) * blockBytes;
    return pitch * height;
}

}  // namespace

int DecodeDds(const ImageReader& reader, BaseImage* image)
{
    uint8_t h[128];
    if (!reader.ReadExact(h, 128) || std::memcmp(h, "DDS", 3) != 0)
        return -1;
    const uint8_t* header = h + 4;
    const uint32_t flags = Le32(header + 4);
    const int64_t height = Le32(header + 8), width = Le32(header + 12);
    const uint32_t pitchOrSize = Le32(header + 16), mipCount = Le32(header + 24);
    const uint32_t pixelFlags = Le32(header + 76), fourCC = Le32(header + 80), bitCount = Le32(header + 84);
    const uint32_t masks[4] = {Le32(header + 88), Le32(header + 92), Le32(header + 96), Le32(header + 100)};
    const uint32_t caps = Le32(header + 104);
    if (!PictureSizeAllowed(width, height))
        return -1;

    int kind = 0;
    if (std::memcmp(header + 80, "DXT", 3) == 0 && header[83] >= '1' && header[83] <= '5')
        kind = header[83] - '0';
    int blockBytes = 0;
    int64_t pitch = 0;
    if (kind) {
        blockBytes = kind == 1 ? 8 : 16;
        image->format = ArgbFormat();
        image->format.compressedKind = kind;
        image->format.bitDepth = int16_t(kind == 1 ? 4 : 8);
        pitch = ((width + 3) / 4) * blockBytes;
    } else {
        if ((pixelFlags & PixelFourCC) && fourCC != 0)
            return -1;  // another code: not a format this reader knows
        if ((pixelFlags & PixelRgb) && !(pixelFlags & PixelAlpha))
            return -1;
        if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
            return -1;
        image->format = MakeColorFormat(int(bitCount), masks[0], masks[1], masks[2], masks[3]);
        pitch = (flags & FlagPitch) ? int64_t(pitchOrSize) : int64_t(bitCount / 8) * width;
        if (pitch < int64_t(bitCount / 8) * width || pitch > MaxPictureBytes)
            return -1;  // rows that cannot hold their pixels
    }
    (void)pitchOrSize;

    const long long fileSize = reader.Size();
    const long long available = fileSize - 128;
    const int64_t firstBytes = LevelBytes(width, height, blockBytes, pitch);
    if (available < firstBytes)
        return -1;

    // The mip chain, cut back to the levels the file holds.
    int levels = 1;
    int64_t total = firstBytes;
    if ((flags & FlagMipCount) && (caps & CapsMipMap) == CapsMipMap && mipCount > 1) {
        int64_t w = width, hgt = height;
        while (uint32_t(levels) < mipCount && levels < 32 && (w > 1 || hgt > 1)) {
            w = w > 1 ? w / 2 : 1;
            hgt = hgt > 1 ? hgt / 2 : 1;
            const int64_t levelPitch = blockBytes ? 0 : int64_t(bitCount / 8) * w;
            const int64_t bytes = LevelBytes(w, hgt, blockBytes, levelPitch);
            if (total + bytes > available || total + bytes > MaxPictureBytes)
                break;
            total += bytes;
            ++levels;
        }
    }
    image->width = int32_t(width);
    image->height = int32_t(height);
    image->pitch = int32_t(pitch);
    image->mipLevels = levels > 1 ? levels : 0;
    if (!AllocateBasePixels(image, total) || !reader.ReadExact(image->pixels, size_t(total))) {
        FreeBaseImage(image);
        return -1;
    }
    return 0;
}

}  // namespace media
