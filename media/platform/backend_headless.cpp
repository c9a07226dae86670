// The headless backend: a virtual 1024 x 768, 32-bit desktop at 60 Hz with
// no display at all. Windows are pixel buffers in memory, input comes from a
// script, and every presented frame is counted and kept (the latest one).
#include "media/platform/backend.h"
#include "media/platform/file.h"
#include "media/platform/headless.h"
#include "media/platform/png_writer.h"
#include "media/platform/script.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace media::platform {

namespace {

struct HeadlessWindow {
    WindowHandle handle = 0;
    Rect client;
    std::vector<uint32_t> pixels;
    int32_t width = 0, height = 0;
};

struct HeadlessState {
    bool open = false;
    std::string desktopId;
    ScriptPlayer script;
    uint64_t frames = 0;
    uint64_t writtenFrames = 0;  // frames whose pixels were written into a window
    headless::Frame lastFrame;
    bool hasFrame = false;
    JoypadState pads[16];
    int32_t padCount = 0;  // pads the script has named
    double refreshRateHz = 60.0;
};

HeadlessState& Headless()
{
    static HeadlessState state;
    return state;
}

// Keeps the buffer the size of the client area; a new size starts black.
void FitBuffer(HeadlessWindow& window)
{
    const int32_t width = std::max(window.client.right - window.client.left, 0);
    const int32_t height = std::max(window.client.bottom - window.client.top, 0);
    if (width == window.width && height == window.height)
        return;
    window.width = width;
    window.height = height;
    window.pixels.assign(size_t(width) * size_t(height), 0);
}

std::string DesktopName()
{
    return "headless/" + Headless().desktopId;
}

void Close()
{
    Headless() = HeadlessState{};
}

bool WriteLastFrame(const std::string& path, std::string* error)
{
    const HeadlessState& s = Headless();
    if (!s.hasFrame) {
        *error = "no frame was presented yet";
        return false;
    }
    return WritePngFile(path, s.lastFrame.pixels.data(), s.lastFrame.width, s.lastFrame.height, s.lastFrame.width,
                        error);
}

void PumpEvents()
{
    HeadlessState& s = Headless();
    s.script.Run(s.frames, WriteLastFrame);
}

void* CreateWindow(WindowHandle handle, const NativeWindowRequest& request, std::string*)
{
    auto* window = new HeadlessWindow;
    window->handle = handle;
    window->client = request.clientOnScreen;
    FitBuffer(*window);
    return window;
}

void DestroyWindow(void* native)
{
    delete static_cast<HeadlessWindow*>(native);
}

void SetClientRect(void* native, const Rect& client)
{
    auto* window = static_cast<HeadlessWindow*>(native);
    window->client = client;
    FitBuffer(*window);
}

void Ignore(void*) {}
void IgnoreFlag(void*, bool) {}
void IgnoreTitle(void*, const std::string&) {}
void IgnoreGlobalFlag(bool) {}

bool LockClient(void* native, ClientPixels* pixels)
{
    auto* window = static_cast<HeadlessWindow*>(native);
    pixels->pixels = window->pixels.data();
    pixels->pitchPixels = window->width;
    pixels->width = window->width;
    pixels->height = window->height;
    return true;
}

void UnlockClient(void* native, const Rect&, ClientUpdate kind)
{
    if (kind == ClientUpdate::Fill)
        return;
    HeadlessState& s = Headless();
    const auto* window = static_cast<HeadlessWindow*>(native);
    // Only the program's presentations are frames; a repaint shows the
    // same picture again.
    if (kind == ClientUpdate::Frame) {
        ++s.frames;
        ++s.writtenFrames;
    }
    s.hasFrame = true;
    s.lastFrame.width = window->width;
    s.lastFrame.height = window->height;
    s.lastFrame.pixels = window->pixels;
}

void FrameShownAgain(void* native)
{
    HeadlessState& s = Headless();
    ++s.frames;
    // The last frame kept is already these pixels, unless a window's was
    // never kept.
    const auto* window = static_cast<HeadlessWindow*>(native);
    if (!s.hasFrame || s.lastFrame.width != window->width || s.lastFrame.height != window->height) {
        s.hasFrame = true;
        s.lastFrame.width = window->width;
        s.lastFrame.height = window->height;
        s.lastFrame.pixels = window->pixels;
    }
}

// A fixed frame: a 3-pixel border and a 19-pixel caption for captioned
// windows, 2 more pixels on each side for a client edge.
FrameInsets Frame(uint32_t style, uint32_t exStyle)
{
    FrameInsets insets;
    if (style & WS_CAPTION) {
        insets = {3, 3, 3, 3};
        if ((style & WS_CAPTION) == WS_CAPTION)
            insets.top += 19;
    }
    if (exStyle & WS_EX_CLIENTEDGE) {
        insets.left += 2;
        insets.top += 2;
        insets.right += 2;
        insets.bottom += 2;
    }
    return insets;
}

DesktopInfo Desktop()
{
    return {headless::DesktopWidth, headless::DesktopHeight, 32};
}

// The headless desktop has no panels: all of it is usable.
DesktopInfo UsableArea()
{
    return Desktop();
}

std::vector<DisplayMode> Modes()
{
    return {DisplayMode{headless::DesktopWidth, headless::DesktopHeight, 32, 60}};
}

bool ChangeMode(const DisplayMode* mode, void*)
{
    if (!mode)
        return true;
    return mode->width == headless::DesktopWidth && mode->height == headless::DesktopHeight &&
           (mode->bitsPerPixel == 32 || mode->bitsPerPixel == 0) && (mode->refreshHz == 60 || mode->refreshHz == 0);
}

double RefreshRate()
{
    return Headless().refreshRateHz;
}

int32_t JoystickCount()
{
    return Headless().padCount;
}

bool ReadJoypad(int32_t index, JoypadState* state)
{
    const HeadlessState& s = Headless();
    if (index < 0 || index >= s.padCount)
        return false;
    *state = s.pads[index];
    return true;
}

// The highest pad number a script names: the desktop has that many.
int32_t PadsNamed(const std::vector<ScriptCommand>& commands)
{
    int32_t count = 0;
    for (const ScriptCommand& command : commands)
        if (command.kind == ScriptCommand::Kind::PadPress || command.kind == ScriptCommand::Kind::PadRelease)
            count = std::max(count, command.x + 1);
    return count;
}

const VideoBackend table = {
    .name = "headless",
    .desktopName = DesktopName,
    .close = Close,
    .pumpEvents = PumpEvents,
    .createWindow = CreateWindow,
    .destroyWindow = DestroyWindow,
    .setVisible = IgnoreFlag,
    .minimize = Ignore,
    .setClientRect = SetClientRect,
    .setTitle = IgnoreTitle,
    .setBordered = IgnoreFlag,
    .setTopmost = IgnoreFlag,
    .raise = Ignore,
    .lockClient = LockClient,
    .unlockClient = UnlockClient,
    .frameShownAgain = FrameShownAgain,
    .frame = Frame,
    .setCursorVisible = IgnoreGlobalFlag,
    .setScreenSaver = IgnoreGlobalFlag,
    .setTextInput = IgnoreGlobalFlag,
    .desktop = Desktop,
    .usableArea = UsableArea,
    .displayModes = Modes,
    .changeDisplayMode = ChangeMode,
    .refreshRateHz = RefreshRate,
    .joystickCount = JoystickCount,
    .readJoypad = ReadJoypad,
};

}  // namespace

