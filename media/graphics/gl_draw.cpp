#include "media/graphics/gl_draw.h"

#include <algorithm>
#include <cstdint>

#include "media/graphics/gl_device.h"
#include "media/graphics/gl_renderer.h"
#include "media/graphics/screen.h"
#include "media/system/lifecycle.h"

namespace media {

namespace {

struct Bar {
    int64_t left, top, right, bottom;  // right and bottom exclusive
};

// Two triangles covering the bar cut to the area; pixel edges lie on
// integers, so every covered pixel centre is inside exactly once.
int AppendBar(Bar bar, const DrawArea& area, const GlTint& tint, GlVertex* out)
{
    bar.left = std::max<int64_t>(bar.left, area.left);
    bar.top = std::max<int64_t>(bar.top, area.top);
    bar.right = std::min<int64_t>(bar.right, area.right);
    bar.bottom = std::min<int64_t>(bar.bottom, area.bottom);
    if (bar.left >= bar.right || bar.top >= bar.bottom)
        return 0;
    const float l = float(bar.left), t = float(bar.top), r = float(bar.right), b = float(bar.bottom);
    const GlVertex corners[4] = {
        {l, t, 0, 0, tint.r, tint.g, tint.b, tint.a},
        {r, t, 0, 0, tint.r, tint.g, tint.b, tint.a},
        {r, b, 0, 0, tint.r, tint.g, tint.b, tint.a},
        {l, b, 0, 0, tint.r, tint.g, tint.b, tint.a},
    };
    const int order[6] = {0, 1, 2, 0, 2, 3};
    for (int i = 0; i < 6; ++i)
        out[i] = corners[order[i]];
    return 6;
}

}  // namespace

int GlDrawRect(int x1, int y1, int x2, int y2, ColorValue colour, int fill)
{
    if (!GlDeviceReady())
        return -1;
    DrawArea area;
    if (!CurrentTargetArea(&area))
        return -1;
    if (area.left == area.right || area.top == area.bottom || displaySettings.drawAreaEmpty)
        return 0;
    WaitWhileInactive();

    const int64_t left = std::min(x1, x2), right = std::max(x1, x2);
    const int64_t top = std::min(y1, y2), bottom = std::max(y1, y2);
    if (left == right || top == bottom)
        return 0;

    // The colour exactly as the memory path computes it: unpacked with the
    // screen format, then scaled by the brightness with truncation.
    int red, green, blue;
    UnpackColor(colour, &red, &green, &blue);
    GlTint tint = GlTintOfDrawState(false);
    tint.r = uint8_t(red * tint.r / 255);
    tint.g = uint8_t(green * tint.g / 255);
    tint.b = uint8_t(blue * tint.b / 255);

    GlVertex vertices[24];
    int count = 0;
    if (fill) {
        count += AppendBar(Bar{left, top, right, bottom}, area, tint, vertices);
    } else {
        // The border, each pixel once even when the rectangle is one pixel wide or high.
        count += AppendBar(Bar{left, top, right, top + 1}, area, tint, vertices + count);
        if (bottom - top > 1) {
            count += AppendBar(Bar{right - 1, top + 1, right, bottom}, area, tint, vertices + count);
            if (right - left > 1) {
                count += AppendBar(Bar{left, top + 1, left + 1, bottom}, area, tint, vertices + count);
                count += AppendBar(Bar{left + 1, bottom - 1, right - 1, bottom}, area, tint, vertices + count);
            }
        }
    }
    GlPrimitiveState state;
    state.blend = tint.blend;
    GlQueueTriangles(state, vertices, count);
    return 0;
}

}  // namespace media
