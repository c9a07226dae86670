#include "media/graphics/gl_device.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "media/graphics/device_setup.h"
#include "media/graphics/gl_api.h"
#include "media/graphics/gl_screen.h"
#include "media/graphics/screen.h"
#include "media/log/log.h"
#include "media/platform/gl_context.h"
#include "media/platform/platform.h"
#include "media/core/system_state.h"

namespace media {

using gl_api::gl;

namespace {

// Whether the hardware path may run on a software rasteriser (KORVANTA_GRAPHICS=gl).
bool forcedHardware = false;
GlDeviceInfo device;
GlProgram drawProgram;
bool deviceReady = false;
int requestedDepth = 0;  // the depth asked for before the window took the desktop's
GLuint depthRenderbuffer = 0;
int liveObjects = 0;

struct FormatRow {
    const char* name;
    GLenum internal;
    GLenum pixelFormat, pixelType;  // how the 8 x 8 probe is written and read
    int bytes;                      // per pixel; per 4 x 4 block for compressed formats
    uint32_t fixedBits;             // bits that read back set whatever was written (X formats)
    bool compressed, depth;
};

const FormatRow& RowOf(DeviceFormat format)
{
    static const FormatRow rows[] = {
        {"D3DFMT_R5G6B5", GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, 0, false, false},
        {"D3DFMT_X1R5G5B5", GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, 0x8000, false, false},
        {"D3DFMT_A1R5G5B5", GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, 0, false, false},
        {"D3DFMT_A4R4G4B4", GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, 0, false, false},
        {"D3DFMT_X8R8G8B8", GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, 0xFF000000u, false, false},
        {"D3DFMT_A8R8G8B8", GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, 0, false, false},
        {"D3DFMT_DXT1", gl_api::CompressedDxt1, 0, 0, 8, 0, true, false},
        {"D3DFMT_DXT2", gl_api::CompressedDxt3, 0, 0, 16, 0, true, false},
        {"D3DFMT_DXT3", gl_api::CompressedDxt3, 0, 0, 16, 0, true, false},
        {"D3DFMT_DXT4", gl_api::CompressedDxt5, 0, 0, 16, 0, true, false},
        {"D3DFMT_DXT5", gl_api::CompressedDxt5, 0, 0, 16, 0, true, false},
        {"D3DFMT_D16", GL_DEPTH_COMPONENT16, 0, 0, 0, 0, false, true},
        {"D3DFMT_D24X8", GL_DEPTH_COMPONENT24, 0, 0, 0, 0, false, true},
        {"D3DFMT_D32", GL_DEPTH_COMPONENT32, 0, 0, 0, 0, false, true},
    };
    return rows[int(format)];
}

// ------------------------------------------------------------ counted objects

void Count(GLuint made)
{
    if (made)
        ++liveObjects;
}

template <class Delete>
void Drop(GLuint* object, Delete&& remove)
{
    if (!object || !*object)
        return;
    if (platform::gl::HasContext())
        remove(*object);
    *object = 0;
    --liveObjects;
}

// ------------------------------------------------------------ context facts

int ParseVersion(const char* text, int* minor)
{
    // "4.5 (Core Profile) Mesa 22.3.6", "2.1 Mesa ...", "OpenGL ES 3.2 ..."
    *minor = 0;
    if (!text)
        return 0;
    while (*text && (*text < '0' || *text > '9'))
        ++text;
    char* end = nullptr;
    const long major = std::strtol(text, &end, 10);
    if (end && *end == '.')
        *minor = int(std::strtol(end + 1, nullptr, 10));
    return int(major);
}

std::set<std::string> Extensions(int major)
{
    std::set<std::string> names;
    if (major >= 3 && gl.GetStringi) {
        GLint count = 0;
        gl.GetIntegerv(GL_NUM_EXTENSIONS, &count);
        for (GLint i = 0; i < count; ++i) {
            const GLubyte* name = gl.GetStringi(GL_EXTENSIONS, GLuint(i));
            if (name)
                names.insert(reinterpret_cast<const char*>(name));
        }
        gl.GetError();
        if (!names.empty())
            return names;
    }
    const GLubyte* all = gl.GetString(GL_EXTENSIONS);
    gl.GetError();
    if (all) {
        std::string list(reinterpret_cast<const char*>(all));
        size_t start = 0;
        while (start < list.size()) {
            size_t end = list.find(' ', start);
            if (end == std::string::npos)
                end = list.size();
            if (end > start)
                names.insert(list.substr(start, end - start));
            start = end + 1;
        }
    }
    return names;
}

std::string GlText(GLenum name)
{
    const GLubyte* text = gl.GetString(name);
    return text ? reinterpret_cast<const char*>(text) : "";
}

// ------------------------------------------------------------ format probes

// KORVANTA_GL_DENY (tests): Direct3D format names, with or without
// "D3DFMT_", separated by commas or spaces, that count as unusable; a name
// after "ROW/" is refused in that row of the choice alone (rows: depth,
// colour16, colour32, alpha16, alpha32, alphatest16, alphatest32, dxt,
// drawable16, drawable32, drawablealpha32), since several rows share their
// candidates.
std::set<std::string> DeniedFormats()
{
    std::set<std::string> denied;
    const char* list = std::getenv("KORVANTA_GL_DENY");
    if (!list)
        return denied;
    std::string text(list);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(", ", start);
        if (end == std::string::npos)
            end = text.size();
        std::string name = text.substr(start, end - start);
        const size_t slash = name.find('/');
        const std::string row = slash == std::string::npos ? "" : name.substr(0, slash + 1);
        if (slash != std::string::npos)
            name.erase(0, slash + 1);
        if (!name.empty())
            denied.insert(row + (name.rfind("D3DFMT_", 0) == 0 ? name : "D3DFMT_" + name));
        start = end + 1;
    }
    return denied;
}

class FormatProber {
public:
    explicit FormatProber(bool s3tc) : s3tc_(s3tc), denied_(DeniedFormats()) {}

