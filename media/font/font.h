// Font handles and their glyph caches.
//
// Up to 40 fonts live at once, each named by a FontHandle and made of a
// rasteriser font and a glyph cache: a glyph is rasterised the first time its
// character is drawn and copied out of the cache afterwards. Caches fill in
// slot order and, once full, give up their oldest slot first.
//
// Character codes are 16-bit: the low byte is the character's first byte, the
// high byte its second byte (0 for one-byte characters).
#pragma once

#include <cstdint>

#include "media/graphics/image_table.h"
#include "media/graphics/mem_image.h"

namespace media {

namespace platform {
struct RasterFont;
}

using FontHandle = int32_t;

constexpr int32_t FontTableSize = 40;
constexpr int32_t MaxGlyphSlots = 2024;
constexpr int32_t GlyphMapSize = 65536;

// Font type bits.
constexpr int32_t FontTypeEdge = 1;
constexpr int32_t FontTypeAntialiased = 2;

struct GlyphMapEntry;

// One cache cell.
struct GlyphSlot {
    uint8_t inUse;
    int16_t xOffset;  // glyph box left of the pen
    int16_t yOffset;  // glyph box top below the line's top (ascent - origin y)
    int16_t advance;  // pen movement, edges included
    int32_t slotIndex;
    int16_t width, height;  // glyph box, edges included
    GlyphMapEntry* mapEntry;
};

struct GlyphMapEntry {
    int32_t cached;  // 1 when the character has a slot (also a passing mark while text is scanned)
    GlyphSlot* slot;
};

struct FontRecord {
    int32_t checkNumber;
    int32_t* lostFlag;  // caller's variable: 0 when registered, 1 once the font is deleted
    GlyphSlot slots[MaxGlyphSlots + 1];  // the entry after the last used one has slotIndex -1
    GlyphMapEntry glyphMap[GlyphMapSize];
    int32_t nextSlot;
    int32_t slotCount;
    uint8_t* memoryCache;
    int32_t memoryPitch;
    int32_t memoryBitsPerPixel;  // 1 for type 0, 8 for the others
    char faceName[256];          // as asked for; empty for the default face
    int32_t thickness;           // the weight is thickness x 100
    int32_t size;
    int32_t cellHeight;  // line height, edges included, even
    int32_t italic;
    int32_t spacing;   // extra pixels after every character
    int32_t cellSize;  // side of a cache cell
    platform::RasterFont* gdiFont;  // the rasteriser's font object
    int32_t type;
    int32_t charsetCode;
    int32_t edgeSize;
    int32_t cacheWidth, cacheHeight;
    int32_t slotsPerColumn;
    // Texture cache (the hardware path): a glyph-cache image, A1R5G5B5 or
    // (antialiased) A4R4G4B4, twice cacheWidth wide for edged fonts with the
    // edge plane on the right; glyphs are written into cacheBase and handed
    // to the image cell by cell.
    HeldImage cacheImage;
    HeldImage edgeImage;  // the right half of cacheImage (edged fonts)
    int32_t textureLost;    // the image's lost flag: made again before the next use
    MEMIMG cacheBase;
    int32_t useTexture;
};

FontHandle CreateFontToHandle(const char* faceName, int size, int thickness, int type, int charsetCode,
                              int edgeSize, int italic, int tableIndex = -1, int checkNumber = -1);
int DeleteFontHandle(FontHandle handle);
int CheckFontHandle(FontHandle handle);  // 1 when valid
int QueryFontSize(FontHandle handle);
// faceName, when not null, receives up to 256 bytes.
int QueryFontState(char* faceName, int* size, int* thickness, FontHandle handle);
FontHandle DefaultFontHandle();
int SetFontSpacing(int spacing, FontHandle handle);
int RegisterFontLostFlag(FontHandle handle, int32_t* flag);

int InitFontManager();
int InitFonts();
int EndFonts();
int RebuildDefaultFont();
int SetDefaultFontSize(int size, int thickness);  // -1 each: 16 and 6
int RecreateAllFonts();

inline bool IsEdged(const FontRecord& r) { return (r.type & FontTypeEdge) != 0; }
inline bool IsAntialiased(const FontRecord& r) { return (r.type & FontTypeAntialiased) != 0; }
// The texel of an empty cache pixel: A4R4G4B4 for antialiased fonts, A1R5G5B5
// otherwise, alpha 0.
constexpr uint16_t EmptyTexel1 = 0x7FFF;
constexpr uint16_t EmptyTexel4 = 0x0FFF;
inline uint16_t EmptyTexel(const FontRecord& r) { return IsAntialiased(r) ? EmptyTexel4 : EmptyTexel1; }

// Rasterises the characters into the cache; the slot of the last one, or
// null (invalid handle, or the last character could not be rasterised).
GlyphSlot* RenderGlyphs(FontHandle handle, int count, const uint16_t* codes);
int EnsureCacheTexture(FontHandle handle);
// Before a texture font draws: its cache texture made again when lost, and a
// memory cache in its place when that fails. -1 when the font has no cache.
int EnsureGlyphCache(FontHandle handle);
int ResetGlyphCache(FontHandle handle);

// The top-left pixel of a slot's cell in the cache (memory bitmap or cache
// image; texture cells lie one pixel right and down). False for no slot.
bool GlyphCachePosition(const FontRecord& r, const GlyphSlot& slot, int32_t* x, int32_t* y);
// The record of a valid handle, else null.
FontRecord* FindFont(FontHandle handle);
// Fills the graphics' font hooks (start, end, screen-mode change, restore).
void InstallFontHooks();

}  // namespace media
