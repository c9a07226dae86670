// Raw "BGRA": a 16-byte header, then rows of blue, green, red, alpha with
// 8-bit channels, or 16-bit little-endian channels of which the high byte is kept.
#include "media/image/image_decode.h"
#include "media/core/memory.h"

namespace media {

int DecodeRawBgra(const ImageReader& reader, BaseImage* image)
{
    uint8_t header[16];
    if (!reader.ReadExact(header, 16) || header[0] != 'B' || header[1] != 'G' || header[2] != 'R' || header[3] != 'A')
        return -1;
    const uint32_t channels = Le32(header + 4);
    if (channels != 0x08080808 && channels != 0x10101010)
        return -1;
    const int64_t width = int32_t(Le32(header + 8)), height = int32_t(Le32(header + 12));
    if (!PictureSizeAllowed(width, height))
        return -1;
    const int sourceBytes = channels == 0x08080808 ? 4 : 8;
    const long long fileSize = reader.Size();
    if (fileSize < 16 + width * height * sourceBytes)
        return -1;  // the pixels are not all there
    image->format = ArgbFormat();
    image->width = int32_t(width);
    image->height = int32_t(height);
    image->pitch = int32_t(width * 4);
    if (!AllocateBasePixels(image, width * height * 4))
        return -1;
    if (sourceBytes == 4) {
        if (!reader.ReadExact(image->pixels, size_t(width * height * 4))) {
            FreeBaseImage(image);
            return -1;
        }
        return 0;
    }
    uint8_t* row = static_cast<uint8_t*>(MemAlloc(int32_t(width * 8), "", 0));
    bool ok = row != nullptr;
    for (int64_t y = 0; ok && y < height; ++y) {
        ok = reader.ReadExact(row, size_t(width * 8));
        uint8_t* out = image->pixels + y * image->pitch;
        for (int64_t i = 0; ok && i < width * 4; ++i)
            out[i] = row[2 * i + 1];
    }
    if (row)
        MemFree(row);
    if (!ok) {
        FreeBaseImage(image);
        return -1;
    }
    return 0;
}

}  // namespace media