    // A texture of the format (renderTarget: one a framebuffer can draw into).
    bool Usable(DeviceFormat format, bool renderTarget, const char* purpose)
    {
        const FormatRow& row = RowOf(format);
        if (denied_.count(row.name) || denied_.count(std::string(purpose) + "/" + row.name))
            return false;
        if (row.compressed && !s3tc_)
            return false;
        const auto key = std::make_pair(format, renderTarget);
        const auto known = results_.find(key);
        if (known != results_.end())
            return known->second;
        const bool usable = row.depth ? ProbeDepth(row) : ProbeTexture(row, renderTarget);
        results_[key] = usable;
        return usable;
    }

private:
    bool ProbeTexture(const FormatRow& row, bool renderTarget)
    {
        while (gl.GetError() != GL_NO_ERROR) {
        }
        GLuint texture = GlNewTexture();
        gl.BindTexture(GL_TEXTURE_2D, texture);
        gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
        gl.PixelStorei(GL_PACK_ALIGNMENT, 1);
        unsigned char written[8 * 8 * 4] = {};
        unsigned char read[8 * 8 * 4] = {};
        size_t bytes;
        if (row.compressed) {
            bytes = size_t(row.bytes) * 4;  // 8 x 8 is four blocks
            for (size_t i = 0; i < bytes; ++i)
                written[i] = uint8_t(i * 29 + 7);
            gl.CompressedTexImage2D(GL_TEXTURE_2D, 0, row.internal, 8, 8, 0, GLsizei(bytes), written);
        } else {
            bytes = size_t(row.bytes) * 64;
            for (size_t i = 0; i < 64; ++i) {
                uint32_t word = uint32_t(i * 0x9E3779B9u) | row.fixedBits;
                std::memcpy(written + i * size_t(row.bytes), &word, size_t(row.bytes));
            }
            gl.TexImage2D(GL_TEXTURE_2D, 0, GLint(row.internal), 8, 8, 0, row.pixelFormat, row.pixelType, written);
        }
        bool usable = gl.GetError() == GL_NO_ERROR;
        if (usable) {
            if (row.compressed)
                gl.GetCompressedTexImage(GL_TEXTURE_2D, 0, read);
            else
                gl.GetTexImage(GL_TEXTURE_2D, 0, row.pixelFormat, row.pixelType, read);
            usable = gl.GetError() == GL_NO_ERROR && std::memcmp(written, read, bytes) == 0;
        }
        if (usable && renderTarget) {
            GLuint framebuffer = GlNewFramebuffer();
            gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
            gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
            usable = gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
            gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
            GlDeleteFramebuffer(&framebuffer);
        }
        gl.BindTexture(GL_TEXTURE_2D, 0);
        GlDeleteTexture(&texture);
        while (gl.GetError() != GL_NO_ERROR) {
        }
        return usable;
    }

