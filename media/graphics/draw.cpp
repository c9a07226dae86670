#include "media/graphics/draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "media/graphics/blend_rows.h"
#include "media/graphics/draw_geometry.h"
#include "media/graphics/gl_draw.h"
#include "media/graphics/screen.h"
#include "media/core/roof_calls.h"
#include "media/core/memory.h"
#include "media/core/system_state.h"

namespace media {

namespace {

DrawState state;

int Clamp255(int value)
{
    return value < 0 ? 0 : value > 255 ? 255 : value;
}

// ------------------------------------------------------------ pixel codecs
// One codec per storage format that images and screens use, so that the
// inner loops know the layout at compile time; CodecAny reads everything else.

struct ChannelTables {
    uint8_t from5[32];
    uint8_t from6[64];
    ChannelTables()
    {
        for (int i = 0; i < 32; ++i)
            from5[i] = uint8_t(i * 255 / 31);
        for (int i = 0; i < 64; ++i)
            from6[i] = uint8_t(i * 255 / 63);
    }
};
const ChannelTables channels;

inline uint32_t Load32(const uint8_t* p)
{
    uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
}
inline void Store32(uint8_t* p, uint32_t w) { std::memcpy(p, &w, 4); }
inline uint16_t Load16(const uint8_t* p)
{
    uint16_t w;
    std::memcpy(&w, p, 2);
    return w;
}
inline void Store16(uint8_t* p, uint16_t w) { std::memcpy(p, &w, 2); }

inline Rgba From565(uint32_t w)
{
    return Rgba{channels.from5[(w >> 11) & 31], channels.from6[(w >> 5) & 63], channels.from5[w & 31], 255};
}
inline uint32_t To565(Rgba c)
{
    return uint32_t(c.r >> 3) << 11 | uint32_t(c.g >> 2) << 5 | uint32_t(c.b >> 3);
}

struct Codec565 {
    int Bytes() const { return 2; }
    Rgba Read(const uint8_t* p) const { return From565(Load16(p)); }
    void Write(uint8_t* p, Rgba c) const { Store16(p, uint16_t(To565(c))); }
    uint32_t ColourBits(const uint8_t* p) const { return Load16(p); }
};

struct Codec565A8 {
    int Bytes() const { return 4; }
    Rgba Read(const uint8_t* p) const
    {
        const uint32_t w = Load32(p);
        Rgba c = From565(w);
        c.a = uint8_t(w >> 16);
        return c;
    }
    void Write(uint8_t* p, Rgba c) const { Store32(p, 0xFF000000u | uint32_t(c.a) << 16 | To565(c)); }
    uint32_t ColourBits(const uint8_t* p) const { return Load32(p) & 0xFFFF; }
};

struct CodecX888 {
    int Bytes() const { return 4; }
    Rgba Read(const uint8_t* p) const { return Rgba{p[2], p[1], p[0], 255}; }
    void Write(uint8_t* p, Rgba c) const
    {
        Store32(p, 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
    }
    uint32_t ColourBits(const uint8_t* p) const { return Load32(p) & 0xFFFFFF; }
};

struct CodecA888 {
    int Bytes() const { return 4; }
    Rgba Read(const uint8_t* p) const { return Rgba{p[2], p[1], p[0], p[3]}; }
    void Write(uint8_t* p, Rgba c) const
    {
        Store32(p, uint32_t(c.a) << 24 | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
    }
    uint32_t ColourBits(const uint8_t* p) const { return Load32(p) & 0xFFFFFF; }
};

struct CodecAny {
    const ColorFormat* format;
    int Bytes() const { return format->bytesPerPixel; }
    Rgba Read(const uint8_t* p) const { return ReadPixel(*format, p); }
    void Write(uint8_t* p, Rgba c) const { WritePixel(*format, p, c); }
    uint32_t ColourBits(const uint8_t* p) const
    {
        if (format->usesPalette) {
            const uint8_t* e = format->palette[p[0]];
            return uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
        }
        return LoadPixelWord(p, format->bytesPerPixel) & (format->redMask | format->greenMask | format->blueMask);
    }
};

template <class Fn>
void WithCodec(const ColorFormat& f, Fn&& fn)
{
    using S = StandardFormat;
    if (SameLayout(f, GetStandardFormat(S::R5G6B5)))
        fn(Codec565{});
    else if (SameLayout(f, GetStandardFormat(S::X8R8G8B8)))
        fn(CodecX888{});
    else if (SameLayout(f, GetStandardFormat(S::A8R8G8B8)))
        fn(CodecA888{});
    else if (SameLayout(f, GetStandardFormat(S::R5G6B5A8)))
        fn(Codec565A8{});
    else
        fn(CodecAny{&f});
}

// The colour bits that a source pixel of the transparent colour carries in
// the source's storage format.
uint32_t KeyBitsFor(const ColorFormat& f, uint32_t transColor)
{
    if (f.usesPalette)
        return transColor & 0xFFFFFF;
    const Rgba c{uint8_t(transColor >> 16), uint8_t(transColor >> 8), uint8_t(transColor), 0};
    return EncodeColor(f, c) & (f.redMask | f.greenMask | f.blueMask);
}

// ------------------------------------------------------------ blending

struct Modulation {
    bool bright = false;  // brightness other than white
    int red = 255, green = 255, blue = 255;
    int mode = 0;
    int parameter = 255;
};

Modulation CurrentModulation()
{
    Modulation m;
    m.red = state.brightRed;
    m.green = state.brightGreen;
    m.blue = state.brightBlue;
    m.bright = m.red != 255 || m.green != 255 || m.blue != 255;
    m.mode = state.blendMode;
    m.parameter = state.blendParameter;
    return m;
}

inline Rgba Brighten(Rgba c, const Modulation& m)
{
    if (m.bright) {
        c.r = uint8_t(c.r * m.red / 255);
        c.g = uint8_t(c.g * m.green / 255);
        c.b = uint8_t(c.b * m.blue / 255);
    }
    return c;
}

inline uint8_t Mix(int s, int d, int a)
{
    return uint8_t((s * a + d * (255 - a)) / 255);
}

// Combines source colour s, drawn with coverage `cover` (the texel's alpha, or
// 255), with the target pixel at p.
template <class D>
inline void Compose(const D& dst, uint8_t* p, Rgba s, int cover, const Modulation& m)
{
    if (cover <= 0)
        return;
    switch (m.mode) {
    case 1:
    case 2:
    case 3: {
        const int a = cover * m.parameter / 255;
        Rgba d = dst.Read(p);
        if (m.mode == 1) {
            d.r = Mix(s.r, d.r, a);
            d.g = Mix(s.g, d.g, a);
            d.b = Mix(s.b, d.b, a);
            d.a = uint8_t(a + d.a * (255 - a) / 255);
        } else if (m.mode == 2) {
            d.r = uint8_t(std::min(255, d.r + s.r * a / 255));
            d.g = uint8_t(std::min(255, d.g + s.g * a / 255));
            d.b = uint8_t(std::min(255, d.b + s.b * a / 255));
        } else {
            d.r = uint8_t(std::max(0, d.r - s.r * a / 255));
            d.g = uint8_t(std::max(0, d.g - s.g * a / 255));
            d.b = uint8_t(std::max(0, d.b - s.b * a / 255));
        }
        dst.Write(p, d);
        return;
    }
    case 4: {
        Rgba d = dst.Read(p);
        d.r = Mix(d.r * s.r / 255, d.r, cover);
        d.g = Mix(d.g * s.g / 255, d.g, cover);
        d.b = Mix(d.b * s.b / 255, d.b, cover);
        dst.Write(p, d);
        return;
    }
    default:
        if (cover >= 255) {
            s.a = 255;
            dst.Write(p, s);
            return;
        }
        Rgba d = dst.Read(p);
        d.r = Mix(s.r, d.r, cover);
        d.g = Mix(s.g, d.g, cover);
        d.b = Mix(s.b, d.b, cover);
        d.a = uint8_t(cover + d.a * (255 - cover) / 255);
        dst.Write(p, d);
        return;
    }
}

// ------------------------------------------------------------ clipping

struct Surface {
    PixelRegion pixels;
    Box area;  // draw area, inside the pixels
};

// The current target and its draw area; -1 when nothing can be drawn.
// noteArea false: the caller notes the boxes it draws on the screen itself.
int TakeSurface(Surface* surface, bool noteArea = true)
{
    DrawArea area;
    if (!CurrentDrawSurface(&surface->pixels, &area, noteArea))
        return -1;
    surface->area = Intersect(Box{area.left, area.top, area.right, area.bottom},
                              Box{0, 0, surface->pixels.width, surface->pixels.height});
    return 0;
}

// ------------------------------------------------------------ rectangles

void FillBox(const Surface& surface, Box box, Rgba colour, const Modulation& m)
{
    box = Intersect(box, surface.area);
    if (box.Empty())
        return;
    NoteScreenDrawn(surface.pixels, box);
    const PixelRegion& target = surface.pixels;
    if (m.mode == 0) {
        colour.a = 255;
        PixelRegion part = target;
        part.pixels = target.At(int32_t(box.left), int32_t(box.top));
        part.width = int32_t(box.right - box.left);
        part.height = int32_t(box.bottom - box.top);
        if (target.format->usesPalette) {
            uint8_t index;
            WritePixel(*target.format, &index, colour);
            FillRegion(part, index);
        } else {
            FillRegion(part, EncodeColor(*target.format, colour));
        }
        return;
    }
    const int cover = 255;
    WithCodec(*target.format, [&](auto dst) {
        for (int64_t y = box.top; y < box.bottom; ++y) {
            uint8_t* p = target.At(int32_t(box.left), int32_t(y));
            for (int64_t x = box.left; x < box.right; ++x, p += dst.Bytes())
                Compose(dst, p, colour, cover, m);
        }
    });
}

// ------------------------------------------------------------ images

enum class Transparency { Opaque, ColourKey, Alpha };

Transparency TransparencyOf(const ImageEntry& entry, int trans)
{
    if (!trans)
        return Transparency::Opaque;
    return entry.body->hasAlpha ? Transparency::Alpha : Transparency::ColourKey;
}

struct Blit {
    PixelRegion source;  // the image's pixels
    const Surface* surface;
    int64_t x, y;        // where the image's top-left pixel lands
    Box clip;            // target pixels that may be written
    bool mirror;
    Transparency transparency;
    uint32_t keyBits;
    Modulation modulation;
};

// Opaque rows with nothing to blend: a straight copy when the layouts agree
// (alpha set to full in a target that has it), else pixel by pixel.
template <class S, class D>
void CopyRow(const S& src, const D& dst, const Blit& b, const uint8_t* s, int64_t sstep, uint8_t* p, int64_t count)
{
    const ColorFormat& target = *b.surface->pixels.format;
    if (!b.mirror && SameLayout(*b.source.format, target)) {
        // An opaque draw gives full alpha, whatever alpha the source held.
        const uint32_t opaqueBits = target.alphaMask ? target.alphaMask | target.noneMask : 0;
        if (!opaqueBits) {
            std::memmove(p, s, size_t(count * dst.Bytes()));
        } else if (dst.Bytes() == 4) {
            for (int64_t i = 0; i < count; ++i)
                Store32(p + 4 * i, Load32(s + 4 * i) | opaqueBits);
        } else {
            for (int64_t i = 0; i < count; ++i, p += dst.Bytes(), s += sstep)
                StorePixelWord(p, dst.Bytes(), LoadPixelWord(s, dst.Bytes()) | opaqueBits);
        }
        return;
    }
    for (int64_t i = 0; i < count; ++i, p += dst.Bytes(), s += sstep) {
        Rgba c = src.Read(s);
        c.a = 255;
        dst.Write(p, c);
    }
}

// Colour-keyed rows with nothing to blend.
template <class S, class D>
void KeyedRow(const S& src, const D& dst, const Blit& b, const uint8_t* s, int64_t sstep, uint8_t* p, int64_t count)
{
    const bool copyWords = SameLayout(*b.source.format, *b.surface->pixels.format);
    for (int64_t i = 0; i < count; ++i, p += dst.Bytes(), s += sstep) {
        if (src.ColourBits(s) == b.keyBits)
            continue;
        if (copyWords) {
            std::memcpy(p, s, size_t(dst.Bytes()));
        } else {
            Rgba c = src.Read(s);
            c.a = 255;
            dst.Write(p, c);
        }
    }
}

// The reference for every blending row: alpha, colour key or opaque source
// under brightness and blend mode, one pixel at a time. The vector rows of
// blend_rows.cpp must give exactly its results.
template <class S, class D>
void BlendRowReference(const S& src, const D& dst, const Blit& b, const uint8_t* s, int64_t sstep, uint8_t* p,
                       int64_t count)
{
    for (int64_t i = 0; i < count; ++i, p += dst.Bytes(), s += sstep) {
        int cover = 255;
        if (b.transparency == Transparency::ColourKey && src.ColourBits(s) == b.keyBits)
            continue;
        Rgba c = src.Read(s);
        if (b.transparency == Transparency::Alpha)
            cover = c.a;
        Compose(dst, p, Brighten(c, b.modulation), cover, b.modulation);
    }
}

BlendRowParams RowParamsOf(const Blit& b)
{
    BlendRowParams params;
    params.cover = b.transparency == Transparency::Alpha       ? CoverSource::Alpha
                   : b.transparency == Transparency::ColourKey ? CoverSource::ColourKey
                                                               : CoverSource::Opaque;
    params.keyBits = b.keyBits;
    params.bright = b.modulation.bright;
    params.red = b.modulation.red;
    params.green = b.modulation.green;
    params.blue = b.modulation.blue;
    params.mode = b.modulation.mode;
    params.parameter = b.modulation.parameter;
    return params;
}

// Runs a vector row over a mirrored source: pieces of the row are turned
// round into a local buffer first.
void MirroredVectorRow(BlendRowFn row, const BlendRowParams& params, const uint8_t* s, int sourceBytes, uint8_t* p,
                       int targetBytes, int64_t count)
{
    constexpr int64_t Piece = 256;
    alignas(64) uint8_t turned[Piece * 4];
    while (count > 0) {
        const int64_t n = std::min(count, Piece);
        for (int64_t i = 0; i < n; ++i)
            std::memcpy(turned + i * sourceBytes, s - i * sourceBytes, size_t(sourceBytes));
        row(turned, p, int32_t(n), params);
        s -= n * sourceBytes;
        p += n * targetBytes;
        count -= n;
    }
}

template <class S, class D>
void BlitRows(const S& src, const D& dst, const Blit& b)
{
    const PixelRegion& target = b.surface->pixels;
    const int64_t width = b.source.width;
    const bool plain = b.modulation.mode == 0 && !b.modulation.bright;
    const int sb = src.Bytes();
    const int64_t count = b.clip.right - b.clip.left;
    BlendRowFn vectorRow = nullptr;
    BlendRowParams params;
    if (!plain || b.transparency == Transparency::Alpha) {
        params = RowParamsOf(b);
        vectorRow = FindBlendRow(LayoutOf(*b.source.format), LayoutOf(*target.format), params);
    }
    for (int64_t ty = b.clip.top; ty < b.clip.bottom; ++ty) {
        const uint8_t* srow = b.source.Row(int32_t(ty - b.y));
        uint8_t* p = target.At(int32_t(b.clip.left), int32_t(ty));
        int64_t sx = b.clip.left - b.x;
        int step = 1;
        if (b.mirror) {
            sx = width - 1 - sx;
            step = -1;
        }
        const uint8_t* s = srow + sx * sb;
        const int64_t sstep = int64_t(step) * sb;
        if (vectorRow) {
            if (b.mirror)
                MirroredVectorRow(vectorRow, params, s, sb, p, dst.Bytes(), count);
            else
                vectorRow(s, p, int32_t(count), params);
        } else if (plain && b.transparency == Transparency::Opaque) {
            CopyRow(src, dst, b, s, sstep, p, count);
        } else if (plain && b.transparency == Transparency::ColourKey) {
            KeyedRow(src, dst, b, s, sstep, p, count);
        } else {
            BlendRowReference(src, dst, b, s, sstep, p, count);
        }
    }
}

// When the source and the target share their pixels (an image drawn into the
// image it was derived from, or into itself), target pixels could be written
// before they are read: such a draw reads from a copy of the source taken
// first. `written` is the box of target pixels the draw may write. Returns the
// copy to free afterwards (null when none was needed) and false when the
// memory for it is not there.
bool DetachSharedSource(PixelRegion* source, const PixelRegion& target, Box written, void** copy)
{
    *copy = nullptr;
    const PixelRegion& s = *source;
    const int sourceBytes = s.format->bytesPerPixel;
    const uintptr_t sourceBegin = uintptr_t(s.Row(0));
    const uintptr_t sourceEnd = uintptr_t(s.Row(s.height - 1)) + uintptr_t(s.width) * sourceBytes;
    const uintptr_t targetBegin = uintptr_t(target.At(int32_t(written.left), int32_t(written.top)));
    const uintptr_t targetEnd = uintptr_t(target.At(int32_t(written.right - 1), int32_t(written.bottom - 1))) +
                                uintptr_t(target.format->bytesPerPixel);
    if (sourceBegin >= targetEnd || targetBegin >= sourceEnd)
        return true;
    const int64_t rowBytes = int64_t(s.width) * sourceBytes;
    *copy = MemAlloc(int32_t(rowBytes * s.height), "", 0);
    if (!*copy)
        return false;
    uint8_t* rows = static_cast<uint8_t*>(*copy);
    for (int32_t row = 0; row < s.height; ++row)
        std::memcpy(rows + row * rowBytes, s.Row(row), size_t(rowBytes));
    source->pixels = rows;
    source->pitch = int32_t(rowBytes);
    return true;
}

// Shared start of the image primitives: the checks in their documented order.
int CheckImageDraw(ImageHandle image, Surface* surface, ImageEntry** entry, PixelRegion* source, bool noteArea)
{
    if (!systemState.initialised)
        return -1;
    if (TakeSurface(surface, noteArea) < 0)
        return -1;
    if (surface->area.Empty() || displaySettings.drawAreaEmpty)
        return 1;
    *entry = FindImage(image);
    if (!*entry || !GetImagePixels(image, source))
        return -1;
    return 0;
}

int BeginImageDraw(ImageHandle image, Surface* surface, ImageEntry** entry, PixelRegion* source,
                   bool noteArea = true)
{
    const int checked = CheckImageDraw(image, surface, entry, source, noteArea);
    if (checked != 0)
        return checked;
    WaitWhileInactive();
    // The wait pumps messages, and what they run (a restore, a reload) may
    // move the target's or the image's pixels: both are taken again.
    return CheckImageDraw(image, surface, entry, source, noteArea);
}

int DrawImageClipped(int64_t x, int64_t y, ImageHandle image, int trans, bool mirror, const Box* extraClip)
{
    Surface surface;
    ImageEntry* entry = nullptr;
    Blit b;
    const int begun = BeginImageDraw(image, &surface, &entry, &b.source, false);
    if (begun != 0)
        return begun < 0 ? -1 : 0;
    b.surface = &surface;
    b.x = x;
    b.y = y;
    b.mirror = mirror;
    b.clip = Intersect(surface.area, Box{x, y, x + b.source.width, y + b.source.height});
    if (extraClip)
        b.clip = Intersect(b.clip, *extraClip);
    if (b.clip.Empty())
        return 0;
    b.transparency = TransparencyOf(*entry, trans);
    b.keyBits = KeyBitsFor(*b.source.format, entry->body->transColor);
    b.modulation = CurrentModulation();
    void* sourceCopy;
    if (!DetachSharedSource(&b.source, surface.pixels, b.clip, &sourceCopy))
        return -1;
    NoteScreenDrawn(surface.pixels, b.clip);
    WithCodec(*b.source.format,
              [&](auto src) { WithCodec(*surface.pixels.format, [&](auto dst) { BlitRows(src, dst, b); }); });
    MemFree(sourceCopy);
    return 0;
}

// ------------------------------------------------------------ quadrilaterals

struct Sampler {
    PixelRegion source;
    Transparency transparency;
    uint32_t keyBits;
    bool bilinear;
};

// The texel colour at texel coordinates (u, v) and its coverage; coverage 0
// means nothing is drawn.
template <class S>
Rgba Sample(const S& src, const Sampler& t, double u, double v, int* cover)
{
    const int64_t w = t.source.width, h = t.source.height;
    // Nearly flat triangles can throw coordinates far out; keep them where
    // turning them into integers is defined (the texel lookup clamps anyway).
    u = std::isnan(u) ? 0.0 : std::clamp(u, -2.0, double(w) + 2.0);
    v = std::isnan(v) ? 0.0 : std::clamp(v, -2.0, double(h) + 2.0);
    auto texel = [&](int64_t ix, int64_t iy, int* a) {
        ix = std::clamp<int64_t>(ix, 0, w - 1);
        iy = std::clamp<int64_t>(iy, 0, h - 1);
        const uint8_t* p = t.source.At(int32_t(ix), int32_t(iy));
        Rgba c = src.Read(p);
        if (t.transparency == Transparency::Alpha)
            *a = c.a;
        else if (t.transparency == Transparency::ColourKey)
            *a = src.ColourBits(p) == t.keyBits ? 0 : 255;
        else
            *a = 255;
        return c;
    };
    if (!t.bilinear) {
        return texel(int64_t(std::floor(u)), int64_t(std::floor(v)), cover);
    }
    // Rounding noise must not move a texel centre into its neighbour.
    auto snap = [](double f) {
        const double nearest = std::round(f);
        return std::fabs(f - nearest) < 1e-9 ? nearest : f;
    };
    const double fu = snap(u - 0.5), fv = snap(v - 0.5);
    const double bu = std::floor(fu), bv = std::floor(fv);
    const int64_t x0 = int64_t(bu), y0 = int64_t(bv);
    const int wx = int((fu - bu) * 256), wy = int((fv - bv) * 256);
    int a00, a10, a01, a11;
    const Rgba c00 = texel(x0, y0, &a00), c10 = texel(x0 + 1, y0, &a10);
    const Rgba c01 = texel(x0, y0 + 1, &a01), c11 = texel(x0 + 1, y0 + 1, &a11);
    auto lerp2 = [&](int v00, int v10, int v01, int v11) {
        const int top = v00 * (256 - wx) + v10 * wx;
        const int bottom = v01 * (256 - wx) + v11 * wx;
        return (top * (256 - wy) + bottom * wy + 32768) >> 16;
    };
    Rgba c;
    c.r = uint8_t(lerp2(c00.r, c10.r, c01.r, c11.r));
    c.g = uint8_t(lerp2(c00.g, c10.g, c01.g, c11.g));
    c.b = uint8_t(lerp2(c00.b, c10.b, c01.b, c11.b));
    int a = lerp2(a00, a10, a01, a11);
    // A colour-keyed image passes its texels whole or not at all, as an alpha test would.
    if (t.transparency == Transparency::ColourKey)
        a = a > 16 ? 255 : 0;
    *cover = a;
    return c;
}

// True when an edge with the interior on its positive side is a top or a left
// edge: pixels whose centre lies exactly on it belong to this triangle.
bool TopLeftEdge(Point a, Point b)
{
    const double dy = b.y - a.y, dx = b.x - a.x;
    return dy < 0 || (dy == 0 && dx > 0);
}

double Edge(Point a, Point b, Point p)
{
    return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
}

template <class S, class D>
void FillTriangle(const S& src, const D& dst, const Surface& surface, const Sampler& t, const Modulation& m,
                  Point p[3], Point tex[3])
{
    double area = Edge(p[0], p[1], p[2]);
    if (!(area != 0))
        return;
    if (area < 0) {
        std::swap(p[1], p[2]);
        std::swap(tex[1], tex[2]);
        area = -area;
    }
    const double minX = std::min({p[0].x, p[1].x, p[2].x}), maxX = std::max({p[0].x, p[1].x, p[2].x});
    const double minY = std::min({p[0].y, p[1].y, p[2].y}), maxY = std::max({p[0].y, p[1].y, p[2].y});
    // Pixels whose centre (px + 0.5) can lie inside, limited to the draw area
    // before anything is turned into an integer.
    const double left = std::max(std::floor(minX - 0.5), double(surface.area.left));
    const double right = std::min(std::ceil(maxX - 0.5) + 1, double(surface.area.right));
    const double top = std::max(std::floor(minY - 0.5), double(surface.area.top));
    const double bottom = std::min(std::ceil(maxY - 0.5) + 1, double(surface.area.bottom));
    if (!(left < right) || !(top < bottom))
        return;
    const bool own0 = TopLeftEdge(p[1], p[2]), own1 = TopLeftEdge(p[2], p[0]), own2 = TopLeftEdge(p[0], p[1]);
    auto inside = [](double e, bool own) { return e > 0 || (e == 0 && own); };
    for (int64_t py = int64_t(top); py < int64_t(bottom); ++py) {
        for (int64_t px = int64_t(left); px < int64_t(right); ++px) {
            const Point c{double(px) + 0.5, double(py) + 0.5};
            const double w0 = Edge(p[1], p[2], c), w1 = Edge(p[2], p[0], c), w2 = Edge(p[0], p[1], c);
            if (!inside(w0, own0) || !inside(w1, own1) || !inside(w2, own2))
                continue;
            const double u = (w0 * tex[0].x + w1 * tex[1].x + w2 * tex[2].x) / area;
            const double v = (w0 * tex[0].y + w1 * tex[1].y + w2 * tex[2].y) / area;
            int cover = 255;
            Rgba colour = Sample(src, t, u, v, &cover);
            Compose(dst, surface.pixels.At(int32_t(px), int32_t(py)), Brighten(colour, m), cover, m);
        }
    }
}


}  // namespace

// ------------------------------------------------------------ colours

const ColorFormat& ScreenColorFormat()
{
    return GetStandardFormat(ScreenDepth() == 16 ? StandardFormat::R5G6B5 : StandardFormat::X8R8G8B8);
}

ColorValue PackColor(int red, int green, int blue)
{
    const Rgba c{uint8_t(red & 255), uint8_t(green & 255), uint8_t(blue & 255), 0};
    return EncodeColor(ScreenColorFormat(), c);
}

int UnpackColor(ColorValue value, int* red, int* green, int* blue)
{
    const Rgba c = DecodeColor(ScreenColorFormat(), value);
    if (red)
        *red = c.r;
    if (green)
        *green = c.g;
    if (blue)
        *blue = c.b;
    return 0;
}

// ------------------------------------------------------------ drawing state

int SetDrawBrightness(int red, int green, int blue)
{
    state.brightRed = Clamp255(red);
    state.brightGreen = Clamp255(green);
    state.brightBlue = Clamp255(blue);
    return 0;
}

void SetDrawBrightnessWord(int word)
{
    SetDrawBrightness((word >> 16) & 255, (word >> 8) & 255, word & 255);
}

int SetBlendState(int mode, int parameter)
{
    state.blendMode = (mode >= 0 && mode <= 4) ? mode : 0;
    state.blendParameter = Clamp255(parameter);
    return 0;
}

int SetTransColor(int red, int green, int blue)
{
    state.transColor = uint32_t(red & 255) << 16 | uint32_t(green & 255) << 8 | uint32_t(blue & 255);
    return 0;
}

int SetDrawFilter(int mode)
{
    if (mode >= 0 && mode <= 2)
        state.filter = mode;
    else if (displaySettings.hardwarePath)
        return -1;  // the device has no such filter
    return 0;
}

void ResetDrawState()
{
    state = DrawState{};
}

const DrawState& CurrentDrawState()
{
    return state;
}

uint32_t CurrentTransColor()
{
    return state.transColor;
}

// ------------------------------------------------------------ primitives

int DrawRect(int x1, int y1, int x2, int y2, ColorValue colour, int fill)
{
    if (displaySettings.hardwarePath)
        return GlDrawRect(x1, y1, x2, y2, colour, fill);
    Surface surface;
    if (TakeSurface(&surface, false) < 0)
        return -1;
    if (surface.area.Empty() || displaySettings.drawAreaEmpty)
        return 0;
    WaitWhileInactive();

    const Modulation m = CurrentModulation();
    Rgba c = Brighten(DecodeColor(ScreenColorFormat(), colour), m);
    c.a = 255;

    const int64_t left = std::min(x1, x2), right = std::max(x1, x2);
    const int64_t top = std::min(y1, y2), bottom = std::max(y1, y2);
    if (left == right || top == bottom)
        return 0;
    if (fill) {
        FillBox(surface, Box{left, top, right, bottom}, c, m);
        return 0;
    }
    // The border, each pixel once even when the rectangle is one pixel wide or high.
    FillBox(surface, Box{left, top, right, top + 1}, c, m);
    if (bottom - top > 1) {
        FillBox(surface, Box{right - 1, top + 1, right, bottom}, c, m);
        if (right - left > 1) {
            FillBox(surface, Box{left, top + 1, left + 1, bottom}, c, m);
            FillBox(surface, Box{left + 1, bottom - 1, right - 1, bottom}, c, m);
        }
    }
    return 0;
}

int DrawImage(int x, int y, ImageHandle image, int trans)
{
    if (displaySettings.hardwarePath)
        return DrawImageGl(x, y, image, trans, false, nullptr);
    return DrawImageClipped(x, y, image, trans, false, nullptr);
}

int DrawImagePart(int x, int y, int srcX, int srcY, int width, int height, ImageHandle image, int trans, int mirror)
{
    // The part narrows the draw area, and an area left empty draws nothing and
    // is no error, whatever the handle: the checks keep DrawImage's order.
    if (displaySettings.hardwarePath)
        return DrawImagePartGl(x, y, srcX, srcY, width, height, image, trans, mirror);
    if (!systemState.initialised)
        return -1;
    Surface surface;
    if (TakeSurface(&surface, false) < 0)
        return -1;
    const Box part{x, y, int64_t(x) + width, int64_t(y) + height};
    if (displaySettings.drawAreaEmpty || Intersect(surface.area, part).Empty())
        return 0;
    const ImageEntry* entry = FindImage(image);
    if (!entry)
        return -1;
    if (mirror)
        return DrawImageClipped(int64_t(x) + srcX + width - entry->width, int64_t(y) - srcY, image, trans, true,
                                &part);
    return DrawImageClipped(int64_t(x) - srcX, int64_t(y) - srcY, image, trans, false, &part);
}

int DrawImageQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, ImageHandle image,
                  int trans)
{
    if (displaySettings.hardwarePath) {
        const Point corners[4] = {{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}};
        return DrawImageQuadGl(corners, image, trans);
    }
    Surface surface;
    ImageEntry* entry = nullptr;
    Sampler t;
    const int begun = BeginImageDraw(image, &surface, &entry, &t.source);
    if (begun != 0)
        return begun < 0 ? -1 : 0;
    for (float v : {x1, y1, x2, y2, x3, y3, x4, y4}) {
        if (!std::isfinite(v))
            return 0;
    }
    t.transparency = TransparencyOf(*entry, trans);
    t.keyBits = KeyBitsFor(*t.source.format, entry->body->transColor);
    t.bilinear = state.filter != 0;
    const Modulation m = CurrentModulation();
    void* sourceCopy;
    if (!DetachSharedSource(&t.source, surface.pixels, surface.area, &sourceCopy))
        return -1;
    const double w = t.source.width, h = t.source.height;
    const Point topLeft{x1, y1}, topRight{x2, y2}, bottomRight{x3, y3}, bottomLeft{x4, y4};
    WithCodec(*t.source.format, [&](auto src) {
        WithCodec(*surface.pixels.format, [&](auto dst) {
            Point first[3] = {topLeft, topRight, bottomRight};
            Point firstTex[3] = {{0, 0}, {w, 0}, {w, h}};
            FillTriangle(src, dst, surface, t, m, first, firstTex);
            Point second[3] = {topLeft, bottomRight, bottomLeft};
            Point secondTex[3] = {{0, 0}, {w, h}, {0, h}};
            FillTriangle(src, dst, surface, t, m, second, secondTex);
        });
    });
    MemFree(sourceCopy);
    return 0;
}

}  // namespace media