const VideoBackend& HeadlessVideoBackend()
{
    return table;
}

namespace {

// Reads the whole script; a folder, a missing file or one the user may not
// read is refused with the system's reason, instead of a script that
// silently holds nothing and a program that then never ends.
bool ReadScriptFile(const std::string& path, std::string* text, std::string* error)
{
    // A script is a few lines a person or a test writes; a FIFO without a
    // writer or a device without end must not hold the start for ever.
    constexpr size_t LargestScript = size_t(64) << 20;
    const int problem = FileReadWhole(path.c_str(), LargestScript, text);
    if (problem != 0) {
        *error = "cannot read the script " + path + ": " +
                 (problem == EFBIG ? "larger than 64 MB"
                  : problem == ETIMEDOUT
                      ? "no program opened the FIFO for writing within " +
                            std::to_string(FifoWriterWaitMilliseconds / 1000) + " seconds"
                      : std::string(std::strerror(problem)));
        return false;
    }
    return true;
}

}  // namespace

bool OpenHeadlessBackend(const HeadlessOptions& options, std::string* error)
{
    std::vector<ScriptCommand> commands;
    if (!options.scriptPath.empty()) {
        std::string text;
        if (!ReadScriptFile(options.scriptPath, &text, error))
            return false;
        std::string problem;
        if (!ParseScript(text, &commands, &problem)) {
            *error = "script " + options.scriptPath + " " + problem;
            return false;
        }
    }
    HeadlessState& s = Headless();
    s = HeadlessState{};
    s.open = true;
    s.desktopId = options.desktopId;
    s.refreshRateHz = options.refreshRateHz > 0 ? options.refreshRateHz : 60.0;
    if (s.desktopId.empty()) {
        const char* fromEnvironment = std::getenv("KORVANTA_HEADLESS_DESKTOP");
        s.desktopId = (fromEnvironment && *fromEnvironment) ? fromEnvironment : "0";
    }
    s.padCount = PadsNamed(commands);
    s.script.Load(std::move(commands));
    return true;
}

void SetHeadlessJoypad(int32_t index, int32_t control, bool pressed)
{
    HeadlessState& s = Headless();
    if (index < 0 || index >= 16 || control < 0 || control > 35)
        return;
    s.padCount = std::max(s.padCount, index + 1);
    JoypadState& pad = s.pads[index];
    if (control < 32) {
        pad.buttons = pressed ? (pad.buttons | (1u << control)) : (pad.buttons & ~(1u << control));
        return;
    }
    bool* directions[4] = {&pad.left, &pad.right, &pad.up, &pad.down};
    *directions[control - 32] = pressed;
}

namespace headless {

uint64_t FrameCount()
{
    return Headless().frames;
}

uint64_t WrittenFrameCount()
{
    return Headless().writtenFrames;
}

bool LastFrame(Frame* frame)
{
    if (!Headless().hasFrame)
        return false;
    *frame = Headless().lastFrame;
    return true;
}

bool LoadScript(const std::string& text, std::string* error)
{
    std::vector<ScriptCommand> commands;
    std::string problem;
    if (!ParseScript(text, &commands, &problem)) {
        if (error)
            *error = problem;
        return false;
    }
    HeadlessState& s = Headless();
    s.padCount = std::max(s.padCount, PadsNamed(commands));
    s.script.Load(std::move(commands));
    return true;
}

bool ScriptFinished()
{
    return Headless().script.Finished();
}

bool WriteScreenshot(const std::string& path, std::string* error)
{
    std::string reason;
    const bool written = WriteLastFrame(path, &reason);
    if (!written && error)
        *error = reason;
    return written;
}

}  // namespace headless

}  // namespace media::platform