    // A depth buffer of the format that completes a framebuffer with a colour
    // buffer. The colour buffer is GL_RGBA8, which every context with
    // framebuffer objects can render to: GL_RGB565 (a 16-bit back buffer's)
    // only can from GL 4.1 or with ES2 compatibility.
    bool ProbeDepth(const FormatRow& row)
    {
        while (gl.GetError() != GL_NO_ERROR) {
        }
        GLuint colour = GlNewRenderbuffer(), depth = GlNewRenderbuffer(), framebuffer = GlNewFramebuffer();
        gl.BindRenderbuffer(GL_RENDERBUFFER, colour);
        gl.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 8, 8);
        gl.BindRenderbuffer(GL_RENDERBUFFER, depth);
        gl.RenderbufferStorage(GL_RENDERBUFFER, row.internal, 8, 8);
        gl.BindRenderbuffer(GL_RENDERBUFFER, 0);
        gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        const bool usable =
            gl.GetError() == GL_NO_ERROR && gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
        GlDeleteFramebuffer(&framebuffer);
        GlDeleteRenderbuffer(&depth);
        GlDeleteRenderbuffer(&colour);
        while (gl.GetError() != GL_NO_ERROR) {
        }
        return usable;
    }

    bool s3tc_;
    std::set<std::string> denied_;
    std::map<std::pair<DeviceFormat, bool>, bool> results_;
};

// ------------------------------------------------------------ the steps

// The IDirect3D9 step: a GL-capable main window whose context is a GPU (or
// any context, when forced). The probing context goes again; the renderer's
// names are kept for the adapter line.
bool ObtainDeviceFactory(std::string* renderer, std::string* vendor)
{
    LogAdd("IDirect3D9 オブジェクトを取得します.... ");
    const platform::WindowHandle window = systemState.mainWindow;
    std::string error;
    bool found = platform::CurrentBackend() == platform::Backend::Sdl && window &&
                 platform::gl::WindowIsGlCapable(window) &&
                 platform::gl::CreateContext(window, platform::gl::ContextRequest{}, &error);
    if (found) {
        gl.GetString = reinterpret_cast<PFNGLGETSTRINGPROC>(platform::gl::ProcAddress("glGetString"));
        if (!gl.GetString) {
            platform::gl::DeleteContext();
            LogAdd("Direct3DCreate9 APIのアドレス取得に失敗しました\n");
            return false;
        }
        *renderer = GlText(GL_RENDERER);
        *vendor = GlText(GL_VENDOR);
        gl_api::ClearFunctions();
        platform::gl::DeleteContext();
        // A software rasteriser is no device: the memory path costs it several
        // times less processor time.
        found = !renderer->empty() && (forcedHardware || !IsSoftwareRasteriser(*renderer));
    }
    if (!found) {
        LogAdd("IDirect3D9 オブジェクトの取得に失敗しました\n");
        return false;
    }
    LogAdd("成功\n");
    return true;
}

bool MakeContext(bool core33)
{
    std::string error;
    platform::gl::ContextRequest request;
    request.core33 = core33;
    // Robust first, so that a lost device can be told; plain where refused.
    for (bool robust : {true, false}) {
        if (robust && GlStepFails("robust"))
            continue;
        request.robust = robust;
        if (platform::gl::CreateContext(systemState.mainWindow, request, &error)) {
            device.robust = robust;
            return true;
        }
    }
    return false;
}


