// BMP: the "BM" file header, info headers of every size files carry (OS/2
// core, OS/2 2.x, Windows 40-byte, V2/V3 with masks, V4, V5), run-length
// coded 4- and 8-bit pictures, and uncompressed 1, 2, 4, 8, 16, 24 and 32 bits.
#include <cstring>
#include <vector>

#include "media/image/image_decode.h"
#include "media/log/log.h"
#include "media/core/memory.h"

namespace media {

namespace {

enum : uint32_t { CompressNone = 0, CompressRle8 = 1, CompressRle4 = 2, CompressBitFields = 3, CompressAlphaBitFields = 6 };

struct BmpInfo {
    uint32_t dataOffset = 0;
    uint32_t headerSize = 0;
    int64_t width = 0, height = 0;
    bool topDown = false;
    uint32_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
    uint32_t masks[4] = {};  // red, green, blue, alpha
    bool hasMasks = false;
    bool os2Core = false;
};

// A block of the file read into memory, bounded by the file's size.
struct Bytes {
    uint8_t* data = nullptr;
    size_t size = 0;
    ~Bytes() { if (data) MemFree(data); }
};

bool ReadRange(const ImageReader& reader, long long from, long long fileSize, long long limit, Bytes* out)
{
    if (from < 0 || from > fileSize)
        return false;
    long long size = fileSize - from;
    if (size > limit)
        size = limit;
    if (size <= 0)
        return true;
    if (size > MaxPictureBytes)
        return false;
    out->data = static_cast<uint8_t*>(MemAlloc(int32_t(size), "", 0));
    if (!out->data || !reader.Seek(from, 0))
        return false;
    out->size = reader.ReadSome(out->data, size_t(size));
    return true;
}

bool ReadInfo(const ImageReader& reader, BmpInfo* info)
{
    uint8_t fileHeader[14];
    if (!reader.ReadExact(fileHeader, 14) || fileHeader[0] != 'B' || fileHeader[1] != 'M')
        return false;
    info->dataOffset = Le32(fileHeader + 10);
    uint8_t h[124] = {};
    if (!reader.ReadExact(h, 4))
        return false;
    info->headerSize = Le32(h);
    const uint32_t size = info->headerSize;
    // OS/2 core (12), OS/2 2.x (16 to 64, fields optional), Windows V1 to V3
    // (40, 52, 56), V4 (108) and V5 (124); no other size is a BMP header.
    if (size != 12 && !(size >= 16 && size <= 64) && size != 108 && size != 124)
        return false;
    if (!reader.ReadExact(h + 4, size - 4))
        return false;
    if (size == 12) {
        info->os2Core = true;
        info->width = Le16(h + 4);
        info->height = Le16(h + 6);
        info->bitCount = Le16(h + 10);
    } else {
        info->width = int32_t(Le32(h + 4));
        info->height = int32_t(Le32(h + 8));
        info->bitCount = Le16(h + 14);
        info->compression = Le32(h + 16);
        info->coloursUsed = Le32(h + 32);
        const bool os2v2 = size != 40 && size < 52 ? true : size == 64;
        if (os2v2 && info->compression >= 3)
            return false;  // OS/2 Huffman and 24-bit RLE
        if (size >= 52) {
            info->masks[0] = Le32(h + 40);
            info->masks[1] = Le32(h + 44);
            info->masks[2] = Le32(h + 48);
            info->hasMasks = true;
        }
        if (size >= 56)
            info->masks[3] = Le32(h + 52);
    }
    if (info->height < 0) {
        info->topDown = true;
        info->height = -info->height;
    }
    // Bit fields after a 40-byte header: three masks (four with alpha).
    if ((info->compression == CompressBitFields || info->compression == CompressAlphaBitFields) && !info->hasMasks) {
        const int count = info->compression == CompressAlphaBitFields ? 4 : 3;
        uint8_t m[16];
        if (!reader.ReadExact(m, size_t(count) * 4))
            return false;
        for (int i = 0; i < count; ++i)
            info->masks[i] = Le32(m + 4 * i);
        info->hasMasks = true;
    }
    return info->width > 0 && info->height > 0;
}

// The palette follows the info header (and its masks); entries are 4 bytes,
// 3 in the OS/2 core format. Entries the file does not hold stay black.
bool ReadPalette(const ImageReader& reader, const BmpInfo& info, long long fileSize, ColorFormat* format)
{
    uint32_t count = 1u << info.bitCount;
    if (info.coloursUsed != 0 && info.coloursUsed < count)
        count = info.coloursUsed;
    const int entrySize = info.os2Core ? 3 : 4;
    long long start = reader.Tell();
    long long end = fileSize;
    if (info.dataOffset > start && info.dataOffset < end)
        end = info.dataOffset;  // the palette never reaches into the pixels
    long long available = (end - start) / entrySize;
    if (available < count)
        count = uint32_t(available > 0 ? available : 0);
    uint8_t entries[256 * 4];
    if (count && !reader.ReadExact(entries, size_t(count) * entrySize))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        format->palette[i][0] = entries[i * entrySize + 0];
        format->palette[i][1] = entries[i * entrySize + 1];
        format->palette[i][2] = entries[i * entrySize + 2];
        format->palette[i][3] = 0;
    }
    return true;
}

int64_t Pad4(int64_t bytes)
{
    return (bytes + 3) & ~int64_t(3);
}

int DecodeRle(const BmpInfo& info, const Bytes& data, BaseImage* image)
{
    const bool rle4 = info.compression == CompressRle4;
    const int64_t width = info.width, height = info.height;
    image->pitch = int32_t(Pad4(width));
    if (!AllocateBasePixels(image, image->pitch * height))
        return -1;
    auto rowOf = [&](int64_t line) { return image->pixels + (info.topDown ? line : height - 1 - line) * image->pitch; };
    int64_t x = 0, line = 0;
    size_t i = 0;
    const uint8_t* d = data.data;
    auto put = [&](uint8_t index) {
        if (x < width && line < height)
            rowOf(line)[x] = index;
        ++x;
    };
    while (i + 1 < data.size && line < height) {
        const uint8_t count = d[i], value = d[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count && x < width; ++k)
                put(rle4 ? uint8_t(k & 1 ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++line;
        } else if (value == 1) {  // end of picture
            break;
        } else if (value == 2) {  // delta
            if (i + 1 >= data.size)
                break;
            x += d[i];
            line += d[i + 1];
            i += 2;
        } else {  // literal run, padded to 16 bits
            const size_t bytes = rle4 ? (value + 1u) / 2 : value;
            if (bytes > data.size - i)
                break;
            for (int k = 0; k < value; ++k) {
                const uint8_t b = rle4 ? d[i + k / 2] : d[i + k];
                if (x >= width)
                    break;
                put(rle4 ? uint8_t(k & 1 ? b & 0x0F : b >> 4) : b);
            }
            i += bytes + (bytes & 1);
        }
    }
    return 0;
}

// 4, 8 and 24 bits: copied row by row (4 bits widened to one index a byte).
int DecodeDirect(const BmpInfo& info, const Bytes& data, BaseImage* image)
{
    const int64_t width = info.width, height = info.height;
    const int64_t sourcePitch = Pad4((width * info.bitCount + 7) / 8);
    const int64_t lastRow = (width * info.bitCount + 7) / 8;
    if ((int64_t)data.size < sourcePitch * (height - 1) + lastRow)
        return -1;  // shorter than the header says
    const int bytesPerPixel = info.bitCount == 24 ? 3 : 1;
    image->pitch = int32_t(Pad4(width * bytesPerPixel));
    if (!AllocateBasePixels(image, int64_t(image->pitch) * height))
        return -1;
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* src = data.data + y * sourcePitch;
        uint8_t* dst = image->pixels + (info.topDown ? y : height - 1 - y) * image->pitch;
        if (info.bitCount == 4) {
            for (int64_t x = 0; x < width; ++x)
                dst[x] = x & 1 ? src[x / 2] & 0x0F : src[x / 2] >> 4;
        } else {
            std::memcpy(dst, src, size_t(width * bytesPerPixel));
        }
    }
    return 0;
}

// A masked field as 8 bits: round(v x 255 / (2^w - 1)), whatever its width.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int width = 0;
    uint64_t max = 0;
    uint8_t Of(uint32_t word) const
    {
        if (!max)
            return 0;
        const uint64_t v = (word & mask) >> shift;
        return uint8_t((v * 255 + max / 2) / max);
    }
};

