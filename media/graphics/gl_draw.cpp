#include "media/graphics/gl_draw.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "media/graphics/gl_device.h"
#include "media/graphics/gl_image.h"
#include "media/graphics/gl_renderer.h"
#include "media/graphics/screen.h"
#include "media/core/roof_calls.h"
#include "media/core/system_state.h"

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

// ------------------------------------------------------------ images

// The checks of the image primitives in their documented order, on the
// hardware path: -1 error, 1 nothing to draw, 0 go on (scissor set).
int CheckGlImageDraw(ImageHandle image, DrawArea* area, const ImageEntry** entry)
{
    if (!systemState.initialised)
        return -1;
    if (!CurrentTargetArea(area))
        return -1;
    if (area->left >= area->right || area->top >= area->bottom || displaySettings.drawAreaEmpty)
        return 1;
    *entry = FindImage(image);
    if (!*entry || !(*entry)->body)
        return -1;
    // The device (or, after its loss, this image's textures) is missing.
    if (!displaySettings.hardwarePath || !GlDeviceReady() || !(*entry)->body->textures)
        return -1;
    return 0;
}

int BeginGlImageDraw(ImageHandle image, DrawArea* area, const ImageEntry** entry)
{
    const int checked = CheckGlImageDraw(image, area, entry);
    if (checked != 0)
        return checked;
    WaitWhileInactive();
    // The wait pumps messages, and a restore run by them releases the
    // textures (for good when the device cannot be made again, which also
    // ends the hardware path): everything is taken again after it.
    const int again = CheckGlImageDraw(image, area, entry);
    if (again != 0)
        return again;
    GlSetClipArea(*area);
    return 0;
}

// The copy of a texture drawn from while it was the target: drawn, then gone.
void ReleaseTextureCopy(GLuint* copy)
{
    if (!*copy)
        return;
    GlFlush();
    GlDeleteTexture(copy);
}

GlPrimitiveState GlImageState(const ImageBody& body, int trans, GlTint* tint)
{
    *tint = GlTintOfDrawState(trans && body.hasAlpha);
    GlPrimitiveState s;
    s.blend = tint->blend;
    s.filter = CurrentDrawState().filter;
    s.opaqueTexels = trans == 0;
    if (trans && body.alphaTest && body.drawable) {
        // What is drawn into a draw target reaches its texture without
        // passing the upload that keys it, and a 5-6-5 texture has no alpha
        // at all: its texels are compared with the colour key as the memory
        // copy would hold them, and their alpha means nothing.
        const ColorFormat& f = body.image.format;
        const uint8_t widths[3] = {f.redWidth, f.greenWidth, f.blueWidth};
        const uint8_t channels[3] = {uint8_t(body.transColor >> 16), uint8_t(body.transColor >> 8),
                                     uint8_t(body.transColor)};
        s.keyed = true;
        s.opaqueTexels = true;
        for (int i = 0; i < 3; ++i) {
            s.keyWidth[i] = uint8_t(std::clamp<int>(widths[i], 1, 8));
            s.keyBits[i] = uint8_t(channels[i] >> (8 - s.keyWidth[i]));
        }
    } else if (trans && body.alphaTest) {
        // The transparent colour became alpha 0 when the texture was filled.
        s.alphaThreshold = 16.0f / 255.0f;
    }
    return s;
}

