// Colours in the screen's format, rectangles and the drawing state that
// modulates every drawing call (brightness, blending, transparent colour,
// filter). Everything draws into the current draw target (screen.h) and is
// clipped to its draw area.
#pragma once

#include <cstdint>

namespace korvanta {

using ColorValue = uint32_t;

ColorValue PackColor(int red, int green, int blue);  // in the screen's format: after InitMediaLibrary
int UnpackColor(ColorValue value, int* red, int* green, int* blue);

int DrawRect(int x1, int y1, int x2, int y2, ColorValue colour, int fill);  // x2, y2 exclusive

enum BlendMode : int { BlendNone = 0, BlendAlpha = 1, BlendAdd = 2, BlendSubtract = 3, BlendMultiply = 4 };
int SetBlendState(int mode, int parameter);  // parameter 0 to 255
int SetDrawBrightness(int red, int green, int blue);
int SetTransColor(int red, int green, int blue);  // the colour that images drawn with trans leave out
int SetDrawFilter(int mode);                      // 0 nearest, 1 bilinear
// Brightness white, no blending, transparent colour black, nearest filter.
void ResetDrawState();

}  // namespace korvanta
