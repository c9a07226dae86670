#include "media/font/font.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "media/graphics/graphics_hooks.h"
#include "media/graphics/handle.h"
#include "media/graphics/screen.h"
#include "media/log/log.h"
#include "media/platform/font_raster.h"
#include "media/core/roof_calls.h"
#include "media/core/memory.h"
#include "media/core/system_state.h"

namespace media {

namespace {

// The system's character-set numbers given to the rasteriser's retries.
constexpr int32_t DefaultCharset = 0;
constexpr int32_t ShiftJisCharset = 1;

// A cell side the cache can hold and the glyph fields (16-bit) can describe.
constexpr int32_t MaxCellSize = 4096;
// Creation parameters beyond these fail at once: a size whose cell cannot be
// held, a weight beyond 1000, an edge wider than a cell.
constexpr int32_t MaxFontSize = MaxCellSize;
constexpr int32_t MaxThickness = 10;
constexpr int32_t MaxEdgeSize = MaxCellSize / 2;

struct DefaultFontSettings {
    char faceName[128];
    int32_t size, thickness, type, charsetCode, edgeSize, italic, spacing;
};

struct FontTable {
    FontRecord* fonts[FontTableSize];
    int32_t nextCheck;  // 0 at the program's start only
    int32_t noTextureCache;  // never set by the program
    int32_t cacheSlotCount;  // 0 = automatic; never set by the program
    FontHandle defaultFont;
    DefaultFontSettings defaults;
    bool started;  // between InitFontManager and EndFonts
};

FontTable table{};

// The default font's size and thickness across a screen-mode change.
struct SavedDefaultFont {
    bool valid = false;
    int size = 16, thickness = 6;
};
SavedDefaultFont savedDefault;


platform::RasterFont* MakeRasterFont(const char* face, int32_t charsetCode, int size, int thickness, bool italic)
{
    platform::RasterFontRequest request;
    request.faceName = face;
    request.charsetCode = charsetCode;
    request.size = size;
    request.weight = thickness * 100;
    request.italic = italic;
    return platform::CreateRasterFont(request);
}

// The rasteriser's font for a record, with the system's fallbacks: a named
// face is tried in its character set, the default one and Shift-JIS; the
// default face is the Gothic, then the Gothic upright in the default
// character set, then whatever face the system offers.
platform::RasterFont* CreateRecordFont(const FontRecord& r, const char* face)
{
    // Without FreeType no glyph can ever be had: the program ends, once (the
    // shutdown that follows makes fonts again and must not end it twice).
    static bool ending = false;
    if (!platform::RasterSystemReady() && !ending) {
        ending = true;
        AbortMediaLibrary("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
    }
    const bool italic = r.italic != 0;
    if (face && face[0]) {
        platform::RasterFont* font = MakeRasterFont(face, r.charsetCode, r.size, r.thickness, italic);
        if (!font)
            font = MakeRasterFont(face, DefaultCharset, r.size, r.thickness, italic);
        if (!font)
            font = MakeRasterFont(face, ShiftJisCharset, r.size, r.thickness, italic);
        if (!font)
            LogAdd("指定のフォントの作成に失敗しました\n");
        return font;
    }
    platform::RasterFont* font = MakeRasterFont("ＭＳ ゴシック", r.charsetCode, r.size, r.thickness, italic);
    if (!font)
        font = MakeRasterFont("ＭＳ ゴシック", DefaultCharset, r.size, r.thickness, false);
    if (!font)
        font = MakeRasterFont(nullptr, r.charsetCode, r.size, r.thickness, false);
    if (!font)
        LogAdd("フォントの作成に失敗しました\n");
    return font;
}

void ReleaseCacheImages(FontRecord& r)
{
    // Only images still the font's own: a handle of one deleted elsewhere
    // (DeleteAllImages) may name someone else's image by now. Unhooked first:
    // deleting the images here is no loss to report.
    const ImageHandle cache = HeldImageHandle(r.cacheImage), edge = HeldImageHandle(r.edgeImage);
    if (cache != -1)
        SetImageLostFlag(cache, nullptr);
    if (edge != -1)
        DeleteImage(edge);
    if (cache != -1)
        DeleteImage(cache);
    r.cacheImage = r.edgeImage = HeldImage{};
}

// The memory cache's geometry and bitmap, for a record whose cell is set;
// the record stays as it was when the bitmap cannot be had.
bool MakeMemoryCache(FontRecord& r)
{
    const int64_t cellSize = r.cellSize;
    const int32_t bitsPerPixel = r.type == 0 ? 1 : 8;
    const int64_t automatic = std::max<int64_t>(20, 327680 / std::max<int64_t>(1, cellSize * cellSize));
    const int32_t slotCount =
        int32_t(std::min<int64_t>(MaxGlyphSlots, table.cacheSlotCount > 0 ? table.cacheSlotCount : automatic));
    const int64_t pitch = (cellSize * bitsPerPixel + 7) / 8;
    const int64_t height = int64_t(slotCount) * cellSize;
    const int64_t bytes = pitch * height;
    uint8_t* memory = bytes <= INT32_MAX ? static_cast<uint8_t*>(MemAlloc(int32_t(bytes), "", 0)) : nullptr;
    if (!memory)
        return false;
    r.memoryCache = memory;
    r.memoryBitsPerPixel = bitsPerPixel;
    r.slotCount = slotCount;
    r.cacheWidth = r.cellSize;
    r.slotsPerColumn = slotCount;
    r.memoryPitch = int32_t(pitch);
    r.cacheHeight = int32_t(std::min<int64_t>(height, INT32_MAX));
    return true;
}

void DeleteAllFontHandles()
{
    for (int32_t i = 0; i < FontTableSize; ++i) {
        if (FontRecord* r = table.fonts[i])
            DeleteFontHandle(MakeHandle(HandleKindFont, r->checkNumber, i));
    }
}

FontHandle CreateDefaultFromSettings()
{
    const DefaultFontSettings& s = table.defaults;
    const int edge = (s.type & FontTypeEdge) ? s.edgeSize : -1;
    return CreateFontToHandle(s.faceName, s.size, s.thickness, s.type, s.charsetCode, edge, s.italic);
}

void SaveDefaultFont()
{
    savedDefault.valid = false;
    const FontHandle handle = DefaultFontHandle();
    if (CheckFontHandle(handle) && QueryFontState(nullptr, &savedDefault.size, &savedDefault.thickness, handle) == 0)
        savedDefault.valid = true;
}

void RestoreDefaultFont()
{
    if (savedDefault.valid)
        SetDefaultFontSize(savedDefault.size, savedDefault.thickness);
    savedDefault.valid = false;
}

}  // namespace

FontRecord* FindFont(FontHandle handle)
{
    if (!HandleShapeValid(handle, HandleKindFont, FontTableSize))
        return nullptr;
    FontRecord* r = table.fonts[HandleSlot(handle)];
    if (!r || r->checkNumber != HandleCheck(handle))
        return nullptr;
    return r;
}

FontHandle CreateFontToHandle(const char* faceName, int size, int thickness, int type, int charsetCode,
                              int edgeSize, int italic, int tableIndex, int checkNumber)
{
    if (systemState.windowDestroyed)
        return -1;
    if (size == -1)
        size = 16;
    if (thickness == -1)
        thickness = 6;
    if (type == -1)
        type = 0;
    if (edgeSize == -1 || edgeSize < 1)
        edgeSize = 1;
    if (charsetCode == -1)
        charsetCode = systemState.characterSet;
    type &= FontTypeEdge | FontTypeAntialiased;
    if (edgeSize > 1)
        type |= FontTypeEdge;
    if (size < -MaxFontSize || size > MaxFontSize || thickness < 0 || thickness > MaxThickness ||
        edgeSize > MaxEdgeSize)
        return LogAdd("フォント作成のパラメータが異常です\n");

    if (tableIndex == -1) {
        for (tableIndex = 0; tableIndex < FontTableSize && table.fonts[tableIndex]; ++tableIndex) {
        }
        if (tableIndex == FontTableSize)
            return LogPrintfLine("作成できるフォントハンドル数 %d の限界を超えました", FontTableSize);
    } else if (tableIndex < 0 || tableIndex >= FontTableSize || table.fonts[tableIndex]) {
        return -1;
    }

    void* memory = MemAllocZeroed(int32_t(sizeof(FontRecord)), "", 0);
    if (!memory)
        return LogAdd("フォント管理用メモリ領域の確保に失敗しました\n");
    FontRecord* r = new (memory) FontRecord();
    table.fonts[tableIndex] = r;
    r->cacheImage = HeldImage{};
    r->edgeImage = HeldImage{};

    if (ScreenDepth() == 8)
        type &= ~FontTypeAntialiased;
    r->edgeSize = edgeSize;
    r->type = type;
    r->size = size;
    r->thickness = thickness;
    r->italic = italic;
    r->spacing = 0;
    r->checkNumber = checkNumber >= 0 ? (checkNumber & (HandleCheckLimit - 1)) : TakeCheckNumber(table.nextCheck);
    r->charsetCode = charsetCode;
    r->useTexture = displaySettings.hardwarePath && !table.noTextureCache ? 1 : 0;
    const FontHandle handle = MakeHandle(HandleKindFont, r->checkNumber, tableIndex);

    if (faceName)
        std::snprintf(r->faceName, sizeof r->faceName, "%s", faceName);
    r->gdiFont = CreateRecordFont(*r, faceName);
    if (!r->gdiFont) {
        DeleteFontHandle(handle);
        return -1;
    }

    platform::RasterTextMetrics metrics;
    if (!platform::GetRasterTextMetrics(r->gdiFont, &metrics)) {
        LogAdd("ＤＣの取得に失敗しました\n");
        DeleteFontHandle(handle);
        return -1;
    }
    // In 64 bits: the metrics and the edge are bounded, but not their sum.
    const int64_t edges = IsEdged(*r) ? 2 * int64_t(edgeSize) : 0;
    int64_t cellHeight = int64_t(metrics.height) + edges;
    cellHeight += cellHeight & 1;
    const int64_t cellSize = std::max<int64_t>((int64_t(metrics.maxCharWidth) + 2 + edges + 7) / 8 * 8, cellHeight);
    if (metrics.height < 0 || metrics.maxCharWidth < 0 || cellSize > MaxCellSize) {
        LogPrintfLine("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle");
        DeleteFontHandle(handle);
        return -1;
    }
    r->cellSize = int32_t(cellSize);
    r->cellHeight = int32_t(cellHeight);

    if (r->useTexture) {
        // 512 x 512 grown until ten cells fit; with cells of at most
        // MaxCellSize the sides stay within 4 x MaxCellSize.
        int64_t width = 512, height = 512;
        while ((width / cellSize) * (height / cellSize) < 10) {
            if (width <= height)
                width *= 2;
            else
                height *= 2;
        }
        r->cacheWidth = int32_t(width);
        r->cacheHeight = int32_t(height);
        // Slots sit one pixel right of and below their cell (a clear border
        // for filtering), so the last pixel row and column hold no cell.
        const int64_t columns = (width - 1) / cellSize;
        r->slotsPerColumn = int32_t((height - 1) / cellSize);
        r->slotCount = int32_t(std::min<int64_t>(MaxGlyphSlots, columns * r->slotsPerColumn));
        r->textureLost = 1;
        if (r->slotCount < 1 || EnsureCacheTexture(handle) != 0) {
            LogAdd("テクスチャ文字キャッシュの作成に失敗しました\n");
            ReleaseCacheImages(*r);
            r->textureLost = 0;
            r->useTexture = 0;
        } else {
            const int planes = IsEdged(*r) ? 2 : 1;
            const ColorFormat& format = GetStandardFormat(IsAntialiased(*r) ? StandardFormat::A4R4G4B4
                                                                            : StandardFormat::A1R5G5B5);
            if (!CreateMemImage(&r->cacheBase, planes * r->cacheWidth, r->cacheHeight, format)) {
                LogAdd("文字キャッシュ基本イメージ用のメモリの確保に失敗しました\n");
                DeleteFontHandle(handle);
                return -1;
            }
            FillRegion(WholeRegion(&r->cacheBase), EmptyTexel(*r));
        }
    }
    if (!r->useTexture && !MakeMemoryCache(*r)) {
        LogPrintfLine("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle");
        DeleteFontHandle(handle);
        return -1;
    }

    ResetGlyphCache(handle);
    r->charsetCode = charsetCode;
    r->lostFlag = nullptr;
    return handle;
}

int DeleteFontHandle(FontHandle handle)
{
    FontRecord* r = FindFont(handle);
    if (!r)
        return -1;
    platform::DeleteRasterFont(r->gdiFont);
    r->gdiFont = nullptr;
    if (r->memoryCache)
        MemFree(r->memoryCache);
    r->memoryCache = nullptr;
    ReleaseCacheImages(*r);
    if (MemImageValid(&r->cacheBase))
        ReleaseMemImage(&r->cacheBase);
    if (r->lostFlag)
        *r->lostFlag = 1;
    table.fonts[HandleSlot(handle)] = nullptr;
    r->~FontRecord();
    MemFree(r);
    return 0;
}

int CheckFontHandle(FontHandle handle)
{
    return FindFont(handle) ? 1 : 0;
}

int QueryFontSize(FontHandle handle)
{
    const FontRecord* r = FindFont(handle);
    return r ? r->size : -1;
}

int QueryFontState(char* faceName, int* size, int* thickness, FontHandle handle)
{
    const FontRecord* r = FindFont(handle);
    if (!r)
        return -1;
    if (faceName)
        std::memcpy(faceName, r->faceName, sizeof r->faceName);
    if (size)
        *size = r->size;
    if (thickness)
        *thickness = r->thickness;
    return 0;
}

FontHandle DefaultFontHandle()
{
    return table.defaultFont;
}

int SetFontSpacing(int spacing, FontHandle handle)
{
    FontRecord* r = FindFont(handle);
    if (!r)
        return -1;
    r->spacing = spacing;
    return 0;
}

int RegisterFontLostFlag(FontHandle handle, int32_t* flag)
{
    FontRecord* r = FindFont(handle);
    if (!r)
        return -1;
    r->lostFlag = flag;
    if (flag)
        *flag = 0;
    return 0;
}

int InitFontManager()
{
    DeleteAllFontHandles();
    // Check numbers run on across graphics restarts: a handle kept from before
    // a screen-mode change must not name the font now in its slot.
    const int32_t nextCheck = table.nextCheck;
    table = FontTable{};
    table.nextCheck = nextCheck;
    table.defaultFont = -1;
    DefaultFontSettings& s = table.defaults;
    s.size = 16;
    s.thickness = 6;
    s.type = 0;
    s.charsetCode = systemState.characterSet;
    s.edgeSize = 1;
    s.italic = 0;
    s.spacing = 0;
    table.started = true;
    return InitFonts();
}

int InitFonts()
{
    LogAdd("フォントの初期化を行います\n");
    LogIndent();
    struct {
        char faceName[256];
        int32_t size, thickness, type, charsetCode, edgeSize, italic;
    } kept{};
    const FontRecord* old = FindFont(table.defaultFont);
    if (old) {
        std::memcpy(kept.faceName, old->faceName, sizeof kept.faceName);
        kept.size = old->size;
        kept.thickness = old->thickness;
        kept.type = old->type;
        kept.charsetCode = old->charsetCode;
        kept.edgeSize = old->edgeSize;
        kept.italic = old->italic;
    }
    DeleteAllFontHandles();
    if (old) {
        table.defaultFont = CreateFontToHandle(kept.faceName, kept.size, kept.thickness, kept.type, kept.charsetCode,
                                               kept.edgeSize, kept.italic);
    } else {
        table.defaultFont = CreateDefaultFromSettings();
    }
    LogUnindent();
    LogAdd("フォントの初期化は正常に終了しました\n");
    return 0;
}

int EndFonts()
{
    if (!table.started)
        return 0;
    InitFonts();
    DeleteFontHandle(table.defaultFont);
    table.defaultFont = -1;
    table.started = false;
    return 0;
}

int RebuildDefaultFont()
{
    if (!table.started)
        return 0;
    const DefaultFontSettings& s = table.defaults;
    const FontRecord* r = FindFont(table.defaultFont);
    if (r && std::strcmp(r->faceName, s.faceName) == 0 && r->type == s.type && r->size == s.size &&
        r->thickness == s.thickness && r->charsetCode == s.charsetCode && r->edgeSize == s.edgeSize &&
        r->italic == s.italic)
        return 0;
    DeleteFontHandle(table.defaultFont);
    table.defaultFont = CreateDefaultFromSettings();
    SetFontSpacing(s.spacing, table.defaultFont);
    return 0;
}

int SetDefaultFontSize(int size, int thickness)
{
    table.defaults.size = size == -1 ? 16 : size;
    table.defaults.thickness = thickness == -1 ? 6 : thickness;
    return RebuildDefaultFont();
}

int RecreateAllFonts()
{
    for (int32_t i = 0; i < FontTableSize; ++i) {
        const FontRecord* r = table.fonts[i];
        if (!r)
            continue;
        char faceName[256];
        std::memcpy(faceName, r->faceName, sizeof faceName);
        const int32_t size = r->size, thickness = r->thickness, type = r->type, charsetCode = r->charsetCode;
        const int32_t edgeSize = r->edgeSize, italic = r->italic, spacing = r->spacing, check = r->checkNumber;
        const FontHandle handle = MakeHandle(HandleKindFont, check, i);
        DeleteFontHandle(handle);
        if (CreateFontToHandle(faceName, size, thickness, type, charsetCode, edgeSize, italic, i, check) == handle)
            SetFontSpacing(spacing, handle);
    }
    return 0;
}

int ResetGlyphCache(FontHandle handle)
{
    FontRecord* r = FindFont(handle);
    if (!r)
        return -1;
    std::memset(static_cast<void*>(r->glyphMap), 0, sizeof r->glyphMap);
    std::memset(static_cast<void*>(r->slots), 0, sizeof r->slots);
    for (int32_t i = 0; i < r->slotCount; ++i)
        r->slots[i].slotIndex = i;
    r->slots[r->slotCount].slotIndex = -1;
    r->nextSlot = 0;
    return 0;
}

int EnsureCacheTexture(FontHandle handle)
{
    FontRecord* r = FindFont(handle);
    if (!r)
        return -1;
    if (!r->textureLost)
        return 0;
    // The old images went with the device or with DeleteAllImages; whatever
    // is left of them goes now.
    ReleaseCacheImages(*r);
    r->textureLost = 0;
    const int planes = IsEdged(*r) ? 2 : 1;
    if (int64_t(planes) * r->cacheWidth * r->cacheHeight > INT32_MAX / 2)
        return -1;
    const ImageHandle cache =
        MakeGlyphCacheImage(planes * r->cacheWidth, r->cacheHeight, IsAntialiased(*r) ? 4 : 1);
    if (cache == -1)
        return -1;
    r->cacheImage = HoldImage(cache);
    if (planes == 2) {
        r->edgeImage = HoldImage(DeriveImage(r->cacheWidth, 0, r->cacheWidth, r->cacheHeight, cache));
        if (r->edgeImage.handle == -1) {
            ReleaseCacheImages(*r);
            return -1;
        }
    }
    SetImageLostFlag(cache, &r->textureLost);
    PixelRegion pixels;
    if (GetImagePixels(cache, &pixels))
        FillRegion(pixels, EmptyTexel(*r));
    if (!ImagePixelsChanged(cache)) {
        // A cache the device was not given would keep every glyph invisible.
        ReleaseCacheImages(*r);
        return -1;
    }
    if (MemImageValid(&r->cacheBase))
        FillRegion(WholeRegion(&r->cacheBase), EmptyTexel(*r));
    ResetGlyphCache(handle);
    return 0;
}

int EnsureGlyphCache(FontHandle handle)
{
    FontRecord* r = FindFont(handle);
    if (!r)
        return -1;
    if (!r->useTexture || EnsureCacheTexture(handle) == 0)
        return 0;
    // The texture cache could not be made again: the font goes on with a
    // memory cache, as when its texture cache fails at creation.
    LogAdd("テクスチャ文字キャッシュの作成に失敗しました\n");
    ReleaseCacheImages(*r);
    r->textureLost = 0;
    if (!MakeMemoryCache(*r)) {
        LogPrintfLine("フォントのキャッシュ用メモリの確保に失敗しました in EnsureGlyphCache");
        // Still a texture font, with no cache: it draws nothing and tries
        // again at its next text.
        r->textureLost = 1;
        return -1;
    }
    if (MemImageValid(&r->cacheBase))
        ReleaseMemImage(&r->cacheBase);
    r->useTexture = 0;
    ResetGlyphCache(handle);
    return 0;
}

void InstallFontHooks()
{
    InitFontSystemHook = InitFontManager;
    EndFontSystemHook = EndFonts;
    SaveDefaultFontHook = SaveDefaultFont;
    RestoreDefaultFontHook = RestoreDefaultFont;
    RecreateFontsHook = RecreateAllFonts;
}

}  // namespace media
