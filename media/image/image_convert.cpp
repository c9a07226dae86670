#include "media/image/image_convert.h"

#include <cstring>
#include <vector>

namespace media {

namespace {

// A field as 8 bits: round(v x 255 / max), from a table up to 8 bits wide.
struct Widener {
    int shift = 0;
    int width = 0;
    uint32_t max = 0;
    uint8_t table[256] = {};

    void Set(int location, int width)
    {
        shift = location;
        this->width = width;
        max = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
        if (width > 0 && width <= 8)
            for (uint32_t v = 0; v <= max; ++v)
                table[v] = uint8_t((v * 255 + max / 2) / max);
    }
    uint8_t Of(uint32_t word) const
    {
        if (!max)
            return 0;
        const uint32_t v = (word >> shift) & max;
        if (max <= 255)
            return table[v];
        return uint8_t((uint64_t(v) * 255 + max / 2) / max);
    }
};

// DXT colour endpoints: 5-6-5 widened the same way.
Rgba Expand565(uint16_t c)
{
    Rgba out;
    out.r = uint8_t((((c >> 11) & 31) * 255 + 15) / 31);
    out.g = uint8_t((((c >> 5) & 63) * 255 + 31) / 63);
    out.b = uint8_t(((c & 31) * 255 + 15) / 31);
    out.a = 255;
    return out;
}

uint8_t Mix(int a, int b, int weightA, int weightB, int total)
{
    return uint8_t((a * weightA + b * weightB + total / 2) / total);
}

// Decodes one 4x4 block into 16 pixels (rows of 4).
void DecodeBlock(int kind, const uint8_t* block, Rgba out[16])
{
    const uint8_t* colourBlock = kind == 1 ? block : block + 8;
    const uint16_t c0 = Le16(colourBlock), c1 = Le16(colourBlock + 2);
    Rgba palette[4];
    palette[0] = Expand565(c0);
    palette[1] = Expand565(c1);
    if (kind != 1 || c0 > c1) {
        palette[2] = {Mix(palette[0].r, palette[1].r, 2, 1, 3), Mix(palette[0].g, palette[1].g, 2, 1, 3),
                      Mix(palette[0].b, palette[1].b, 2, 1, 3), 255};
        palette[3] = {Mix(palette[0].r, palette[1].r, 1, 2, 3), Mix(palette[0].g, palette[1].g, 1, 2, 3),
                      Mix(palette[0].b, palette[1].b, 1, 2, 3), 255};
    } else {
        palette[2] = {Mix(palette[0].r, palette[1].r, 1, 1, 2), Mix(palette[0].g, palette[1].g, 1, 1, 2),
                      Mix(palette[0].b, palette[1].b, 1, 1, 2), 255};
        palette[3] = {0, 0, 0, 0};
    }
    const uint32_t indices = Le32(colourBlock + 4);
    for (int i = 0; i < 16; ++i)
        out[i] = palette[(indices >> (2 * i)) & 3];
    if (kind == 2 || kind == 3) {  // explicit 4-bit alpha
        for (int i = 0; i < 16; ++i)
            out[i].a = uint8_t(((block[i / 2] >> (4 * (i & 1))) & 15) * 17);
    } else if (kind == 4 || kind == 5) {  // interpolated alpha
        const int a0 = block[0], a1 = block[1];
        uint8_t alphas[8] = {uint8_t(a0), uint8_t(a1)};
        if (a0 > a1) {
            for (int i = 1; i < 7; ++i)
                alphas[i + 1] = Mix(a0, a1, 7 - i, i, 7);
        } else {
            for (int i = 1; i < 5; ++i)
                alphas[i + 1] = Mix(a0, a1, 5 - i, i, 5);
            alphas[6] = 0;
            alphas[7] = 255;
        }
        uint64_t bits = 0;
        for (int i = 0; i < 6; ++i)
            bits |= uint64_t(block[2 + i]) << (8 * i);
        for (int i = 0; i < 16; ++i)
            out[i].a = alphas[(bits >> (3 * i)) & 7];
    }
}

enum class SourceKind { Palette, FullColour, Argb, Compressed, Masked };

// Reads rows of a picture as 8-bit channels.
class PictureRows {
public:
    explicit PictureRows(const BaseImage& picture) : p_(picture)
    {
        const ColorFormat& f = p_.format;
        if (f.compressedKind)
            kind_ = SourceKind::Compressed;
        else if (f.usesPalette)
            kind_ = SourceKind::Palette;
        else if (f.bytesPerPixel == 3 && f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF)
            kind_ = SourceKind::FullColour;
        else if (f.bytesPerPixel == 4 && f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF &&
                 (f.alphaMask == 0xFF000000 || f.alphaMask == 0))
            kind_ = SourceKind::Argb;
        else
            kind_ = SourceKind::Masked;
        red_.Set(f.redLocation, f.redWidth);
        green_.Set(f.greenLocation, f.greenWidth);
        blue_.Set(f.blueLocation, f.blueWidth);
        alpha_.Set(f.alphaLocation, f.alphaWidth);
    }

