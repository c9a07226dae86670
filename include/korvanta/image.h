// Pictures: loaded from files (BMP, JPEG, PNG, TGA, DDS) into image handles,
// drawn whole, in part or onto a quadrilateral. A picture "x.png" with a
// "x_a.png" beside it takes its alpha from that picture's red channel.
#pragma once

#include <cstdint>

#include "korvanta/draw.h"

namespace korvanta {

using ImageHandle = int32_t;

// A Shift-JIS path, relative to the working folder; -1 when the graphics are
// not started or the file cannot be read (the log says why).
ImageHandle LoadImageToHandle(const char* path);
// An empty image; a drawable one can be a draw target (SetDrawTarget).
ImageHandle MakeImage(int width, int height, bool hasAlpha, bool drawable);
int DeleteImage(ImageHandle image);
int GetImageSize(ImageHandle image, int* width, int* height);  // 0, or -1 for a bad handle

// trans: leave out the transparent colour (SetTransColor) or use the alpha.
int DrawImage(int x, int y, ImageHandle image, int trans);
int DrawImagePart(int x, int y, int srcX, int srcY, int width, int height, ImageHandle image, int trans, int mirror);
// Corners in the order top-left, top-right, bottom-right, bottom-left of the image.
int DrawImageQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                  ImageHandle image, int trans);

}  // namespace korvanta
