// Inside the platform layer: the table of functions each backend fills in,
// and the calls a backend (or the headless script) makes back into the common
// layer to turn its events into messages. Nothing outside media/platform
// includes this.
#pragma once

#include "media/platform/keymap.h"
#include "media/platform/platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace media::platform {

// A window's client area as 32-bit X8R8G8B8 pixels, row by row.
struct ClientPixels {
    uint32_t* pixels = nullptr;
    int32_t pitchPixels = 0;  // pixels per row in memory
    int32_t width = 0, height = 0;
};

// What wrote into a client area: a fill, a repaint of a bitmap (shown, but no
// new frame of the program), or a presented frame.
enum class ClientUpdate { Fill, Repaint, Frame };

// How far the frame reaches beyond the client area on each side.
struct FrameInsets {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct NativeWindowRequest {
    std::string titleUtf8;
    Rect clientOnScreen;
    bool bordered = true;
    bool topmost = false;
};

struct DesktopInfo {
    int32_t width = 0, height = 0, bitsPerPixel = 0;
};

// One backend. A "native" is the backend's own window object.
struct VideoBackend {
    const char* name;
    // Names the desktop for window-class claims shared with other processes.
    std::string (*desktopName)();
    void (*close)();
    // Turns pending backend events into messages (through the calls below).
    void (*pumpEvents)();

    void* (*createWindow)(WindowHandle handle, const NativeWindowRequest& request, std::string* error);
    void (*destroyWindow)(void* native);
    void (*setVisible)(void* native, bool visible);
    void (*minimize)(void* native);
    void (*setClientRect)(void* native, const Rect& clientOnScreen);
    void (*setTitle)(void* native, const std::string& utf8);
    void (*setBordered)(void* native, bool bordered);
    void (*setTopmost)(void* native, bool topmost);
    void (*raise)(void* native);
    // Gives the client area's pixels for writing; unlockClient shows the
    // rectangle that was written (client coordinates), saying what wrote it.
    bool (*lockClient)(void* native, ClientPixels* pixels);
    void (*unlockClient)(void* native, const Rect& updated, ClientUpdate kind);
    // A presented frame whose pixels the client area already shows: nothing
    // is written or sent to the display.
    void (*frameShownAgain)(void* native);

    FrameInsets (*frame)(uint32_t style, uint32_t exStyle);
    void (*setCursorVisible)(bool visible);
    void (*setScreenSaver)(bool active);
    void (*setTextInput)(bool enabled);

    DesktopInfo (*desktop)();
    // The desktop less its panels and docks (bitsPerPixel unused).
    DesktopInfo (*usableArea)();
    std::vector<DisplayMode> (*displayModes)();
    // native: a window that may take the display over (full screen), or null.
    bool (*changeDisplayMode)(const DisplayMode* mode, void* native);
    double (*refreshRateHz)();
    int32_t (*joystickCount)();
    bool (*readJoypad)(int32_t index, JoypadState* state);
};

const VideoBackend& SdlVideoBackend();
const VideoBackend& HeadlessVideoBackend();

// Opens a backend's own resources; the common layer then installs its table.
bool OpenSdlBackend(std::string* error);
bool OpenHeadlessBackend(const HeadlessOptions& options, std::string* error);

// The headless desktop's joypads, pressed and released by the script.
// control: 0 to 31 a button, 32 left, 33 right, 34 up, 35 down.
void SetHeadlessJoypad(int32_t index, int32_t control, bool pressed);

// ---------------------------------------------------------------- calls back into the common layer

namespace events {

// The window that receives keyboard input: the active window, else the most
// recently shown visible window; 0 when there is none.
WindowHandle InputWindow();

void Key(WindowHandle window, const PhysicalKey& key, bool down);
// x, y: client coordinates of window.
void MouseMove(WindowHandle window, int32_t x, int32_t y);
// button: 0 left, 1 right, 2 middle.
void MouseButton(WindowHandle window, int button, bool down, int32_t x, int32_t y);
// delta: 120 per notch away from the user.
void MouseWheel(WindowHandle window, int32_t delta);
// Last mouse position seen by the layer, in client coordinates of window.
void LastMousePosition(WindowHandle window, int32_t* x, int32_t* y);
void Focus(WindowHandle window, bool gained);
void CloseButton(WindowHandle window);
// The window system moved, resized, minimised, restored or exposed the window.
void Moved(WindowHandle window, int32_t clientLeft, int32_t clientTop);
void Resized(WindowHandle window, int32_t clientWidth, int32_t clientHeight);
void Minimized(WindowHandle window);
void Restored(WindowHandle window);
void Exposed(WindowHandle window);

}  // namespace events

// Shift-JIS to UTF-8 (unconvertible bytes become '?').

}  // namespace media::platform