GlVertex GlImageVertex(const GlTint& tint, double x, double y, double u, double v)
{
    return GlVertex{float(x), float(y), float(u), float(v), tint.r, tint.g, tint.b, tint.a};
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
    if (!fill && (x1 > x2) != (y1 > y2)) {
        // One axis given the other way round: the device's outline swaps the
        // two corner points whole (both axes reversed come out in order) and
        // draws the same four runs as below, where the reversed axis leaves
        // two of them empty: rows y1 and y2 - 1, or columns x1 and x2 - 1.
        // The memory path puts each axis in order instead (docs/HARDWARE.md).
        const int64_t ax = x2, ay = y2, bx = x1, by = y1;
        count += AppendBar(Bar{ax, ay, bx, ay + 1}, area, tint, vertices + count);
        count += AppendBar(Bar{bx - 1, ay + 1, bx, by}, area, tint, vertices + count);
        count += AppendBar(Bar{ax, ay + 1, ax + 1, by}, area, tint, vertices + count);
        count += AppendBar(Bar{ax + 1, by - 1, bx - 1, by}, area, tint, vertices + count);
    } else if (fill) {
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

// Draws an entry unscaled with its top-left pixel at (x, y), mirrored left to
// right when asked, cut to `clip` (which lies inside the draw area).
int DrawImageGl(int64_t x, int64_t y, ImageHandle image, int trans, bool mirror, const Box* extraClip)
{
    DrawArea area;
    const ImageEntry* entry = nullptr;
    const int begun = BeginGlImageDraw(image, &area, &entry);
    if (begun != 0)
        return begun < 0 ? -1 : 0;
    Box clip = Box{area.left, area.top, area.right, area.bottom};
    if (extraClip)
        clip = Intersect(clip, *extraClip);
    if (Intersect(clip, Box{x, y, x + entry->width, y + entry->height}).Empty())
        return 0;
    const ImageBody& body = *entry->body;
    GlTint tint;
    GlPrimitiveState primitive = GlImageState(body, trans, &tint);
    // Texels land 1:1 on pixels: nearest and bilinear sample the same texel
    // centres, and one filter keeps such draws in one batch.
    primitive.filter = 0;
    const GlImageTextures& textures = *body.textures;
    GLuint copy = TextureCopyWhileDrawnInto(body);
    const int64_t ox = entry->offsetX, oy = entry->offsetY;
    for (int32_t i = 0; i < textures.Count(); ++i) {
        const GlTexturePiece& piece = textures.pieces[i];
        // The part of the entry this piece holds, in body coordinates.
        int64_t bx0 = std::max<int64_t>(piece.x, ox), bx1 = std::min<int64_t>(piece.x + piece.usedWidth, ox + entry->width);
        int64_t by0 = std::max<int64_t>(piece.y, oy), by1 = std::min<int64_t>(piece.y + piece.usedHeight, oy + entry->height);
        if (bx0 >= bx1 || by0 >= by1)
            continue;
        // Where it lands, and what of it the clip keeps.
        int64_t tx0 = mirror ? x + (ox + entry->width - bx1) : x + (bx0 - ox);
        int64_t tx1 = tx0 + (bx1 - bx0);
        int64_t ty0 = y + (by0 - oy), ty1 = y + (by1 - oy);
        const Box kept = Intersect(clip, Box{tx0, ty0, tx1, ty1});
        if (kept.Empty())
            continue;
        if (mirror) {
            bx1 -= kept.left - tx0;
            bx0 += tx1 - kept.right;
        } else {
            bx0 += kept.left - tx0;
            bx1 -= tx1 - kept.right;
        }
        by0 += kept.top - ty0;
        by1 -= ty1 - kept.bottom;
        tx0 = kept.left;
        tx1 = kept.right;
        ty0 = kept.top;
        ty1 = kept.bottom;
        const double tw = piece.textureWidth;
        const double u0 = double(bx0 - piece.x) / tw, u1 = double(bx1 - piece.x) / tw;
        const double v0 = textures.TexelV(piece, by0, body.height), v1 = textures.TexelV(piece, by1, body.height);
        const double uLeft = mirror ? u1 : u0, uRight = mirror ? u0 : u1;
        const GlVertex corner[4] = {GlImageVertex(tint, double(tx0), double(ty0), uLeft, v0),
                                    GlImageVertex(tint, double(tx1), double(ty0), uRight, v0),
                                    GlImageVertex(tint, double(tx1), double(ty1), uRight, v1),
                                    GlImageVertex(tint, double(tx0), double(ty1), uLeft, v1)};
        primitive.texture = copy ? copy : piece.texture;
        const GlVertex triangles[6] = {corner[0], corner[1], corner[2], corner[0], corner[2], corner[3]};
        GlQueueTriangles(primitive, triangles, 6);
    }
    ReleaseTextureCopy(&copy);
    return 0;
}

int DrawImagePartGl(int x, int y, int srcX, int srcY, int width, int height, ImageHandle image, int trans, int mirror)
{
    if (!systemState.initialised)
        return -1;
    DrawArea area;
    if (!CurrentTargetArea(&area))
        return -1;
    const Box part{x, y, int64_t(x) + width, int64_t(y) + height};
    if (displaySettings.drawAreaEmpty || Intersect(Box{area.left, area.top, area.right, area.bottom}, part).Empty())
        return 0;
    const ImageEntry* entry = FindImage(image);
    if (!entry)
        return -1;
    if (mirror)
        return DrawImageGl(int64_t(x) + srcX + width - entry->width, int64_t(y) - srcY, image, trans, true, &part);
    return DrawImageGl(int64_t(x) - srcX, int64_t(y) - srcY, image, trans, false, &part);
}

// The image mapped onto the quadrilateral: each piece's part of the image
// goes to the matching part of the quadrilateral (bilinear in the corners),
// as two triangles split along the top-left to bottom-right diagonal.
int DrawImageQuadGl(const Point corners[4], ImageHandle image, int trans)
{
    DrawArea area;
    const ImageEntry* entry = nullptr;
    const int begun = BeginGlImageDraw(image, &area, &entry);
    if (begun != 0)
        return begun < 0 ? -1 : 0;
    for (const Point& p : std::initializer_list<Point>{corners[0], corners[1], corners[2], corners[3]}) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return 0;
    }
    const ImageBody& body = *entry->body;
    GlTint tint;
    GlPrimitiveState primitive = GlImageState(body, trans, &tint);
    const GlImageTextures& textures = *body.textures;
    GLuint copy = TextureCopyWhileDrawnInto(body);
    const int64_t ox = entry->offsetX, oy = entry->offsetY;
    const double w = entry->width, h = entry->height;
    auto at = [&](double s, double t) {
        const Point &a = corners[0], &b = corners[1], &c = corners[2], &d = corners[3];
        return Point{(1 - s) * (1 - t) * a.x + s * (1 - t) * b.x + s * t * c.x + (1 - s) * t * d.x,
                     (1 - s) * (1 - t) * a.y + s * (1 - t) * b.y + s * t * c.y + (1 - s) * t * d.y};
    };
    for (int32_t i = 0; i < textures.Count(); ++i) {
        const GlTexturePiece& piece = textures.pieces[i];
        const int64_t bx0 = std::max<int64_t>(piece.x, ox), bx1 = std::min<int64_t>(piece.x + piece.usedWidth, ox + entry->width);
        const int64_t by0 = std::max<int64_t>(piece.y, oy), by1 = std::min<int64_t>(piece.y + piece.usedHeight, oy + entry->height);
        if (bx0 >= bx1 || by0 >= by1)
            continue;
        const double s0 = double(bx0 - ox) / w, s1 = double(bx1 - ox) / w;
        const double t0 = double(by0 - oy) / h, t1 = double(by1 - oy) / h;
        const double tw = piece.textureWidth;
        const double u0 = double(bx0 - piece.x) / tw, u1 = double(bx1 - piece.x) / tw;
        const double v0 = textures.TexelV(piece, by0, body.height), v1 = textures.TexelV(piece, by1, body.height);
        const Point p00 = at(s0, t0), p10 = at(s1, t0), p11 = at(s1, t1), p01 = at(s0, t1);
        const GlVertex topLeft = GlImageVertex(tint, p00.x, p00.y, u0, v0), topRight = GlImageVertex(tint, p10.x, p10.y, u1, v0);
        const GlVertex bottomRight = GlImageVertex(tint, p11.x, p11.y, u1, v1);
        const GlVertex bottomLeft = GlImageVertex(tint, p01.x, p01.y, u0, v1);
        const GlVertex triangles[6] = {topLeft, topRight, bottomRight, topLeft, bottomRight, bottomLeft};
        primitive.texture = copy ? copy : piece.texture;
        GlQueueTriangles(primitive, triangles, 6);
    }
    ReleaseTextureCopy(&copy);
    return 0;
}

}  // namespace media
