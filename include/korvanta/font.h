// Fonts: faces found through fontconfig, rasterised by FreeType into a glyph
// cache. The default font (size 16) is there once InitMediaLibrary has run.
#pragma once

#include <cstdint>

namespace korvanta {

using FontHandle = int32_t;

// Font types: plain, edged (an outline in the edge colour), antialiased.
enum FontType : int { FontNormal = 0, FontEdge = 1, FontAntialiased = 2, FontAntialiasedEdge = 3 };
// Character sets of the texts drawn with a font.
enum Charset : int { CharsetDefault = 0, CharsetShiftJis = 1, CharsetHangul = 2, CharsetBig5 = 3, CharsetGb2312 = 4 };

// faceName null or empty: the default face. thickness 0 to 9 (-1: 6).
// -1 when the font cannot be made (up to 40 fonts live at once).
FontHandle CreateFontToHandle(const char* faceName, int size, int thickness, int type, int charset, int edgeSize,
                              int italic);
int DeleteFontHandle(FontHandle font);
FontHandle DefaultFontHandle();
int SetDefaultFontSize(int size, int thickness);  // -1 each: 16 and 6
int SetFontSpacing(int spacing, FontHandle font);  // extra pixels after every character
int QueryFontSize(FontHandle font);

}  // namespace korvanta