Channel MakeChannel(uint32_t mask)
{
    Channel c;
    c.mask = mask;
    if (!mask)
        return c;
    while (!(mask & (1u << c.shift)))
        ++c.shift;
    // Holes in a mask count as part of its field: the field is the span.
    uint32_t field = mask >> c.shift;
    while (c.width < 32 && (field >> c.width))
        ++c.width;
    c.max = c.width >= 32 ? 0xFFFFFFFFull : (1ull << c.width) - 1;
    return c;
}

// 1 and 2 bits, 16 and 32 bits (with or without bit fields): drawn into 24-bit
// top-down full colour.
int DecodeToFullColour(const BmpInfo& info, const ColorFormat& palette, const Bytes& data, BaseImage* image)
{
    const int64_t width = info.width, height = info.height;
    const int64_t sourcePitch = Pad4((width * info.bitCount + 7) / 8);
    const int64_t lastRow = (width * info.bitCount + 7) / 8;
    if ((int64_t)data.size < sourcePitch * (height - 1) + lastRow)
        return -1;
    image->pitch = int32_t(Pad4(width * 3));
    if (!AllocateBasePixels(image, int64_t(image->pitch) * height)) {
        LogAdd("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
        return -1;
    }
    uint32_t masks[3] = {info.masks[0], info.masks[1], info.masks[2]};
    if (!info.hasMasks || (info.compression != CompressBitFields && info.compression != CompressAlphaBitFields)) {
        if (info.bitCount == 16) {
            masks[0] = 0x7C00; masks[1] = 0x03E0; masks[2] = 0x001F;
        } else {
            masks[0] = 0xFF0000; masks[1] = 0xFF00; masks[2] = 0xFF;
        }
    }
    const Channel red = MakeChannel(masks[0]), green = MakeChannel(masks[1]), blue = MakeChannel(masks[2]);
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* src = data.data + y * sourcePitch;
        uint8_t* dst = image->pixels + (info.topDown ? y : height - 1 - y) * image->pitch;
        for (int64_t x = 0; x < width; ++x, dst += 3) {
            if (info.bitCount <= 2) {
                const int64_t bit = x * info.bitCount;
                const int index = (src[bit / 8] >> (8 - info.bitCount - bit % 8)) & ((1 << info.bitCount) - 1);
                const uint8_t* entry = palette.palette[index];
                dst[0] = entry[0]; dst[1] = entry[1]; dst[2] = entry[2];
                continue;
            }
            const uint32_t word = info.bitCount == 16 ? Le16(src + 2 * x) : Le32(src + 4 * x);
            dst[0] = blue.Of(word);
            dst[1] = green.Of(word);
            dst[2] = red.Of(word);
        }
    }
    return 0;
}

}  // namespace

