// Drawing Shift-JIS text with font handles.
#pragma once

#include "media/graphics/draw.h"

namespace media {

// Draws a text line with the default font; (x, y) is the line's top-left
// corner. 0, or -1 for a bad font.
int DrawTextString(int x, int y, const char* text, ColorValue colour, ColorValue edgeColour);

// printf-formatted text (at most 2047 bytes) with the default font.
int DrawTextFormat(int x, int y, ColorValue colour, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

}  // namespace media
