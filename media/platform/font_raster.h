// The glyph rasteriser: FreeType faces found through fontconfig, standing in
// for the system's font objects, text metrics and glyph outlines.
//
// A font is asked for by face name (Shift-JIS), character set, cell height,
// weight and italic. Glyphs are asked for by the character's bytes packed the
// system's way (the byte, or first byte x 256 + second byte) and come back as
// a black box with origin and advance, plus a bitmap with rows padded to 4
// bytes: 1 bit per pixel (first pixel in the top bit) or one byte per pixel
// with coverage 0..16. docs/FONTS.md lists the face mapping and the levels.
#pragma once

#include <cstdint>
#include <string>

namespace media::platform {

struct RasterFont;

struct RasterFontRequest {
    // Shift-JIS face name. Null: any monospaced face that covers the
    // language; empty or "ＭＳ ゴシック" (any spelling): IPAGothic.
    const char* faceName = nullptr;
    int32_t charsetCode = 0;  // selects the language and the code page
    int32_t size = 16;        // > 0 cell height (ascent + descent); < 0 em height; 0 = 16
    int32_t weight = 400;     // 100..900; 700 and up is bold
    bool italic = false;
};

struct RasterTextMetrics {
    int32_t ascent = 0;
    int32_t descent = 0;
    int32_t height = 0;        // ascent + descent
    int32_t maxCharWidth = 0;  // the largest advance
};

struct RasterGlyphMetrics {
    int32_t blackBoxX = 0, blackBoxY = 0;  // bitmap width and height
    int32_t originX = 0;                   // box left from the pen
    int32_t originY = 0;                   // box top above the baseline
    int32_t cellIncX = 0;                  // pen movement
};

enum class GlyphFormat {
    Bitmap,  // 1 bit per pixel
    Gray17,  // one byte per pixel, 0..16
};

// Null when no face can be found or opened for the request (or FreeType is
// not there).
RasterFont* CreateRasterFont(const RasterFontRequest& request);
void DeleteRasterFont(RasterFont* font);
bool GetRasterTextMetrics(const RasterFont* font, RasterTextMetrics* metrics);

// Metrics of one character and, when buffer is not null, its bitmap. Returns
// the bitmap's size in bytes (0 for a glyph without pixels), or -1 when the
// glyph cannot be had. A code that does not convert from the font's code page
// gives the face's missing-glyph box. Asking for the size and then for the
// bitmap of the same character renders it once.
int32_t GetRasterGlyph(RasterFont* font, uint32_t code, GlyphFormat format, RasterGlyphMetrics* metrics,
                       uint32_t bufferSize, void* buffer);

// Where a request's face comes from; false when none would be found.
bool DescribeRasterFont(const RasterFont* font, std::string* file, int32_t* faceIndex);

// The 256 coverage levels of FreeType as the 17 levels of a Gray17 bitmap.
constexpr uint8_t CoverageLevel(uint8_t gray) { return uint8_t((gray * 16 + 127) / 255); }

// FreeType's library is made on first use and kept; false when it cannot be.
bool RasterSystemReady();
// Makes RasterSystemReady fail as if FreeType could not start (tests).
void SimulateRasterSystemFailure(bool fail);
// Makes GetRasterGlyph refuse one character code, as FreeType does a damaged
// outline (tests); 0 refuses none.
void SimulateRefusedGlyph(uint32_t code);
// Forgets the font configuration and the faces found with it, so that the
// next font reads the configuration again (FONTCONFIG_FILE included).
void ReloadFontConfiguration();

}  // namespace media::platform
