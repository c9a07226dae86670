#include "media/graphics/gl_renderer.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "media/graphics/draw.h"
#include "media/graphics/gl_api.h"
#include "media/graphics/gl_device.h"
#include "media/log/log.h"

namespace media {

using gl_api::gl;

namespace {

// Vertices the batch holds before it is drawn on its own: about 2700 quads,
// more than a whole frame of the program draws.
constexpr size_t BatchCapacity = 16384;

struct Renderer {
    bool started = false;
    GLuint vertexBuffer = 0;
    GLuint vertexArray = 0;
    std::vector<GlVertex> batch;
    GlPrimitiveState batchState;
    GLuint framebuffer = 0;
    int width = 0, height = 0;
    GlTargetPlace place;
    DrawArea clip;          // the draw area asked for
    DrawArea batchScissor;  // the scissor the batch is drawn with
    uint64_t drawCalls = 0;
};
Renderer renderer;

void BindVertexLayout()
{
    gl.BindBuffer(GL_ARRAY_BUFFER, renderer.vertexBuffer);
    gl.EnableVertexAttribArray(AttributePosition);
    gl.EnableVertexAttribArray(AttributeTexcoord);
    gl.EnableVertexAttribArray(AttributeColour);
    gl.VertexAttribPointer(AttributePosition, 2, GL_FLOAT, GL_FALSE, sizeof(GlVertex),
                           reinterpret_cast<const void*>(offsetof(GlVertex, x)));
    gl.VertexAttribPointer(AttributeTexcoord, 2, GL_FLOAT, GL_FALSE, sizeof(GlVertex),
                           reinterpret_cast<const void*>(offsetof(GlVertex, u)));
    gl.VertexAttribPointer(AttributeColour, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(GlVertex),
                           reinterpret_cast<const void*>(offsetof(GlVertex, r)));
}

void ApplyBlend(GlBlend blend)
{
    if (blend == GlBlend::None) {
        gl.Disable(GL_BLEND);
        return;
    }
    gl.Enable(GL_BLEND);
    switch (blend) {
    case GlBlend::Alpha:
        // The target's alpha becomes a + d.a x (1 - a), as the memory path keeps it.
        gl.BlendEquation(GL_FUNC_ADD);
        gl.BlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        break;
    case GlBlend::Add:
        gl.BlendEquation(GL_FUNC_ADD);
        gl.BlendFuncSeparate(GL_SRC_ALPHA, GL_ONE, GL_ZERO, GL_ONE);
        break;
    case GlBlend::Subtract:
        // d - s x a: the target minus the source.
        gl.BlendEquation(GL_FUNC_REVERSE_SUBTRACT);
        gl.BlendFuncSeparate(GL_SRC_ALPHA, GL_ONE, GL_ZERO, GL_ONE);
        break;
    case GlBlend::Multiply:
        // The shader turns s into s x a + (1 - a), so d x that is d x s where
        // the texel covers and d where it does not.
        gl.BlendEquation(GL_FUNC_ADD);
        gl.BlendFuncSeparate(GL_DST_COLOR, GL_ZERO, GL_ZERO, GL_ONE);
        break;
    case GlBlend::None:
        break;
    }
}

void ApplyTexture(const GlPrimitiveState& state)
{
    gl.ActiveTexture(GL_TEXTURE0);
    gl.BindTexture(GL_TEXTURE_2D, state.texture);
    if (!state.texture)
        return;
    const GLint filter = state.filter == 0 ? GL_NEAREST : GL_LINEAR;
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    const GlDeviceInfo& device = GlDevice();
    if (device.anisotropic)
        gl.TexParameterf(GL_TEXTURE_2D, gl_api::TextureMaxAnisotropy,
                         state.filter == 2 ? device.maxAnisotropy : 1.0f);
}

void ApplyScissor(const DrawArea& a)
{
    // GL counts rows from the bottom; the draw area counts them from the top.
    const GlTargetPlace& p = renderer.place;
    gl.Scissor(p.originX + a.left, p.framebufferHeight - p.originY - a.bottom, a.right - a.left, a.bottom - a.top);
}

bool SameArea(const DrawArea& a, const DrawArea& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Whether the vertices lie inside the area (pixel edges on integers, so a
// triangle inside covers no pixel outside).
bool Inside(const GlVertex* vertices, int count, const DrawArea& a)
{
    for (int i = 0; i < count; ++i) {
        const GlVertex& v = vertices[i];
        if (!(v.x >= float(a.left) && v.x <= float(a.right) && v.y >= float(a.top) && v.y <= float(a.bottom)))
            return false;
    }
    return true;
}

}  // namespace

GlTint GlTintOfDrawState(bool sourceAlpha)
{
    const DrawState& s = CurrentDrawState();
    GlTint tint;
    tint.r = uint8_t(s.brightRed);
    tint.g = uint8_t(s.brightGreen);
    tint.b = uint8_t(s.brightBlue);
    switch (s.blendMode) {
    case 1:
        tint.blend = GlBlend::Alpha;
        break;
    case 2:
        tint.blend = GlBlend::Add;
        break;
    case 3:
        tint.blend = GlBlend::Subtract;
        break;
    case 4:
        tint.blend = GlBlend::Multiply;
        break;
    default:
        tint.blend = sourceAlpha ? GlBlend::Alpha : GlBlend::None;
        break;
    }
    if (s.blendMode >= 1 && s.blendMode <= 3)
        tint.a = uint8_t(s.blendParameter);
    return tint;
}

bool StartGlRenderer()
{
    EndGlRenderer();
    while (gl.GetError() != GL_NO_ERROR) {
    }
    renderer.vertexArray = GlNewVertexArray();
    if (renderer.vertexArray)
        gl.BindVertexArray(renderer.vertexArray);
    renderer.vertexBuffer = GlNewBuffer();
    if (!renderer.vertexBuffer) {
        EndGlRenderer();
        LogAdd("頂点バッファの作成に失敗しました\n");
        return false;
    }
    BindVertexLayout();
    gl.BufferData(GL_ARRAY_BUFFER, BatchCapacity * sizeof(GlVertex), nullptr, GL_STREAM_DRAW);
    renderer.batch.reserve(BatchCapacity);
    // Fixed states: pixels written as computed, nothing culled or depth-tested
    // (primitives are drawn in order), the draw area as scissor.
    gl.Disable(GL_DITHER);
    gl.Disable(GL_DEPTH_TEST);
    gl.Disable(GL_CULL_FACE);
    gl.Disable(GL_BLEND);
    gl.Enable(GL_SCISSOR_TEST);
    gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.PixelStorei(GL_PACK_ALIGNMENT, 1);
    const GlProgram& program = GlDrawProgram();
    gl.UseProgram(program.program);
    gl.Uniform1i(program.image, 0);
    if (gl.GetError() != GL_NO_ERROR || GlStepFails("renderer")) {
        EndGlRenderer();
        LogAdd("頂点バッファの作成に失敗しました\n");
        return false;
    }
    renderer.started = true;
    return true;
}

void EndGlRenderer()
{
    if (GlContextAlive()) {
        GlDeleteBuffer(&renderer.vertexBuffer);
        GlDeleteVertexArray(&renderer.vertexArray);
    }
    const uint64_t drawCalls = renderer.drawCalls;
    renderer = Renderer{};
    renderer.drawCalls = drawCalls;
}

void GlSetRenderTarget(GLuint framebuffer, int width, int height, const GlTargetPlace& place)
{
    if (!renderer.started)
        return;
    GlFlush();
    renderer.framebuffer = framebuffer;
    renderer.width = width;
    renderer.height = height;
    renderer.place = place;
    renderer.clip = DrawArea{0, 0, width, height};
    renderer.batchScissor = renderer.clip;
    GlRebindTarget();
}

void GlRebindTarget()
{
    if (!renderer.started)
        return;
    gl.BindFramebuffer(GL_FRAMEBUFFER, renderer.framebuffer);
    const GlTargetPlace& p = renderer.place;
    gl.Viewport(p.originX, p.framebufferHeight - p.originY - renderer.height, renderer.width, renderer.height);
    gl.Enable(GL_SCISSOR_TEST);
    ApplyScissor(renderer.batchScissor);
}

GLuint GlCurrentFramebuffer()
{
    return renderer.framebuffer;
}

void GlSetClipArea(const DrawArea& area)
{
    // Taken into account as primitives are queued: text narrows the area
    // for every glyph, and glyphs inside their area need no scissor change.
    renderer.clip = area;
}

void GlQueueTriangles(const GlPrimitiveState& state, const GlVertex* vertices, int count)
{
    if (!renderer.started || count <= 0)
        return;
    // A primitive inside the draw area joins a batch whose scissor holds it;
    // one reaching outside needs the draw area itself as the scissor.
    const DrawArea whole{0, 0, renderer.width, renderer.height};
    const bool inside = Inside(vertices, count, renderer.clip);
    if (!renderer.batch.empty()) {
        const bool fits = inside ? Inside(vertices, count, renderer.batchScissor)
                                 : SameArea(renderer.batchScissor, renderer.clip);
        if (!fits || !(state == renderer.batchState) || renderer.batch.size() + size_t(count) > BatchCapacity)
            GlFlush();
    }
    if (renderer.batch.empty())
        renderer.batchScissor = inside ? whole : renderer.clip;
    renderer.batchState = state;
    renderer.batch.insert(renderer.batch.end(), vertices, vertices + count);
    if (renderer.batch.size() >= BatchCapacity)
        GlFlush();
}

void GlFlush()
{
    if (!renderer.started || renderer.batch.empty())
        return;
    const GlPrimitiveState& state = renderer.batchState;
    if (renderer.vertexArray)
        gl.BindVertexArray(renderer.vertexArray);
    else
        BindVertexLayout();
    gl.BindBuffer(GL_ARRAY_BUFFER, renderer.vertexBuffer);
    // A fresh store each time: the driver need not wait for the last draw.
    const size_t bytes = renderer.batch.size() * sizeof(GlVertex);
    gl.BufferData(GL_ARRAY_BUFFER, BatchCapacity * sizeof(GlVertex), nullptr, GL_STREAM_DRAW);
    gl.BufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(bytes), renderer.batch.data());

    const GlProgram& program = GlDrawProgram();
    gl.UseProgram(program.program);
    // Target pixels to clip space; y runs downward.
    gl.Uniform4f(program.transform, 2.0f / float(renderer.width), -2.0f / float(renderer.height), -1.0f, 1.0f);
    gl.Uniform4f(program.mode, state.texture ? 1.0f : 0.0f, state.alphaThreshold, state.opaqueTexels ? 1.0f : 0.0f,
                 state.blend == GlBlend::Multiply ? 1.0f : 0.0f);
    gl.Uniform4f(program.key, state.keyBits[0], state.keyBits[1], state.keyBits[2], state.keyed ? 1.0f : 0.0f);
    gl.Uniform4f(program.keyStep, float(1 << (8 - state.keyWidth[0])), float(1 << (8 - state.keyWidth[1])),
                 float(1 << (8 - state.keyWidth[2])), 1.0f);
    ApplyTexture(state);
    ApplyBlend(state.blend);
    ApplyScissor(renderer.batchScissor);
    gl.DrawArrays(GL_TRIANGLES, 0, GLsizei(renderer.batch.size()));
    ++renderer.drawCalls;
    renderer.batch.clear();
}

void GlClearRect(int left, int top, int right, int bottom, uint8_t red, uint8_t green, uint8_t blue)
{
    if (!renderer.started)
        return;
    GlFlush();
    if (right <= left || bottom <= top)
        return;
    ApplyScissor(DrawArea{left, top, right, bottom});
    gl.ClearColor(float(red) / 255.0f, float(green) / 255.0f, float(blue) / 255.0f, 1.0f);
    gl.ClearDepth(1.0);
    gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The batch is empty: the scissor goes back to the draw area.
    renderer.batchScissor = renderer.clip;
    ApplyScissor(renderer.batchScissor);
}

bool GlReadFramebufferBytes(GLuint framebuffer, int targetHeight, int x, int y, int width, int height,
                            uint8_t* rgba)
{
    if (!renderer.started || x < 0 || y < 0 || width < 0 || height < 0 || y > targetHeight - height)
        return false;
    GlFlush();
    if (width == 0 || height == 0)
        return true;
    while (gl.GetError() != GL_NO_ERROR) {
    }
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    std::vector<uint8_t> rows(size_t(width) * size_t(height) * 4);
    gl.ReadPixels(x, targetHeight - y - height, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    const bool read = gl.GetError() == GL_NO_ERROR;
    gl.BindFramebuffer(GL_FRAMEBUFFER, renderer.framebuffer);
    if (!read)
        return false;
    // GL's rows run upward.
    const size_t rowBytes = size_t(width) * 4;
    for (int row = 0; row < height; ++row)
        std::copy_n(rows.data() + size_t(height - 1 - row) * rowBytes, rowBytes, rgba + size_t(row) * rowBytes);
    return true;
}

uint64_t GlDrawCallCount()
{
    return renderer.drawCalls;
}

}  // namespace media