    // count pixels of row y from column x on; the caller keeps them inside.
    void Read(int32_t y, int32_t x, int32_t count, Rgba* out)
    {
        const ColorFormat& f = p_.format;
        const uint8_t* row = p_.pixels + int64_t(y) * p_.pitch;
        switch (kind_) {
        case SourceKind::Palette:
            for (int32_t i = 0; i < count; ++i) {
                const uint8_t* e = f.palette[row[x + i]];
                out[i] = {e[2], e[1], e[0], 255};
            }
            break;
        case SourceKind::FullColour:
            for (int32_t i = 0; i < count; ++i) {
                const uint8_t* s = row + int64_t(x + i) * 3;
                out[i] = {s[2], s[1], s[0], 255};
            }
            break;
        case SourceKind::Argb: {
            const bool hasAlpha = f.alphaMask != 0;
            for (int32_t i = 0; i < count; ++i) {
                const uint8_t* s = row + int64_t(x + i) * 4;
                out[i] = {s[2], s[1], s[0], hasAlpha ? s[3] : uint8_t(255)};
            }
            break;
        }
        case SourceKind::Masked:
            for (int32_t i = 0; i < count; ++i) {
                const uint32_t word = LoadPixelWord(row + int64_t(x + i) * f.bytesPerPixel, f.bytesPerPixel);
                out[i] = {red_.Of(word), green_.Of(word), blue_.Of(word), f.alphaWidth ? alpha_.Of(word) : uint8_t(255)};
            }
            break;
        case SourceKind::Compressed:
            ReadCompressed(y, x, count, out);
            break;
        }
    }

private:
    void ReadCompressed(int32_t y, int32_t x, int32_t count, Rgba* out)
    {
        const int32_t blockRow = y / 4;
        const int32_t blocksWide = (p_.width + 3) / 4;
        if (blockRow != cachedBlockRow_) {
            strip_.assign(size_t(blocksWide) * 16, Rgba{});
            const int blockBytes = p_.format.compressedKind == 1 ? 8 : 16;
            const uint8_t* blocks = p_.pixels + int64_t(blockRow) * p_.pitch;
            Rgba decoded[16];
            for (int32_t b = 0; b < blocksWide; ++b) {
                DecodeBlock(p_.format.compressedKind, blocks + int64_t(b) * blockBytes, decoded);
                for (int r = 0; r < 4; ++r)
                    std::memcpy(&strip_[size_t(r) * blocksWide * 4 + size_t(b) * 4], &decoded[r * 4], 4 * sizeof(Rgba));
            }
            cachedBlockRow_ = blockRow;
        }
        std::memcpy(out, &strip_[size_t(y % 4) * blocksWide * 4 + size_t(x)], size_t(count) * sizeof(Rgba));
    }

