// The drawing primitives on the hardware path: rectangles and images as
// batched triangles (images as textured ones: vertices on pixel edges,
// texel coordinates at texel edges over the texture's size).
#pragma once

#include <cstdint>

#include "media/graphics/draw.h"
#include "media/graphics/draw_geometry.h"

namespace media {

// DrawRect on the hardware path (same pixels as the memory path: bars
// clipped to the draw area, the border's pixels each once), except for an
// outline with one axis reversed, whose corner points are swapped whole
// (docs/HARDWARE.md). 0, or -1 when the device is missing.
int GlDrawRect(int x1, int y1, int x2, int y2, ColorValue colour, int fill);

// DrawImage on the hardware path: the entry unscaled with its top-left pixel
// at (x, y), mirrored left to right when asked, cut to the draw area and to
// extraClip when given. 0, or -1 (invalid handle, no device or textures).
int DrawImageGl(int64_t x, int64_t y, ImageHandle image, int trans, bool mirror, const Box* extraClip);
int DrawImagePartGl(int x, int y, int srcX, int srcY, int width, int height, ImageHandle image, int trans,
                    int mirror);
// Corners top-left, top-right, bottom-right, bottom-left of the image.
int DrawImageQuadGl(const Point corners[4], ImageHandle image, int trans);

}  // namespace media
