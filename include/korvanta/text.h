// Drawing text. Strings are Shift-JIS (code page 932) bytes: a program whose
// compiler writes UTF-8 literals converts them or spells the bytes out
// ("\x93\xfa\x96\x7b" is 日本). Nothing is interpreted: a line feed is
// drawn like any other character.
#pragma once

#include "korvanta/draw.h"
#include "korvanta/font.h"

namespace korvanta {

// (x, y) is the top-left corner of the line. 0, or -1 for a bad font.
int DrawTextString(int x, int y, const char* text, ColorValue colour, ColorValue edgeColour);
// printf-formatted, at most 2047 bytes (longer text is cut).
int DrawTextFormat(int x, int y, ColorValue colour, const char* format, ...) __attribute__((format(printf, 4, 5)));
// Any font; vertical text runs down, each glyph turned a quarter clockwise.
int DrawTextToHandle(int x, int y, const char* text, ColorValue colour, FontHandle font, ColorValue edgeColour,
                     int vertical);
// The width of a text line in pixels (-1 for a bad font); *height, when
// given, receives the line height.
int MeasureText(const char* text, FontHandle font, int* height);

}  // namespace korvanta
