// The hardware path's renderer: every primitive becomes triangles collected
// into one vertex batch, drawn with the device's shader program into the
// current render target (the screen's framebuffer or a drawable image's).
// The batch is drawn (flushed) whenever the target, the texture, the blend
// mode, the filter or the alpha test changes, or a primitive needs another
// scissor, and before clearing, reading back and presenting; each flush that
// draws is one draw call.
#pragma once

#include <cstdint>

#include <GL/glcorearb.h>

#include "media/graphics/screen.h"

namespace media {

// One vertex: position in target pixels (y downward, pixel edges on
// integers), texel coordinates (0..1 over the texture's size), and the
// colour every texel is multiplied by (brightness, blend parameter as alpha).
struct GlVertex {
    float x, y, u, v;
    uint8_t r, g, b, a;
};

// Blend modes 0 to 4 of the drawing state.
enum class GlBlend : int8_t { None, Alpha, Add, Subtract, Multiply };

// Everything about a primitive that is GL state rather than vertex data.
struct GlPrimitiveState {
    GLuint texture = 0;           // 0: untextured (rectangles)
    GlBlend blend = GlBlend::None;
    int filter = 0;               // 0 nearest, 1 bilinear, 2 anisotropic
    float alphaThreshold = -1.0f; // texels whose alpha is at most this are discarded (-1: none)
    bool opaqueTexels = false;    // texel alpha read as 1 (images drawn without transparency)
    // Drawable images have no key in their texels' alpha: texels whose
    // channels, cut to keyWidth bits each, equal keyBits are discarded.
    bool keyed = false;
    uint8_t keyBits[3] = {0, 0, 0};   // red, green, blue
    uint8_t keyWidth[3] = {8, 8, 8};  // 1..8
    bool operator==(const GlPrimitiveState&) const = default;
};

// The vertex colour and blend that the drawing state gives a primitive: the
// brightness as colour, the blend parameter as alpha for modes 1 to 3 (255
// for mode 0 and for multiply, which ignores the parameter). sourceAlpha: the
// primitive's texels carry alpha that must blend (an alpha image drawn
// transparent), which makes mode 0 an alpha blend.
struct GlTint {
    uint8_t r = 255, g = 255, b = 255, a = 255;
    GlBlend blend = GlBlend::None;
};
GlTint GlTintOfDrawState(bool sourceAlpha);

// StartGraphics on the hardware path: the batch's buffers and the fixed
// states. False when they cannot be made.
bool StartGlRenderer();
void EndGlRenderer();

// Where a target lies in its framebuffer: a derived image shares its body's
// framebuffer and starts at its offset in the body. framebufferHeight: the
// height of the body (or screen) whose top row is the framebuffer's highest.
struct GlTargetPlace {
    int originX = 0, originY = 0;
    int framebufferHeight = 0;
};

// The target the batch draws into: a framebuffer object, the target's size
// and its place in the framebuffer (the viewport and scissor are moved
// there). Flushes first.
void GlSetRenderTarget(GLuint framebuffer, int width, int height, const GlTargetPlace& place);
// The draw area primitives are cut to (the viewport stays the whole target).
// A primitive lying inside it is queued as it is; one reaching outside is
// drawn with the area as scissor, which flushes when the batch's scissor
// differs. So narrowing the area per glyph costs no draw call.
void GlSetClipArea(const DrawArea& area);
// Appends whole triangles (count a multiple of 3) drawn with the state;
// flushes first when the state differs from the batch's.
void GlQueueTriangles(const GlPrimitiveState& state, const GlVertex* vertices, int count);
// Draws what the batch holds.
void GlFlush();
// Flushes, then fills the rectangle (right and bottom exclusive) of the
// current target with the colour, and its depth with 1.0; the scissor goes
// back to the draw area afterwards.
void GlClearRect(int left, int top, int right, int bottom, uint8_t red, uint8_t green, uint8_t blue);

// Draw calls made since the renderer started (a flush that draws is one).
uint64_t GlDrawCallCount();

// The framebuffer and size the batch draws into now.
GLuint GlCurrentFramebuffer();
// Binds the current target, its viewport and scissor again (after the
// presentation drew into the window).
void GlRebindTarget();
// The rectangle (x, y, width, height; y downward from the framebuffer's
// top row) of a framebuffer whose height is targetHeight, as 8-bit channels, red, green, blue, alpha per
// pixel, row by row from the top. Flushes first. False when it cannot be read.
bool GlReadFramebufferBytes(GLuint framebuffer, int targetHeight, int x, int y, int width, int height,
                            uint8_t* rgba);

}  // namespace media
