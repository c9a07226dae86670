// The drawing primitives on the hardware path: rectangles as batched
// triangles.
#pragma once

#include "media/graphics/draw.h"

namespace media {

// DrawRect on the hardware path (same pixels as the memory path: bars
// clipped to the draw area, the border's pixels each once). 0, or -1 when
// the device is missing.
int GlDrawRect(int x1, int y1, int x2, int y2, ColorValue colour, int fill);

}  // namespace media