bool CreateDevice()
{
    DisplaySettings& d = displaySettings;
    LogAdd("IDirect3DDevice9 オブジェクトを取得します.... ");

    if (systemState.windowed) {
        // The back buffer takes the desktop's format, and the screen its depth.
        const int desktopBits = platform::DesktopBitsPerPixel();
        device.backBuffer = desktopBits == 16 ? DeviceFormat::R5G6B5 : DeviceFormat::X8R8G8B8;
        d.depth = desktopBits == 16 ? 16 : 32;
    } else if (d.depth == 16) {
        device.backBuffer = DeviceFormat::X1R5G5B5;
        for (const platform::DisplayMode& mode : platform::DisplayModes()) {
            if (mode.bitsPerPixel == 16)
                device.backBuffer = DeviceFormat::R5G6B5;
        }
    } else if (d.depth == 32) {
        device.backBuffer = DeviceFormat::X8R8G8B8;
    } else {
        LogAdd("非対応のバックバッファービット深度が指定されました\n");
        return false;
    }

    if (MakeContext(true) && AcceptGlContext(true)) {
        device.coreContext = true;
        LogAdd("ハードウエア頂点演算を使用します\n");
    } else if (MakeContext(false) && AcceptGlContext(false)) {
        device.coreContext = false;
        LogAdd("ソフトウエア頂点演算を使用します\n");
    } else {
        gl_api::ClearFunctions();
        platform::gl::DeleteContext();
        LogAdd("Direct3DDevice9 の作成に失敗しました\n");
        return false;
    }
    // Without reset notification nothing tells a lost device: the swap
    // returns nothing and the context gives no status.
    if (!device.robust)
        LogAdd("ロバストコンテキストを作成できなかったため、デバイスロストを検出できません\n");
    else if (!device.resetNotification)
        LogAdd("リセット通知のないコンテキストのため、デバイスロストを検出できません\n");

    if (!systemState.windowed && ChangeDisplayMode() == -1) {
        LogAdd("Direct3DDevice9 の作成に失敗しました\n");
        return false;
    }

    // The presentation interval: immediate unless presenting on the vertical
    // blank; where the driver refuses, the library's own pacing does the waiting.
    device.swapIntervalSet = platform::gl::SetSwapInterval(d.presentOnVSync ? 1 : 0);

    MeasureRefreshPeriod();
    gl.ClearColor(d.background[0] / 255.0f, d.background[1] / 255.0f, d.background[2] / 255.0f, 1.0f);
    for (int i = 0; i < 3; ++i) {
        gl.Clear(GL_COLOR_BUFFER_BIT);
        platform::gl::Swap();
    }
    gl.Clear(GL_COLOR_BUFFER_BIT);
    LogAdd("成功\n");

    GLint maxSide = 0;
    gl.GetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    device.maxTextureWidth = device.maxTextureHeight = maxSide > 0 ? maxSide : 256;
    LogPrintfLine("Driver:%s  Description:%s", GlText(GL_RENDERER).c_str(), GlText(GL_VENDOR).c_str());
    LogPrintfLine("画面のフォーマットは %s です", DeviceFormatName(device.backBuffer));
    return true;
}

