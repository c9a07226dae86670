// Drawing Shift-JIS text with font handles.
//
// Strings are cut into characters with the lead-byte rule of the font's
// character set; nothing is interpreted (a line feed is a character like any
// other). Glyphs come from the font's cache, rasterised in one batch before a
// string is drawn.
#pragma once

#include <cstdint>

#include "media/font/font.h"
#include "media/graphics/draw.h"
#include "media/graphics/screen.h"

namespace media {

// Draws a text line with the default font; (x, y) is the line's top-left
// corner. 0, or -1 for a bad font.
int DrawTextString(int x, int y, const char* text, ColorValue colour, ColorValue edgeColour);

// printf-formatted text (at most 2047 bytes; longer text is cut) with the
// default font.
int DrawTextFormat(int x, int y, ColorValue colour, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Any font; vertical text runs down, each glyph turned a quarter clockwise.
int DrawTextToHandle(int x, int y, const char* text, ColorValue colour, FontHandle font, ColorValue edgeColour,
                     int vertical);

// One character of a string: its first byte, its second byte (0 for one-byte
// characters) and a zero byte. The first two read as a little-endian word are
// the character code of the glyph cache.
struct CharRecord {
    uint8_t bytes[3];
    uint16_t Code() const { return uint16_t(bytes[0] | bytes[1] << 8); }
};

enum class TextMode { Measure, Draw };

// Measures or draws text. destination is written directly (8-, 16- and 32-bit
// pixels), within clip; antialiased fonts put their coverage into the alpha
// of destinations that have one. Returns the pen advance in pixels, or -1.
// lengthLimit counts bytes (-1 = the whole text). The size is (pen, cell
// height) for horizontal text and (cell height, pen) for vertical text.
int RenderText(TextMode mode, int x, int y, const char* text, ColorValue colour, const PixelRegion* destination,
               const DrawArea* clip, FontHandle font, ColorValue edgeColour, int lengthLimit, int vertical,
               int* sizeX = nullptr, int* sizeY = nullptr);

// Bytes of working storage for count items of each bytes, or -1 when they do
// not fit one block of the memory manager (32-bit sizes): long texts are
// refused rather than given a wrapped size.
int32_t TextWorkingBytes(int64_t count, int64_t each);

// Cuts the first lengthLimit bytes into characters (records must hold one per
// byte) and rasterises the ones missing from the cache in one batch.
int PrepareGlyphs(FontHandle font, const char* text, int lengthLimit, CharRecord* records, int* count);

}  // namespace media
