#include "media/graphics/gl_screen.h"

#include <cstdint>

#include "media/graphics/gl_api.h"
#include "media/graphics/gl_device.h"
#include "media/graphics/screen.h"
#include "media/platform/gl_context.h"
#include "media/system/system_state.h"

namespace media {

using gl_api::gl;

namespace {

struct Vertex {
    float x, y, u, v;
    uint8_t r, g, b, a;
};

struct GlScreen {
    GLuint texture = 0;
    GLuint vertexBuffer = 0;
    GLuint vertexArray = 0;
    int width = 0, height = 0, depth = 0;
};
GlScreen screen;

void BindVertexLayout()
{
    gl.BindBuffer(GL_ARRAY_BUFFER, screen.vertexBuffer);
    gl.EnableVertexAttribArray(AttributePosition);
    gl.EnableVertexAttribArray(AttributeTexcoord);
    gl.EnableVertexAttribArray(AttributeColour);
    gl.VertexAttribPointer(AttributePosition, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                           reinterpret_cast<const void*>(offsetof(Vertex, x)));
    gl.VertexAttribPointer(AttributeTexcoord, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                           reinterpret_cast<const void*>(offsetof(Vertex, u)));
    gl.VertexAttribPointer(AttributeColour, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                           reinterpret_cast<const void*>(offsetof(Vertex, r)));
}

double SizeRate(double rate)
{
    return rate > 0 ? rate : 1.0;
}

}  // namespace

bool CreateGlScreen()
{
    ReleaseGlScreen();
    const DisplaySettings& d = displaySettings;
    screen.width = d.width;
    screen.height = d.height;
    screen.depth = d.depth;
    while (gl.GetError() != GL_NO_ERROR) {
    }
    screen.texture = GlNewTexture();
    gl.BindTexture(GL_TEXTURE_2D, screen.texture);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (d.depth == 16)
        gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGB565, d.width, d.height, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, nullptr);
    else
        gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, d.width, d.height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                      nullptr);
    screen.vertexArray = GlNewVertexArray();
    if (screen.vertexArray)
        gl.BindVertexArray(screen.vertexArray);
    screen.vertexBuffer = GlNewBuffer();
    BindVertexLayout();
    gl.Disable(GL_DITHER);
    gl.Disable(GL_BLEND);
    gl.Disable(GL_SCISSOR_TEST);
    gl.Disable(GL_DEPTH_TEST);
    gl.Disable(GL_CULL_FACE);
    const bool made = gl.GetError() == GL_NO_ERROR && screen.texture && screen.vertexBuffer;
    if (!made)
        ReleaseGlScreen();
    return made;
}

void ReleaseGlScreen()
{
    GlDeleteTexture(&screen.texture);
    GlDeleteBuffer(&screen.vertexBuffer);
    GlDeleteVertexArray(&screen.vertexArray);
    screen = GlScreen{};
}

int PresentGlScreen()
{
    DisplaySettings& d = displaySettings;
    const MEMIMG* image = ScreenImage();
    if (!GlDeviceReady() || !screen.texture || !image)
        return 0;
    if (d.waitVSync && (!d.presentOnVSync || !GlDevice().swapIntervalSet))
        WaitVerticalBlank();

    const bool emulating = d.emulate320x240 && d.width == 640 && d.height == 480;
    const int sourceWidth = emulating ? 320 : d.width, sourceHeight = emulating ? 240 : d.height;
    int destinationWidth = d.width, destinationHeight = d.height;
    if (emulating) {
        destinationWidth = 640;
        destinationHeight = 480;
    } else if (systemState.windowed) {
        destinationWidth = int(d.width * SizeRate(systemState.windowSizeRateX));
        destinationHeight = int(d.height * SizeRate(systemState.windowSizeRateY));
    }
    int drawableWidth = 0, drawableHeight = 0;
    platform::gl::DrawableSize(&drawableWidth, &drawableHeight);
    if (drawableWidth <= 0 || drawableHeight <= 0)
        return 0;

    // The frame's pixels as the screen holds them: no conversion on the way.
    gl.BindTexture(GL_TEXTURE_2D, screen.texture);
    gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.PixelStorei(GL_UNPACK_ROW_LENGTH, image->pitch / image->format.bytesPerPixel);
    if (screen.depth == 16)
        gl.TexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, image->width, image->height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
                         image->pixels);
    else
        gl.TexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, image->width, image->height, GL_BGRA,
                         GL_UNSIGNED_INT_8_8_8_8_REV, image->pixels);
    gl.PixelStorei(GL_UNPACK_ROW_LENGTH, 0);

    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
    gl.Viewport(0, 0, drawableWidth, drawableHeight);
    gl.ClearColor(0, 0, 0, 1);
    gl.Clear(GL_COLOR_BUFFER_BIT);

    const float right = float(destinationWidth), bottom = float(destinationHeight);
    const float u = float(sourceWidth) / float(screen.width), v = float(sourceHeight) / float(screen.height);
    const Vertex quad[6] = {
        {0, 0, 0, 0, 255, 255, 255, 255},     {right, 0, u, 0, 255, 255, 255, 255},
        {right, bottom, u, v, 255, 255, 255, 255}, {0, 0, 0, 0, 255, 255, 255, 255},
        {right, bottom, u, v, 255, 255, 255, 255}, {0, bottom, 0, v, 255, 255, 255, 255},
    };
    if (screen.vertexArray)
        gl.BindVertexArray(screen.vertexArray);
    else
        BindVertexLayout();
    gl.BindBuffer(GL_ARRAY_BUFFER, screen.vertexBuffer);
    gl.BufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_STREAM_DRAW);
    const GlProgram& program = GlDrawProgram();
    gl.UseProgram(program.program);
    // Pixels to clip space, y downward.
    gl.Uniform4f(program.transform, 2.0f / float(drawableWidth), -2.0f / float(drawableHeight), -1.0f, 1.0f);
    gl.Uniform4f(program.mode, 1.0f, -1.0f, 0.0f, 0.0f);
    gl.ActiveTexture(GL_TEXTURE0);
    gl.DrawArrays(GL_TRIANGLES, 0, 6);
    platform::gl::Swap();
    return 0;
}

bool TrialPresentFails()
{
    if (!displaySettings.hardwarePath || !GlDeviceReady())
        return false;
    if (platform::gl::TakeSimulatedLoss())
        return true;
    DisplaySettings& d = displaySettings;
    const bool wait = d.waitVSync;
    d.waitVSync = false;
    PresentGlScreen();
    d.waitVSync = wait;
    return gl.GetGraphicsResetStatus && GlDevice().robust && gl.GetGraphicsResetStatus() != GL_NO_ERROR;
}

}  // namespace media