bool ChooseFormats()
{
    int minor = 0;
    const int major = ParseVersion(reinterpret_cast<const char*>(gl.GetString(GL_VERSION)), &minor);
    const std::set<std::string> extensions = Extensions(major);
    device.anisotropic = extensions.count("GL_EXT_texture_filter_anisotropic") > 0 ||
                         extensions.count("GL_ARB_texture_filter_anisotropic") > 0;
    if (device.anisotropic) {
        GLint most = 1;
        gl.GetIntegerv(gl_api::MaxAnisotropy, &most);
        device.maxAnisotropy = float(most > 1 ? most : 1);
        gl.GetError();
    }
    FormatProber prober(extensions.count("GL_EXT_texture_compression_s3tc") > 0);

    using F = DeviceFormat;
    auto first = [&](const std::vector<F>& candidates, bool renderTarget, const char* purpose) {
        for (F candidate : candidates) {
            if (prober.Usable(candidate, renderTarget, purpose))
                return candidate;
        }
        return F::None;
    };

    device.depthBuffer = first({F::D16, F::D24X8, F::D32}, false, "depth");
    if (device.depthBuffer == F::None) {
        LogAdd("使用できる Zバッファフォーマットが見つかりませんでした\n");
        return false;
    }
    LogPrintfLine("Ｚバッファのフォーマットは %s です", DeviceFormatName(device.depthBuffer));

    device.colour16 = first({F::R5G6B5, F::X1R5G5B5}, false, "colour16");
    if (device.colour16 == F::None) {
        LogAdd("使用できる 16bit カラーフォーマットが見つかりませんでした\n");
        return false;
    }
    LogPrintfLine("16bit カラーフォーマットは %s です", DeviceFormatName(device.colour16));

    device.colour32 = first({F::X8R8G8B8}, false, "colour32");
    if (device.colour32 == F::None)
        device.colour32 = device.colour16;
    LogPrintfLine("32bit カラーフォーマットは %s です", DeviceFormatName(device.colour32));

    struct Row {
        F* chosen;
        const char* purpose;
        std::vector<F> candidates;
        const char* found;
        const char* none;
    };
    const Row alphaRows[] = {
        {&device.alpha16, "alpha16", {F::A4R4G4B4, F::A8R8G8B8}, "アルファ付き 16bit カラーフォーマットは %s です",
         "使用できるアルファ付き 16bit カラーフォーマットが見つかりませんでした\n"},
        {&device.alpha32, "alpha32", {F::A8R8G8B8, F::A4R4G4B4}, "アルファ付き 32bit カラーフォーマットは %s です",
         "使用できるアルファ付き 32bit カラーフォーマットが見つかりませんでした\n"},
        {&device.alphaTest16, "alphatest16", {F::A1R5G5B5, F::A8R8G8B8, F::A4R4G4B4},
         "アルファテスト用 16bit カラーフォーマットは %s です",
         "使用できるアルファテスト用 16bit カラーフォーマットが見つかりませんでした\n"},
        {&device.alphaTest32, "alphatest32", {F::A8R8G8B8, F::A1R5G5B5, F::A4R4G4B4},
         "アルファテスト用 32bit カラーフォーマットは %s です",
         "使用できるアルファテスト用 32bit カラーフォーマットが見つかりませんでした\n"},
    };
    for (const Row& row : alphaRows) {
        *row.chosen = first(row.candidates, false, row.purpose);
        if (*row.chosen == F::None) {
            LogAdd(row.none);
            return false;
        }
        LogPrintfLine(row.found, DeviceFormatName(*row.chosen));
    }

    static const char* const dxtLines[5] = {"ＤＸＴ１テクスチャフォーマットは%s", "ＤＸＴ２テクスチャフォーマットは%s",
                                             "ＤＸＴ３テクスチャフォーマットは%s", "ＤＸＴ４テクスチャフォーマットは%s",
                                             "ＤＸＴ５テクスチャフォーマットは%s"};
    for (int i = 0; i < 5; ++i) {
        const F dxt = F(int(F::Dxt1) + i);
        const bool usable = prober.Usable(dxt, false, "dxt");
        // Where the compressed format is missing, pictures of it are unpacked
        // into the alpha-test (DXT1) or the alpha (DXT2 to DXT5) choice.
        device.dxt[i] = usable ? dxt : (i == 0 ? device.alphaTest16 : device.alpha32);
        LogPrintfLine(dxtLines[i], usable ? DeviceFormatName(dxt) : "使えません");
    }

    const bool screen565 = device.backBuffer == F::R5G6B5;
    const Row drawableRows[] = {
        {&device.drawable16, "drawable16",
         screen565 ? std::vector<F>{F::R5G6B5, F::X1R5G5B5, F::X8R8G8B8}
                   : std::vector<F>{F::X1R5G5B5, F::R5G6B5, F::X8R8G8B8},
         "描画用 16bit カラーフォーマットは %s です", "使用できる描画用 16bit カラーフォーマットがありませんでした\n"},
        {&device.drawable32, "drawable32", {F::X8R8G8B8, F::R5G6B5, F::X1R5G5B5}, "描画用 32bit カラーフォーマットは %s です",
         "使用できる描画用 32bit カラーフォーマットがありませんでした\n"},
        {&device.drawableAlpha32, "drawablealpha32", {F::A8R8G8B8, F::A4R4G4B4}, "描画用アルファ付き 32bit カラーフォーマットは %s です",
         "使用できる描画用アルファ付き 32bit カラーフォーマットがありませんでした\n"},
    };
    for (const Row& row : drawableRows) {
        // None here only means no drawable images of that kind.
        *row.chosen = first(row.candidates, true, row.purpose);
        if (*row.chosen == F::None)
            LogAdd(row.none);
        else
            LogPrintfLine(row.found, DeviceFormatName(*row.chosen));
    }

    const bool deep = displaySettings.depth == 32;
    device.screenDrawable = deep ? device.drawable32 : device.drawable16;
    device.screenAlphaTest = deep ? device.alphaTest32 : device.alphaTest16;
    return true;
}