int DecodeBmp(const ImageReader& reader, BaseImage* image)
{
    BmpInfo info;
    if (!ReadInfo(reader, &info))
        return -1;
    const long long fileSize = reader.Size();
    if (fileSize < 0)
        return -1;
    const uint32_t bits = info.bitCount;
    const uint32_t c = info.compression;
    const bool rle = c == CompressRle8 || c == CompressRle4;
    if (rle && bits != (c == CompressRle8 ? 8u : 4u))
        return -1;
    if (!rle && c != CompressNone && !((c == CompressBitFields || c == CompressAlphaBitFields) && (bits == 16 || bits == 32)))
        return -1;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return -1;
    if (!PictureSizeAllowed(info.width, info.height)) {
        // The size no 24-bit section can be made for.
        if (bits <= 2 || bits == 16 || bits == 32)
            LogAdd("ＤＩＢの作成に失敗しました3\n");
        return -1;
    }
    ColorFormat palette = PaletteFormat();
    if (bits <= 8 && !ReadPalette(reader, info, fileSize, &palette))
        return -1;
    if (info.dataOffset >= fileSize)
        return -1;
    Bytes data;
    // Uncompressed data needs no more than its rows; run-length data may run to the end.
    const long long wanted = rle ? MaxPictureBytes : Pad4((info.width * bits + 7) / 8) * info.height;
    if (!ReadRange(reader, info.dataOffset, fileSize, wanted, &data))
        return -1;
    image->width = int32_t(info.width);
    image->height = int32_t(info.height);
    int result;
    if (rle) {
        image->format = palette;
        result = DecodeRle(info, data, image);
    } else if (bits == 4 || bits == 8) {
        image->format = palette;
        result = DecodeDirect(info, data, image);
    } else if (bits == 24) {
        image->format = FullColourFormat();
        result = DecodeDirect(info, data, image);
    } else {
        image->format = FullColourFormat();
        result = DecodeToFullColour(info, palette, data, image);
    }
    if (result != 0)
        FreeBaseImage(image);
    return result;
}

}  // namespace media