    const BaseImage& p_;
    SourceKind kind_;
    Widener red_, green_, blue_, alpha_;
    std::vector<Rgba> strip_;  // one row of decoded blocks (four pixel rows)
    int32_t cachedBlockRow_ = -1;
};

enum class TargetKind { R5G6B5, R5G6B5A8, X8R8G8B8, A8R8G8B8, Other };

TargetKind KindOf(const ColorFormat& f)
{
    if (SameLayout(f, GetStandardFormat(StandardFormat::R5G6B5)))
        return TargetKind::R5G6B5;
    if (SameLayout(f, GetStandardFormat(StandardFormat::R5G6B5A8)))
        return TargetKind::R5G6B5A8;
    if (SameLayout(f, GetStandardFormat(StandardFormat::X8R8G8B8)))
        return TargetKind::X8R8G8B8;
    if (SameLayout(f, GetStandardFormat(StandardFormat::A8R8G8B8)))
        return TargetKind::A8R8G8B8;
    return TargetKind::Other;
}

void WriteRow(const ColorFormat& f, TargetKind kind, uint8_t* out, const Rgba* in, int32_t count)
{
    switch (kind) {
    case TargetKind::R5G6B5:
        for (int32_t i = 0; i < count; ++i) {
            const uint16_t w = uint16_t((in[i].r >> 3) << 11 | (in[i].g >> 2) << 5 | in[i].b >> 3);
            out[2 * i] = uint8_t(w);
            out[2 * i + 1] = uint8_t(w >> 8);
        }
        break;
    case TargetKind::R5G6B5A8:
        for (int32_t i = 0; i < count; ++i) {
            const uint32_t w = uint32_t((in[i].r >> 3) << 11 | (in[i].g >> 2) << 5 | in[i].b >> 3) |
                               uint32_t(in[i].a) << 16 | f.noneMask;
            StorePixelWord(out + 4 * i, 4, w);
        }
        break;
    case TargetKind::X8R8G8B8:
    case TargetKind::A8R8G8B8: {
        const bool alpha = kind == TargetKind::A8R8G8B8;
        const uint8_t top = uint8_t(f.noneMask >> 24);
        for (int32_t i = 0; i < count; ++i) {
            out[4 * i] = in[i].b;
            out[4 * i + 1] = in[i].g;
            out[4 * i + 2] = in[i].r;
            out[4 * i + 3] = alpha ? in[i].a : top;
        }
        break;
    }
    case TargetKind::Other:
        for (int32_t i = 0; i < count; ++i)
            WritePixel(f, out + int64_t(i) * f.bytesPerPixel, in[i]);
        break;
    }
}

// The common pictures (24-bit full colour, 32-bit ARGB) straight into the
// common screen formats, without the 8-bit channel row in between. Same
// results as the general path.
bool CopyDirect(const PixelRegion& target, TargetKind kind, const BaseImage& colour, int32_t sourceX, int32_t sourceY,
                int32_t width, int32_t height)
{
    const ColorFormat& f = colour.format;
    if (f.usesPalette || f.compressedKind || f.redMask != 0xFF0000 || f.greenMask != 0xFF00 || f.blueMask != 0xFF)
        return false;
    const int in = f.bytesPerPixel;
    if (!((in == 3 && f.alphaMask == 0) || (in == 4 && (f.alphaMask == 0xFF000000 || f.alphaMask == 0))))
        return false;
    if (kind == TargetKind::Other)
        return false;
    const bool sourceAlpha = f.alphaMask != 0;
    const uint32_t none = target.format->noneMask;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* __restrict s = colour.pixels + int64_t(sourceY + y) * colour.pitch + int64_t(sourceX) * in;
        uint8_t* __restrict d = target.Row(y);
        switch (kind) {
        case TargetKind::R5G6B5: {
            // Whole 32-bit loads (the last pixel of a row byte by byte, as
            // its fourth byte may lie past the picture).
            const int32_t wordPixels = in == 4 ? width : width - 1;
            for (int32_t x = 0; x < wordPixels; ++x) {
                uint32_t v;
                std::memcpy(&v, s + int64_t(x) * in, 4);
                const uint16_t w = uint16_t(((v >> 8) & 0xF800) | ((v >> 5) & 0x07E0) | ((v >> 3) & 0x001F));
                std::memcpy(d + 2 * x, &w, 2);
            }
            for (int32_t x = wordPixels; x < width; ++x) {
                const uint8_t* p = s + int64_t(x) * in;
                const uint16_t w = uint16_t((p[2] >> 3) << 11 | (p[1] >> 2) << 5 | (p[0] >> 3));
                std::memcpy(d + 2 * x, &w, 2);
            }
            break;
        }
        case TargetKind::R5G6B5A8:
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t* p = s + int64_t(x) * in;
                const uint32_t a = sourceAlpha ? p[3] : 255;
                const uint32_t w = uint32_t((p[2] >> 3) << 11 | (p[1] >> 2) << 5 | (p[0] >> 3)) | a << 16 | none;
                std::memcpy(d + 4 * x, &w, 4);
            }
            break;
        case TargetKind::X8R8G8B8:
        case TargetKind::A8R8G8B8: {
            const bool keepAlpha = kind == TargetKind::A8R8G8B8;
            if (in == 4 && keepAlpha && sourceAlpha) {
                std::memcpy(d, s, size_t(width) * 4);
                break;
            }
            const uint32_t top = keepAlpha ? (sourceAlpha ? 0 : 0xFF000000u) : (none & 0xFF000000u);
            if (in == 4) {
                for (int32_t x = 0; x < width; ++x) {
                    uint32_t v;
                    std::memcpy(&v, s + 4 * int64_t(x), 4);
                    v = keepAlpha && sourceAlpha ? v : ((v & 0xFFFFFF) | top);
                    std::memcpy(d + 4 * x, &v, 4);
                }
                break;
            }
            for (int32_t x = 0; x < width - 1; ++x) {
                uint32_t v;
                std::memcpy(&v, s + 3 * int64_t(x), 4);
                v = (v & 0xFFFFFF) | top;
                std::memcpy(d + 4 * x, &v, 4);
            }
            {
                const uint8_t* p = s + 3 * int64_t(width - 1);
                const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | top;
                std::memcpy(d + 4 * (width - 1), &v, 4);
            }
            break;
        }
        case TargetKind::Other:
            break;
        }
    }
    return true;
}

}  // namespace