int PowerOfTwoAtLeast(int side)
{
    int power = 1;
    while (power < side)
        power *= 2;
    return power;
}

bool CreateDepthBuffer()
{
    LogAdd("Ｚバッファを作成します.... ");
    while (gl.GetError() != GL_NO_ERROR) {
    }
    device.depthWidth = PowerOfTwoAtLeast(displaySettings.width);
    device.depthHeight = PowerOfTwoAtLeast(displaySettings.height);
    depthRenderbuffer = GlNewRenderbuffer();
    gl.BindRenderbuffer(GL_RENDERBUFFER, depthRenderbuffer);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GlInternalFormat(device.depthBuffer), device.depthWidth,
                           device.depthHeight);
    gl.BindRenderbuffer(GL_RENDERBUFFER, 0);
    if (!depthRenderbuffer || gl.GetError() != GL_NO_ERROR) {
        LogAdd("Ｚバッファの作成に失敗しました\n");
        return false;
    }
    LogAdd("成功\n");
    return true;
}

// One source for both kinds of context: GLSL 3.30 core or GLSL 1.20.
const char* const VertexShaderBody = R"(
IN vec2 position;
IN vec2 texcoord;
IN vec4 colour;
uniform vec4 transform;
OUT vec2 uv;
OUT vec4 tint;
void main()
{
    gl_Position = vec4(position * transform.xy + transform.zw, 0.0, 1.0);
    uv = texcoord;
    tint = colour;
}
)";

const char* const FragmentShaderBody = R"(
IN vec2 uv;
IN vec4 tint;
uniform sampler2D image;
uniform vec4 mode;
uniform vec4 key;
uniform vec4 keyStep;
void main()
{
    vec4 texel = mode.x > 0.5 ? SAMPLE(image, uv) : vec4(1.0);
    if (texel.a <= mode.y)
        discard;
    // The colour key: the texel's channels cut to the key's widths, as the
    // memory copy holds them, left out when they equal the key.
    if (key.w > 0.5 && all(equal(floor(floor(texel.rgb * 255.0 + 0.5) / keyStep.xyz), key.xyz)))
        discard;
    if (mode.z > 0.5)
        texel.a = 1.0;
    vec4 result = texel * tint;
    if (mode.w > 0.5)
        result.rgb = result.rgb * result.a + (1.0 - result.a);
    RESULT = result;
}
)";

GLuint CompileShader(GLenum kind, const char* body)
{
    std::string source;
    if (device.coreContext) {
        source = "#version 330 core\n#define SAMPLE texture\n";
        source += kind == GL_VERTEX_SHADER ? "#define IN in\n#define OUT out\n"
                                           : "#define IN in\nout vec4 fragmentColour;\n#define RESULT fragmentColour\n";
    } else {
        source = "#version 120\n#define SAMPLE texture2D\n#define RESULT gl_FragColor\n";
        source += kind == GL_VERTEX_SHADER ? "#define IN attribute\n#define OUT varying\n" : "#define IN varying\n";
    }
    source += body;
    GLuint shader = GlNewShader(kind);
    const char* text = source.c_str();
    gl.ShaderSource(shader, 1, &text, nullptr);
    gl.CompileShader(shader);
    GLint compiled = 0;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled)
        GlDeleteShader(&shader);
    return shader;
}

