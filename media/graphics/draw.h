// Colours in the screen's format and the drawing primitives: rectangles and
// images (whole, a part, mapped onto a quadrilateral), with the drawing state
// that modulates them (brightness, blend mode, transparent colour, filter).
//
// Everything draws into the current draw target of the screen module and is
// clipped to its draw area.
#pragma once

#include <cstdint>

#include "media/graphics/color_format.h"
#include "media/graphics/image_table.h"

namespace media {

using ColorValue = uint32_t;

// The pixel format of the screen in force: R5G6B5 on a 16-bit screen,
// X8R8G8B8 (none bits set) otherwise.
const ColorFormat& ScreenColorFormat();

ColorValue PackColor(int red, int green, int blue);
int UnpackColor(ColorValue value, int* red, int* green, int* blue);

int SetDrawBrightness(int red, int green, int blue);
void SetDrawBrightnessWord(int word);
// Modes: 0 none, 1 alpha, 2 add, 3 subtract, 4 multiply; other modes draw as 0.
int SetBlendState(int mode, int parameter);
int SetTransColor(int red, int green, int blue);
// 0 nearest, 1 bilinear, 2 anisotropic (bilinear in memory). Other modes are
// kept out; on the hardware path they return -1.
int SetDrawFilter(int mode);
// Brightness white, no blending, transparent colour black, nearest filter.
void ResetDrawState();

struct DrawState {
    int brightRed = 255, brightGreen = 255, brightBlue = 255;
    int blendMode = 0;
    int blendParameter = 255;
    uint32_t transColor = 0;  // 0x00RRGGBB
    int filter = 0;
};
const DrawState& CurrentDrawState();
uint32_t CurrentTransColor();

int DrawRect(int x1, int y1, int x2, int y2, ColorValue colour, int fill);
int DrawImage(int x, int y, ImageHandle image, int trans);
int DrawImagePart(int x, int y, int srcX, int srcY, int width, int height, ImageHandle image, int trans,
                  int mirror);
// Corners in the order top-left, top-right, bottom-right, bottom-left of the image.
int DrawImageQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                  ImageHandle image, int trans);

}  // namespace media