void FillRegionFromPicture(const PixelRegion& target, const BaseImage& colour, const BaseImage* alpha,
                           int32_t sourceX, int32_t sourceY)
{
    if (!target.pixels || !colour.pixels || sourceX < 0 || sourceY < 0 || sourceX >= colour.width ||
        sourceY >= colour.height)
        return;
    int32_t width = target.width, height = target.height;
    if (width > colour.width - sourceX)
        width = colour.width - sourceX;
    if (height > colour.height - sourceY)
        height = colour.height - sourceY;
    const bool useAlphaPicture = alpha && alpha->pixels;
    if (useAlphaPicture) {
        if (sourceX >= alpha->width || sourceY >= alpha->height)
            return;
        if (width > alpha->width - sourceX)
            width = alpha->width - sourceX;
        if (height > alpha->height - sourceY)
            height = alpha->height - sourceY;
    }
    if (width <= 0 || height <= 0)
        return;
    PictureRows colourRows(colour);
    std::vector<Rgba> row(static_cast<size_t>(width));
    std::vector<Rgba> alphaRow;
    PictureRows* alphaRows = nullptr;
    PictureRows alphaReader(useAlphaPicture ? *alpha : colour);
    if (useAlphaPicture) {
        alphaRows = &alphaReader;
        alphaRow.resize(size_t(width));
    }
    const TargetKind kind = KindOf(*target.format);
    if (!alphaRows && CopyDirect(target, kind, colour, sourceX, sourceY, width, height))
        return;
    for (int32_t y = 0; y < height; ++y) {
        colourRows.Read(sourceY + y, sourceX, width, row.data());
        if (alphaRows) {
            alphaRows->Read(sourceY + y, sourceX, width, alphaRow.data());
            for (int32_t i = 0; i < width; ++i)
                row[size_t(i)].a = alphaRow[size_t(i)].r;
        }
        WriteRow(*target.format, kind, target.Row(y), row.data(), width);
    }
}

Rgba PicturePixel(const BaseImage& picture, int32_t x, int32_t y)
{
    Rgba pixel;
    if (!picture.pixels || x < 0 || y < 0 || x >= picture.width || y >= picture.height)
        return pixel;
    PictureRows rows(picture);
    rows.Read(y, x, 1, &pixel);
    return pixel;
}

}  // namespace media