bool BuildProgram()
{
    GLuint vertex = CompileShader(GL_VERTEX_SHADER, VertexShaderBody);
    GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, FragmentShaderBody);
    bool built = vertex && fragment;
    if (built) {
        drawProgram.program = GlNewProgram();
        gl.AttachShader(drawProgram.program, vertex);
        gl.AttachShader(drawProgram.program, fragment);
        gl.BindAttribLocation(drawProgram.program, AttributePosition, "position");
        gl.BindAttribLocation(drawProgram.program, AttributeTexcoord, "texcoord");
        gl.BindAttribLocation(drawProgram.program, AttributeColour, "colour");
        gl.LinkProgram(drawProgram.program);
        GLint linked = 0;
        gl.GetProgramiv(drawProgram.program, GL_LINK_STATUS, &linked);
        built = linked != 0 && !GlStepFails("shader");
    }
    GlDeleteShader(&vertex);
    GlDeleteShader(&fragment);
    if (!built) {
        GlDeleteProgram(&drawProgram.program);
        return false;
    }
    drawProgram.transform = gl.GetUniformLocation(drawProgram.program, "transform");
    drawProgram.mode = gl.GetUniformLocation(drawProgram.program, "mode");
    drawProgram.image = gl.GetUniformLocation(drawProgram.program, "image");
    drawProgram.key = gl.GetUniformLocation(drawProgram.program, "key");
    drawProgram.keyStep = gl.GetUniformLocation(drawProgram.program, "keyStep");
    gl.UseProgram(drawProgram.program);
    gl.Uniform1i(drawProgram.image, 0);
    return true;
}

}  // namespace

// ------------------------------------------------------------ public

bool IsSoftwareRasteriser(const std::string& renderer)
{
    std::string lower(renderer);
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    // Mesa's (also behind virgl or zink: "virgl (LLVMPIPE ...)"), and
    // Windows' own under WSL's D3D12 driver.
    for (const char* name : {"llvmpipe", "softpipe", "lavapipe", "swrast", "software rasterizer",
                             "basic render driver"}) {
        if (lower.find(name) != std::string::npos)
            return true;
    }
    return false;
}

bool AcceptGlContext(bool core33)
{
    const char* missing = nullptr;
    if (!gl_api::LoadFunctions(&missing))
        return false;
    device.resetNotification = false;
    if (device.robust) {
        // The status query is what tells a reset; a context that took the
        // robust request may still never report one (Mesa's llvmpipe).
        device.robust = gl.GetGraphicsResetStatus != nullptr;
        GLint strategy = 0;
        gl.GetIntegerv(GL_RESET_NOTIFICATION_STRATEGY, &strategy);
        device.resetNotification = gl.GetError() == GL_NO_ERROR && strategy == GL_LOSE_CONTEXT_ON_RESET;
    }
    int minor = 0;
    const int major = ParseVersion(reinterpret_cast<const char*>(gl.GetString(GL_VERSION)), &minor);
    // glGetStringi is the only list of extensions from 3.0 on (and the only
    // one a core context has); before 3.0 it does not exist.
    if (major >= 3 && !gl.GetStringi)
        return false;
    if (core33)
        return major > 3 || (major == 3 && minor >= 3);
    if (major < 2 || (major == 2 && minor < 1))
        return false;
    return major >= 3 || Extensions(major).count("GL_ARB_framebuffer_object") > 0;
}

void PrepareGraphicsWindow()
{
    const char* choice = std::getenv("KORVANTA_GRAPHICS");
    const std::string wanted = choice ? choice : "";
    forcedHardware = wanted == "gl";
    if (wanted == "software")
        displaySettings.softwareOnly = true;
    using platform::gl::WindowPolicy;
    platform::gl::SetWindowPolicy(displaySettings.softwareOnly ? WindowPolicy::Never
                                  : forcedHardware             ? WindowPolicy::Always
                                                               : WindowPolicy::IfGpu);
}

bool GlLibraryMissing()
{
    return platform::CurrentBackend() == platform::Backend::Sdl &&
           platform::gl::CurrentLibraryState() == platform::gl::LibraryState::Failed;
}

bool TryGlDevicePath()
{
    ReleaseGlDevice();
    requestedDepth = displaySettings.depth;
    device = GlDeviceInfo{};
    std::string renderer, vendor;
    const bool made = ObtainDeviceFactory(&renderer, &vendor) && CreateDevice() && ChooseFormats() &&
                      CreateDepthBuffer();
    if (made) {
        if (!BuildProgram()) {
            LogAdd("シェーダーの作成に失敗しました\n");
            LogPrintfLine("プログラマブルシェーダーを使用しません\n");
        } else if (!CreateGlScreen()) {
            // The shaders were built: only the screen is missing.
            LogAdd("スクリーン用フレームバッファの作成に失敗しました\n");
        } else {
            LogPrintfLine("プログラマブルシェーダーを使用します\n");
            deviceReady = true;
            return true;
        }
    }
    AbandonGlDevice();
    return false;
}

