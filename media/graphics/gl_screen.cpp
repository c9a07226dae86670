#include "media/graphics/gl_screen.h"

#include "media/graphics/gl_api.h"
#include "media/graphics/gl_device.h"
#include "media/graphics/gl_renderer.h"
#include "media/graphics/screen.h"
#include "media/platform/gl_context.h"
#include "media/core/system_state.h"

namespace media {

using gl_api::gl;

namespace {

// A screen-sized colour texture with its framebuffer (the depth buffer
// attached).
struct ScreenBuffer {
    GLuint texture = 0;
    GLuint framebuffer = 0;
};

struct GlScreen {
    ScreenBuffer main;
    ScreenBuffer sub;  // full screen: made by the front-screen timer
    int width = 0, height = 0;
    bool lost = false;  // a present found the context reset
};
GlScreen screen;

double SizeRate(double rate)
{
    return rate > 0 ? rate : 1.0;
}

void ReleaseBuffer(ScreenBuffer* buffer)
{
    GlDeleteFramebuffer(&buffer->framebuffer);
    GlDeleteTexture(&buffer->texture);
}

bool MakeBuffer(ScreenBuffer* buffer)
{
    const DisplaySettings& d = displaySettings;
    while (gl.GetError() != GL_NO_ERROR) {
    }
    buffer->texture = GlNewTexture();
    gl.BindTexture(GL_TEXTURE_2D, buffer->texture);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // The screen is drawn into as drawable images are: the drawable row the
    // probes chose for its depth (GL_RGB565 is not renderable everywhere).
    const DeviceFormat format = GlDevice().screenDrawable;
    const GLenum internal = format != DeviceFormat::None ? GlInternalFormat(format)
                            : d.depth == 16                ? GL_RGB565
                                                           : GL_RGBA8;
    gl.TexImage2D(GL_TEXTURE_2D, 0, GLint(internal), d.width, d.height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    buffer->framebuffer = GlNewFramebuffer();
    gl.BindFramebuffer(GL_FRAMEBUFFER, buffer->framebuffer);
    gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, buffer->texture, 0);
    if (GLuint depth = GlDepthRenderbuffer())
        gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    const bool complete = gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    bool made = complete && gl.GetError() == GL_NO_ERROR && buffer->texture && buffer->framebuffer;
    if (made) {
        gl.Disable(GL_SCISSOR_TEST);
        gl.Viewport(0, 0, d.width, d.height);
        gl.ClearColor(float(d.background[0]) / 255.0f, float(d.background[1]) / 255.0f,
                      float(d.background[2]) / 255.0f, 1.0f);
        gl.ClearDepth(1.0);
        gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        made = gl.GetError() == GL_NO_ERROR;
    }
    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!made)
        ReleaseBuffer(buffer);
    return made;
}

// Whether the context was reset. Only a context with reset notification can
// tell; a loss simulated for tests is its answer in place of the driver's.
bool ContextWasReset()
{
    if (!GlDevice().robust || !gl.GetGraphicsResetStatus)
        return false;
    if (platform::gl::TakeSimulatedLoss())
        return true;
    return gl.GetGraphicsResetStatus() != GL_NO_ERROR;
}

// Copies the screen-sized framebuffer `from` onto `to`.
void CopyBuffer(GLuint from, GLuint to)
{
    gl.Disable(GL_SCISSOR_TEST);
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, from);
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    gl.BlitFramebuffer(0, 0, screen.width, screen.height, 0, 0, screen.width, screen.height, GL_COLOR_BUFFER_BIT,
                       GL_NEAREST);
}

}  // namespace

bool CreateGlScreen()
{
    ReleaseGlScreen();
    screen.width = displaySettings.width;
    screen.height = displaySettings.height;
    if (!MakeBuffer(&screen.main))
        return false;
    if (GlStepFails("screen")) {
        ReleaseBuffer(&screen.main);
        return false;
    }
    return true;
}

void ReleaseGlScreen()
{
    if (GlContextAlive()) {
        ReleaseBuffer(&screen.sub);
        ReleaseBuffer(&screen.main);
    }
    screen = GlScreen{};
}

GLuint GlScreenFramebuffer()
{
    return screen.sub.framebuffer ? screen.sub.framebuffer : screen.main.framebuffer;
}

bool GlSubBackBufferExists()
{
    return screen.sub.framebuffer != 0;
}

bool CreateGlSubBackBuffer()
{
    if (screen.sub.framebuffer)
        return true;
    if (!GlDeviceReady() || !screen.main.framebuffer)
        return false;
    GlFlush();
    const bool made = MakeBuffer(&screen.sub);
    if (made)
        CopyBuffer(screen.main.framebuffer, screen.sub.framebuffer);
    GlRebindTarget();
    return made;
}

int PresentGlScreen(bool repaint)
{
    DisplaySettings& d = displaySettings;
    if (!GlDeviceReady() || !screen.main.framebuffer)
        return 0;
    if (screen.lost || ContextWasReset()) {
        screen.lost = true;
        return -1;
    }
    GlFlush();
    // The sub back buffer goes onto the screen's buffer first, as a copy.
    if (screen.sub.framebuffer)
        CopyBuffer(screen.sub.framebuffer, screen.main.framebuffer);

    if (!repaint && d.waitVSync && (!d.presentOnVSync || !GlDevice().swapIntervalSet))
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
    if (drawableWidth <= 0 || drawableHeight <= 0) {
        GlRebindTarget();
        return 0;
    }

    // Both framebuffers keep the top row highest, so the copy needs no flip;
    // the window's rows are counted from its bottom edge.
    gl.Disable(GL_SCISSOR_TEST);
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    gl.Viewport(0, 0, drawableWidth, drawableHeight);
    gl.ClearColor(0, 0, 0, 1);
    gl.Clear(GL_COLOR_BUFFER_BIT);
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, screen.main.framebuffer);
    gl.BlitFramebuffer(0, screen.height - sourceHeight, sourceWidth, screen.height, 0,
                       drawableHeight - destinationHeight, destinationWidth, drawableHeight, GL_COLOR_BUFFER_BIT,
                       GL_NEAREST);
    platform::gl::Swap();
    GlRebindTarget();
    return 0;
}

bool TrialPresentFails()
{
    if (!displaySettings.hardwarePath || !GlDeviceReady())
        return false;
    return PresentGlScreen(true) == -1 && screen.lost;
}

bool GlDeviceLossSeen()
{
    return displaySettings.hardwarePath && GlDeviceReady() && screen.lost;
}

}  // namespace media
