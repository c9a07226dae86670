// Glyph cells: a character rasterised into its slot of a font's cache, in
// memory (one byte of coverage per pixel, the edge plane beside it) or in the
// cache image of a texture font (A1R5G5B5 or A4R4G4B4 texels), with the edge
// stamped around the glyph.
#include "media/font/font.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "media/core/memory.h"
#include "media/core/roof_calls.h"
#include "media/log/log.h"
#include "media/platform/font_raster.h"

namespace media {

namespace {

uint8_t* CellRow(const FontRecord& r, const GlyphSlot& slot, int32_t y)
{
    const int64_t row = int64_t(slot.slotIndex % r.slotsPerColumn) * r.cellSize + y;
    return r.memoryCache + row * r.memoryPitch;
}

// Offsets that one glyph pixel stamps as edge around itself.
struct EdgeShape {
    int count = 0;
    int8_t dx[81 * 81], dy[81 * 81];  // unused for sizes of 5 and more (a full square)
};

void MakeEdgeShape(int32_t edge, EdgeShape* shape)
{
    static const char* const size2[] = {".###.", "#####", "#####", "#####", ".###."};
    static const char* const size3[] = {"...#...", ".#####.", ".#####.", "#######", ".#####.", ".#####.", "...#..."};
    static const char* const size4[] = {"..#####..", ".#######.", "#########", "#########", "#########",
                                        "#########", "#########", ".#######.", "..#####.."};
    shape->count = 0;
    auto add = [&](int dx, int dy) {
        shape->dx[shape->count] = int8_t(dx);
        shape->dy[shape->count] = int8_t(dy);
        ++shape->count;
    };
    const char* const* rows = nullptr;
    switch (edge) {
    case 1:
        add(-1, 0);
        add(1, 0);
        add(0, -1);
        add(0, 1);
        return;
    case 2:
        rows = size2;
        break;
    case 3:
        rows = size3;
        break;
    case 4:
        rows = size4;
        break;
    default:
        return;
    }
    for (int y = 0; y <= 2 * edge; ++y)
        for (int x = 0; x <= 2 * edge; ++x)
            if (rows[y][x] == '#')
                add(x - edge, y - edge);
}

// Calls fn(dx, dy) for every stamped offset.
template <class Fn>
void ForEachStamp(int32_t edge, const EdgeShape& shape, Fn&& fn)
{
    if (edge >= 5) {
        for (int dy = -edge; dy <= edge; ++dy)
            for (int dx = -edge; dx <= edge; ++dx)
                fn(dx, dy);
        return;
    }
    for (int i = 0; i < shape.count; ++i)
        fn(shape.dx[i], shape.dy[i]);
}

// Writes a glyph bitmap (rows of rowBytes) into a memory cell, clipped to it.
void WriteCell(const FontRecord& r, const GlyphSlot& slot, const uint8_t* bitmap, int32_t rowBytes, int32_t width,
               int32_t height)
{
    const int32_t cell = r.cellSize;
    const bool antialiased = IsAntialiased(r);
    auto glyphValue = [&](int32_t x, int32_t y) -> int {
        const uint8_t* row = bitmap + int64_t(y) * rowBytes;
        return antialiased ? row[x] : (row[x >> 3] >> (7 - (x & 7))) & 1;
    };

    if (!IsEdged(r)) {
        const int32_t rows = std::min(height, cell);
        if (!antialiased) {
            const int32_t bytes = std::min(rowBytes, r.memoryPitch);
            for (int32_t y = 0; y < rows; ++y)
                std::memcpy(CellRow(r, slot, y), bitmap + int64_t(y) * rowBytes, size_t(bytes));
            return;
        }
        const int32_t columns = std::min(width, cell);
        for (int32_t y = 0; y < rows; ++y) {
            uint8_t* to = CellRow(r, slot, y);
            for (int32_t x = 0; x < columns; ++x) {
                const int v = glyphValue(x, y);
                if (v)
                    to[x] = uint8_t(v - 1);
            }
        }
        return;
    }

    const int32_t e = r.edgeSize;
    static EdgeShape shape;
    MakeEdgeShape(e, &shape);
    for (int32_t y = 0; y < height; ++y) {
        const int32_t gy = y + e;
        if (gy >= cell)
            break;
        for (int32_t x = 0; x < width; ++x) {
            const int32_t gx = x + e;
            if (gx >= cell)
                break;
            const int v = glyphValue(x, y);
            if (!v)
                continue;
            if (!antialiased) {
                CellRow(r, slot, gy)[gx] = 1;
                ForEachStamp(e, shape, [&](int dx, int dy) {
                    const int32_t px = gx + dx, py = gy + dy;
                    if (px < 0 || py < 0 || px >= cell || py >= cell)
                        return;
                    uint8_t& p = CellRow(r, slot, py)[px];
                    if (p != 1)
                        p = 2;
                });
            } else {
                const uint8_t level = uint8_t(v - 1);
                uint8_t& p = CellRow(r, slot, gy)[gx];
                p = uint8_t((p & 0xF0) | level);
                ForEachStamp(e, shape, [&](int dx, int dy) {
                    const int32_t px = gx + dx, py = gy + dy;
                    if (px < 0 || py < 0 || px >= cell || py >= cell)
                        return;
                    uint8_t& q = CellRow(r, slot, py)[px];
                    if ((q >> 4) < level)
                        q = uint8_t((q & 0x0F) | level << 4);
                });
            }
        }
    }
}

// Texture cache texels: white, the coverage in the alpha bits.
constexpr uint16_t FullTexel1 = 0xFFFF;


// A coverage of 0..16 as a texel of the cache's format.
uint16_t TexelFor(const FontRecord& r, int coverage)
{
    if (!IsAntialiased(r))
        return coverage ? FullTexel1 : EmptyTexel1;
    return uint16_t((coverage > 0 ? (coverage - 1) << 12 : 0) | EmptyTexel4);
}

void StoreTexel(const PixelRegion& region, int32_t x, int32_t y, uint16_t texel)
{
    std::memcpy(region.At(x, y), &texel, sizeof texel);
}

// Writes a glyph bitmap (null: none) into a slot's square of cacheBase: the
// glyph plane, and for edged fonts the edge plane cacheWidth to the right.
void WriteTextureCell(FontRecord& r, const GlyphSlot& slot, const uint8_t* bitmap, int32_t rowBytes, int32_t width,
                      int32_t height)
{
    const int32_t cell = r.cellSize;
    int32_t cellX, cellY;
    if (!GlyphCachePosition(r, slot, &cellX, &cellY))
        return;
    const bool antialiased = IsAntialiased(r), edged = IsEdged(r);
    const PixelRegion glyphPlane = SubRegion(&r.cacheBase, cellX, cellY, cell, cell);
    FillRegion(glyphPlane, EmptyTexel(r));
    PixelRegion edgePlane;
    if (edged) {
        edgePlane = SubRegion(&r.cacheBase, cellX + r.cacheWidth, cellY, cell, cell);
        FillRegion(edgePlane, EmptyTexel(r));
    }
    if (!bitmap)
        return;

    // Coverage 0..16 per pixel of each plane; one bit counts as 16.
    static std::vector<uint8_t> glyph, edge;
    glyph.assign(size_t(cell) * size_t(cell), 0);
    edge.assign(edged ? size_t(cell) * size_t(cell) : 0, 0);
    const int32_t e = edged ? r.edgeSize : 0;
    static EdgeShape shape;
    if (edged)
        MakeEdgeShape(e, &shape);
    for (int32_t y = 0; y < height && y + e < cell; ++y) {
        const uint8_t* row = bitmap + int64_t(y) * rowBytes;
        for (int32_t x = 0; x < width && x + e < cell; ++x) {
            const int v = antialiased ? row[x] : ((row[x >> 3] >> (7 - (x & 7))) & 1) * 16;
            if (!v)
                continue;
            const int32_t gx = x + e, gy = y + e;
            glyph[size_t(gy) * size_t(cell) + size_t(gx)] = uint8_t(v);
            if (!edged)
                continue;
            ForEachStamp(e, shape, [&](int dx, int dy) {
                const int32_t px = gx + dx, py = gy + dy;
                if (px < 0 || py < 0 || px >= cell || py >= cell)
                    return;
                uint8_t& a = edge[size_t(py) * size_t(cell) + size_t(px)];
                // Overlapping stamps add up as coverages do: 1 - (1 - a)(1 - v).
                a = antialiased ? uint8_t((256 - (16 - a) * (16 - v)) / 16) : 16;
            });
        }
    }
    for (int32_t y = 0; y < cell; ++y) {
        for (int32_t x = 0; x < cell; ++x) {
            const size_t at = size_t(y) * size_t(cell) + size_t(x);
            if (glyph[at])
                StoreTexel(glyphPlane, x, y, TexelFor(r, glyph[at]));
            if (edged && edge[at])
                StoreTexel(edgePlane, x, y, TexelFor(r, edge[at]));
        }
    }
}

// Hands a slot's square (both planes) from cacheBase to the cache image,
// which uploads it to its texture.
void TransferTextureCell(const FontRecord& r, const GlyphSlot& slot)
{
    const ImageHandle cache = HeldImageHandle(r.cacheImage);
    if (cache == -1 || !MemImageValid(&r.cacheBase))
        return;
    int32_t cellX, cellY;
    if (!GlyphCachePosition(r, slot, &cellX, &cellY))
        return;
    const int planes = IsEdged(r) ? 2 : 1;
    for (int plane = 0; plane < planes; ++plane) {
        const int32_t x = cellX + plane * r.cacheWidth;
        MEMIMG& base = const_cast<MEMIMG&>(r.cacheBase);
        UpdateImagePixels(cache, x, cellY, SubRegion(&base, x, cellY, r.cellSize, r.cellSize));
    }
}

}  // namespace

bool GlyphCachePosition(const FontRecord& r, const GlyphSlot& slot, int32_t* x, int32_t* y)
{
    if (slot.slotIndex < 0 || r.slotsPerColumn <= 0)
        return false;
    const int32_t border = r.useTexture ? 1 : 0;
    *x = slot.slotIndex / r.slotsPerColumn * r.cellSize + border;
    *y = slot.slotIndex % r.slotsPerColumn * r.cellSize + border;
    return true;
}

GlyphSlot* RenderGlyphs(FontHandle handle, int count, const uint16_t* codes)
{
    FontRecord* r = FindFont(handle);
    if (!r)
        return nullptr;
    if (!r->gdiFont || !platform::RasterSystemReady())
        AbortMediaLibrary("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
    platform::RasterTextMetrics metrics;
    platform::GetRasterTextMetrics(r->gdiFont, &metrics);
    const platform::GlyphFormat format =
        IsAntialiased(*r) ? platform::GlyphFormat::Gray17 : platform::GlyphFormat::Bitmap;
    const int32_t edges = IsEdged(*r) ? 2 * r->edgeSize : 0;

    GlyphSlot* last = nullptr;
    for (int i = 0; i < count; ++i) {
        const uint16_t code = codes[i];
        GlyphMapEntry* entry = &r->glyphMap[code];
        if (entry->cached && entry->slot) {
            // Asked again while cached: its old cell is given up, so no two
            // slots ever claim one character.
            entry->slot->inUse = 0;
            entry->slot->mapEntry = nullptr;
            entry->cached = 0;
            entry->slot = nullptr;
        }
        GlyphSlot* slot = &r->slots[r->nextSlot];
        if (slot->inUse) {
            if (slot->mapEntry) {
                slot->mapEntry->cached = 0;
                slot->mapEntry->slot = nullptr;
            }
            slot->inUse = 0;
            slot->mapEntry = nullptr;
        }
        if (!r->useTexture)
            std::memset(CellRow(*r, *slot, 0), 0, size_t(r->cellSize) * size_t(r->memoryPitch));
        else
            WriteTextureCell(*r, *slot, nullptr, 0, 0, 0);

        const uint8_t first = uint8_t(code & 0xFF), second = uint8_t(code >> 8);
        const uint32_t systemCode = second ? uint32_t(first) * 256 + second : first;
        platform::RasterGlyphMetrics gm;
        const int32_t size = platform::GetRasterGlyph(r->gdiFont, systemCode, format, &gm, 0, nullptr);
        last = nullptr;
        if (size < 0) {
            LogAdd("GetGlyphOutline 関数が失敗しました\n");
            continue;
        }
        const bool space = (first == 0x20 && second == 0) || (first == 0x81 && second == 0x40);
        slot->xOffset = 0;
        slot->yOffset = 0;
        slot->advance = int16_t(gm.cellIncX);
        slot->width = 0;
        slot->height = 0;
        if (!space && size > 0 && gm.blackBoxY > 0) {
            const int32_t rowBytes = size / gm.blackBoxY / 4 * 4;
            uint8_t* buffer = static_cast<uint8_t*>(MemAlloc(size + 2 * rowBytes, "", 0));
            if (!buffer)
                AbortMediaLibrary("アンチエイリアス文字取得用バッファの確保に失敗しました");
            if (platform::GetRasterGlyph(r->gdiFont, systemCode, format, &gm, uint32_t(size), buffer + rowBytes) < 0) {
                MemFree(buffer);
                LogAdd("GetGlyphOutline 関数が失敗しました\n");
                continue;
            }
            slot->xOffset = int16_t(gm.originX);
            slot->yOffset = int16_t(metrics.ascent - gm.originY);
            slot->advance = int16_t(gm.cellIncX);
            // A box larger than the cell (a slanted or thickened glyph of a
            // narrow face) is cut to the cell, so drawing never reads the next one.
            slot->width = int16_t(std::min(gm.blackBoxX, r->cellSize - edges));
            slot->height = int16_t(std::min(gm.blackBoxY, r->cellSize - edges));
            if (!r->useTexture)
                WriteCell(*r, *slot, buffer + rowBytes, rowBytes, gm.blackBoxX, gm.blackBoxY);
            else
                WriteTextureCell(*r, *slot, buffer + rowBytes, rowBytes, gm.blackBoxX, gm.blackBoxY);
            MemFree(buffer);
        }
        slot->advance = int16_t(slot->advance + edges);
        slot->width = int16_t(slot->width + edges);
        slot->height = int16_t(slot->height + edges);
        if (r->useTexture)
            TransferTextureCell(*r, *slot);

        entry->cached = 1;
        entry->slot = slot;
        slot->mapEntry = entry;
        slot->inUse = 1;
        r->nextSlot = (r->nextSlot + 1) % r->slotCount;
        last = slot;
    }
    return last;
}

}  // namespace media