void AbandonGlDevice()
{
    ReleaseGlDevice();
    // The memory path runs at the depth that was asked for.
    if (requestedDepth)
        displaySettings.depth = requestedDepth;
}

bool GlStepFails(const char* step)
{
    const char* list = std::getenv("KORVANTA_GL_FAIL");
    if (!list || !*list)
        return false;
    const std::string text = std::string(",") + list + ",";
    return text.find(std::string(",") + step + ",") != std::string::npos;
}

void ReleaseGlDevice()
{
    if (platform::gl::HasContext()) {
        ReleaseGlScreen();
        GlDeleteRenderbuffer(&depthRenderbuffer);
        GlDeleteProgram(&drawProgram.program);
    }
    drawProgram = GlProgram{};
    depthRenderbuffer = 0;
    deviceReady = false;
    gl_api::ClearFunctions();
    platform::gl::DeleteContext();
}

bool GlDeviceReady()
{
    return deviceReady;
}

const GlDeviceInfo& GlDevice()
{
    return device;
}

GLuint GlDepthRenderbuffer()
{
    return depthRenderbuffer;
}

const GlProgram& GlDrawProgram()
{
    return drawProgram;
}

const char* DeviceFormatName(DeviceFormat format)
{
    return format == DeviceFormat::None ? "" : RowOf(format).name;
}

GLenum GlInternalFormat(DeviceFormat format)
{
    return format == DeviceFormat::None ? 0 : RowOf(format).internal;
}

GLuint GlNewTexture()
{
    GLuint made = 0;
    gl.GenTextures(1, &made);
    Count(made);
    return made;
}
void GlDeleteTexture(GLuint* texture)
{
    Drop(texture, [](GLuint t) { gl.DeleteTextures(1, &t); });
}
GLuint GlNewFramebuffer()
{
    GLuint made = 0;
    gl.GenFramebuffers(1, &made);
    Count(made);
    return made;
}
void GlDeleteFramebuffer(GLuint* framebuffer)
{
    Drop(framebuffer, [](GLuint f) { gl.DeleteFramebuffers(1, &f); });
}
GLuint GlNewRenderbuffer()
{
    GLuint made = 0;
    gl.GenRenderbuffers(1, &made);
    Count(made);
    return made;
}
void GlDeleteRenderbuffer(GLuint* renderbuffer)
{
    Drop(renderbuffer, [](GLuint r) { gl.DeleteRenderbuffers(1, &r); });
}
GLuint GlNewBuffer()
{
    GLuint made = 0;
    gl.GenBuffers(1, &made);
    Count(made);
    return made;
}
void GlDeleteBuffer(GLuint* buffer)
{
    Drop(buffer, [](GLuint b) { gl.DeleteBuffers(1, &b); });
}
GLuint GlNewVertexArray()
{
    GLuint made = 0;
    if (gl.GenVertexArrays)
        gl.GenVertexArrays(1, &made);
    Count(made);
    return made;
}
void GlDeleteVertexArray(GLuint* vertexArray)
{
    Drop(vertexArray, [](GLuint v) { gl.DeleteVertexArrays(1, &v); });
}
GLuint GlNewShader(GLenum kind)
{
    const GLuint made = gl.CreateShader(kind);
    Count(made);
    return made;
}
void GlDeleteShader(GLuint* shader)
{
    Drop(shader, [](GLuint s) { gl.DeleteShader(s); });
}
GLuint GlNewProgram()
{
    const GLuint made = gl.CreateProgram();
    Count(made);
    return made;
}
void GlDeleteProgram(GLuint* program)
{
    Drop(program, [](GLuint p) { gl.DeleteProgram(p); });
}

int GlLiveObjectCount()
{
    return liveObjects;
}

bool GlContextAlive()
{
    return platform::gl::HasContext();
}

}  // namespace media
