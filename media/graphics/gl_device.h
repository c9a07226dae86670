// The hardware path on OpenGL: the device made from a GL context on the main
// window, with its depth buffer, texture formats and shader program, and the
// count of live GL objects (0 whenever the software path runs).
#pragma once

#include <cstdint>
#include <string>

#include <GL/glcorearb.h>

namespace media {

// Reads KORVANTA_GRAPHICS ("gl" forces the hardware path even on a software
// rasteriser, "software" sets softwareOnly) and tells the platform whether the
// main window is to be GL-capable. Called by the window step just before the
// window is made.
void PrepareGraphicsWindow();

// True when the window step wanted GL and the GL library could not be loaded.
bool GlLibraryMissing();

// Whether a GL_RENDERER string names a software rasteriser (llvmpipe,
// softpipe, lavapipe, swrast, "Software Rasterizer", "Basic Render Driver"),
// in any case and wherever in the string: such a context is no device
// unless the hardware path is forced.
bool IsSoftwareRasteriser(const std::string& renderer);

// Loads the functions of the current context and says whether it will do:
// core33, version 3.3 or higher; else 2.1 or higher with framebuffer
// objects. glGetStringi is required from 3.0 on, where it exists.
bool AcceptGlContext(bool core33);

// From the IDirect3D9 step to the shader lines, each step logged. True with
// the device ready; false with everything made so far released.
bool TryGlDevicePath();
// Deletes every GL object and the context.
void ReleaseGlDevice();
bool GlDeviceReady();
// A hardware path abandoned after its setup succeeded (the renderer's
// buffers could not be made): the device released and the depth put back to
// what was asked for, as a fallback during the setup does.
void AbandonGlDevice();

// KORVANTA_GL_FAIL (tests): the named step fails as if the driver refused it,
// names separated by commas: robust (the robust context is refused), shader,
// screen, renderer, texture (an image's textures), upload (pixels into an
// image's textures).
bool GlStepFails(const char* step);

// The formats of the device, by their Direct3D names.
enum class DeviceFormat : int8_t {
    None = -1,
    R5G6B5,
    X1R5G5B5,
    A1R5G5B5,
    A4R4G4B4,
    X8R8G8B8,
    A8R8G8B8,
    Dxt1,
    Dxt2,
    Dxt3,
    Dxt4,
    Dxt5,
    D16,
    D24X8,
    D32,
};
const char* DeviceFormatName(DeviceFormat format);  // "D3DFMT_R5G6B5", ...
// The GL internal format standing for a device format.
GLenum GlInternalFormat(DeviceFormat format);

struct GlDeviceInfo {
    bool coreContext = false;  // 3.3 core ("hardware vertex processing"), else old-style
    bool robust = false;             // a robust context with the reset-status query, asked at every present
    bool resetNotification = false;  // and it reports resets (some drivers never do)
    bool anisotropic = false;
    float maxAnisotropy = 1.0f;
    int maxTextureWidth = 256, maxTextureHeight = 256;
    DeviceFormat backBuffer = DeviceFormat::None;
    DeviceFormat depthBuffer = DeviceFormat::None;
    DeviceFormat colour16 = DeviceFormat::None, colour32 = DeviceFormat::None;
    DeviceFormat alpha16 = DeviceFormat::None, alpha32 = DeviceFormat::None;
    DeviceFormat alphaTest16 = DeviceFormat::None, alphaTest32 = DeviceFormat::None;
    DeviceFormat dxt[5] = {DeviceFormat::None, DeviceFormat::None, DeviceFormat::None, DeviceFormat::None,
                           DeviceFormat::None};
    DeviceFormat drawable16 = DeviceFormat::None, drawable32 = DeviceFormat::None;
    DeviceFormat drawableAlpha32 = DeviceFormat::None;
    // The screen's own rows: the 32-bit ones at depth 32, else the 16-bit ones.
    DeviceFormat screenDrawable = DeviceFormat::None, screenAlphaTest = DeviceFormat::None;
    int depthWidth = 0, depthHeight = 0;  // the depth buffer's power-of-two sides
    bool swapIntervalSet = false;          // the driver took the wanted swap interval
};
const GlDeviceInfo& GlDevice();
// The depth buffer every screen-sized framebuffer shares.
GLuint GlDepthRenderbuffer();

// The shader program every primitive draws with, and its inputs.
struct GlProgram {
    GLuint program = 0;
    GLint transform = -1;  // vec4: scale x, scale y, offset x, offset y (pixels to clip space)
    GLint mode = -1;       // vec4: x textured, y alpha-test threshold, z texel alpha taken as 1,
                           // w colour premultiplied towards white (multiply blending)
    GLint image = -1;      // sampler2D, unit 0
    GLint key = -1;        // vec4: xyz the colour key's channel values, w 1 when keying
    GLint keyStep = -1;    // vec4: xyz 2^(8 - width) of each keyed channel
};
const GlProgram& GlDrawProgram();
constexpr GLuint AttributePosition = 0, AttributeTexcoord = 1, AttributeColour = 2;

// GL objects made and deleted through these are counted.
GLuint GlNewTexture();
void GlDeleteTexture(GLuint* texture);
GLuint GlNewFramebuffer();
void GlDeleteFramebuffer(GLuint* framebuffer);
GLuint GlNewRenderbuffer();
void GlDeleteRenderbuffer(GLuint* renderbuffer);
GLuint GlNewBuffer();
void GlDeleteBuffer(GLuint* buffer);
GLuint GlNewVertexArray();
void GlDeleteVertexArray(GLuint* vertexArray);
GLuint GlNewShader(GLenum kind);
void GlDeleteShader(GLuint* shader);
GLuint GlNewProgram();
void GlDeleteProgram(GLuint* program);
// Textures, framebuffers, renderbuffers, buffers, vertex arrays, shaders and
// programs alive now (the context itself not counted).
int GlLiveObjectCount();
bool GlContextAlive();

}  // namespace media
