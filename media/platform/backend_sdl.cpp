// The SDL backend: real windows on X11 or Wayland through SDL2.
//
// Keyboard and mouse-button states are kept by the common layer from the
// events (SDL's own state tables miss pushed events, and its global mouse
// state is stale under X11). Frames go through SDL's window surface without
// SDL's OpenGL framebuffer path: 16-bit pixels are widened here by bit
// replication, which SDL's converter does not do.
#include "media/platform/backend.h"
#include "media/platform/gl_context.h"
#include "media/platform/joypads_sdl.h"
#include "media/platform/x11_window_loss.h"

#include <SDL.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace media::platform {

namespace {

const char* const windowDataName = "korvanta";

struct SdlWindow {
    WindowHandle handle = 0;
    SDL_Window* window = nullptr;
    // When the surface is not X8R8G8B8 the frame is built here and converted.
    std::vector<uint32_t> staging;
    int32_t stagingWidth = 0, stagingHeight = 0;
    bool direct = false;
    SDL_Surface* locked = nullptr;
};

struct SdlState {
    bool open = false;
    std::string desktop;
};

SdlState& Sdl()
{
    static SdlState state;
    return state;
}

SdlWindow* FromId(uint32_t windowId)
{
    SDL_Window* window = SDL_GetWindowFromID(windowId);
    return window ? static_cast<SdlWindow*>(SDL_GetWindowData(window, windowDataName)) : nullptr;
}

WindowHandle HandleFromId(uint32_t windowId)
{
    const SdlWindow* window = FromId(windowId);
    return window ? window->handle : 0;
}

std::string DesktopName()
{
    return Sdl().desktop;
}

void Close()
{
    sdl_joypads::Close();
    gl::CloseAll();
    x11::Settle();
    if (Sdl().open)
        SDL_Quit();
    Sdl() = SdlState{};
}

void WindowEvent(const SDL_WindowEvent& event)
{
    const WindowHandle window = HandleFromId(event.windowID);
    if (!window)
        return;
    switch (event.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        events::Focus(window, true);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        events::Focus(window, false);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        events::CloseButton(window);
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        events::Exposed(window);
        break;
    case SDL_WINDOWEVENT_MOVED:
        events::Moved(window, event.data1, event.data2);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        events::Resized(window, event.data1, event.data2);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        events::Minimized(window);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        events::Restored(window);
        break;
    default:
        break;
    }
}

int ButtonIndex(uint8_t sdlButton)
{
    switch (sdlButton) {
    case SDL_BUTTON_LEFT:
        return 0;
    case SDL_BUTTON_RIGHT:
        return 1;
    case SDL_BUTTON_MIDDLE:
        return 2;
    default:
        return -1;
    }
}

// A click in a window without the keyboard focus gives it the focus, as the
// other system activates a window that is clicked. A window manager does so
// by itself; without one nothing else would, and a window that lost the
// focus (its program held while inactive) could not be woken by the mouse.
void FocusOnClick(uint32_t windowId)
{
    SDL_Window* window = SDL_GetWindowFromID(windowId);
    if (window && !(SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS))
        SDL_SetWindowInputFocus(window);
}

void PumpEvents()
{
    // The message loop peeks several times in a row (three times a frame
    // when nothing waits): the window system is asked at most every half
    // millisecond, each time with one pump and the queue drained after it
    // (SDL_PollEvent would pump again for every event it returns).
    static uint64_t lastPump = 0;
    const uint64_t now = SDL_GetPerformanceCounter();
    if (lastPump != 0 && now - lastPump < SDL_GetPerformanceFrequency() / 2000)
        return;
    lastPump = now;
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (const PhysicalKey* key = KeyFromScancode(event.key.keysym.scancode)) {
                WindowHandle window = HandleFromId(event.key.windowID);
                events::Key(window ? window : events::InputWindow(), *key, event.type == SDL_KEYDOWN);
            }
            break;
        case SDL_MOUSEMOTION:
            events::MouseMove(HandleFromId(event.motion.windowID), event.motion.x, event.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const int button = ButtonIndex(event.button.button);
            if (event.type == SDL_MOUSEBUTTONDOWN)
                FocusOnClick(event.button.windowID);
            if (button >= 0)
                events::MouseButton(HandleFromId(event.button.windowID), button,
                                    event.type == SDL_MOUSEBUTTONDOWN, event.button.x, event.button.y);
            break;
        }
        case SDL_MOUSEWHEEL: {
            int32_t notches = event.wheel.y;
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
                notches = -notches;
            if (notches != 0) {
                WindowHandle window = HandleFromId(event.wheel.windowID);
                events::MouseWheel(window ? window : events::InputWindow(), notches * 120);
            }
            break;
        }
        case SDL_WINDOWEVENT:
            WindowEvent(event.window);
            break;
        case SDL_JOYDEVICEADDED:
        case SDL_JOYDEVICEREMOVED:
            sdl_joypads::HandleEvent(event);
            break;
        case SDL_SYSWMEVENT:
            x11::HandleSystemEvent(event);
            break;
        default:
            break;
        }
    }
    // A window another program destroyed is closed as by its close button.
    for (const uint32_t id : x11::TakeLostWindows())
        events::CloseButton(HandleFromId(id));
}

void* CreateWindow(WindowHandle handle, const NativeWindowRequest& request, std::string* error)
{
    uint32_t flags = SDL_WINDOW_HIDDEN;
    if (!request.bordered)
        flags |= SDL_WINDOW_BORDERLESS;
    if (request.topmost)
        flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    const Rect& client = request.clientOnScreen;
    auto create = [&](uint32_t extra) {
        return SDL_CreateWindow(request.titleUtf8.c_str(), client.left, client.top,
                                std::max(client.right - client.left, 1), std::max(client.bottom - client.top, 1),
                                flags | extra);
    };
    // A GL-capable window when GL is wanted and there; a plain one otherwise.
    const uint32_t glFlags = gl::NewWindowFlags();
    SDL_Window* window = glFlags ? create(glFlags) : nullptr;
    const bool glCapable = window != nullptr;
    if (!window)
        window = create(0);
    if (!window) {
        *error = SDL_GetError();
        return nullptr;
    }
    auto* native = new SdlWindow;
    native->handle = handle;
    native->window = window;
    SDL_SetWindowData(window, windowDataName, native);
    gl::RegisterWindow(handle, window, glCapable);
    x11::TrackWindow(window);
    return native;
}

void DestroyWindow(void* native)
{
    auto* window = static_cast<SdlWindow*>(native);
    gl::ForgetWindow(window->handle);
    const uint32_t sdlId = SDL_GetWindowID(window->window);
    if (!x11::DisplayLost()) {
        x11::BeforeDestroy(window->window);
        SDL_DestroyWindow(window->window);
    }
    x11::ForgetWindow(sdlId);
    delete window;
}

void SetVisible(void* native, bool visible)
{
    auto* window = static_cast<SdlWindow*>(native);
    if (visible)
        SDL_ShowWindow(window->window);
    else
        SDL_HideWindow(window->window);
}

void Minimize(void* native)
{
    SDL_MinimizeWindow(static_cast<SdlWindow*>(native)->window);
}

void SetClientRect(void* native, const Rect& client)
{
    SDL_Window* window = static_cast<SdlWindow*>(native)->window;
    int x = 0, y = 0, width = 0, height = 0;
    SDL_GetWindowPosition(window, &x, &y);
    SDL_GetWindowSize(window, &width, &height);
    if (x != client.left || y != client.top)
        SDL_SetWindowPosition(window, client.left, client.top);
    const int wantedWidth = std::max(client.right - client.left, 1);
    const int wantedHeight = std::max(client.bottom - client.top, 1);
    if (width != wantedWidth || height != wantedHeight)
        SDL_SetWindowSize(window, wantedWidth, wantedHeight);
}

void SetTitle(void* native, const std::string& utf8)
{
    SDL_SetWindowTitle(static_cast<SdlWindow*>(native)->window, utf8.c_str());
}

void SetBordered(void* native, bool bordered)
{
    SDL_SetWindowBordered(static_cast<SdlWindow*>(native)->window, bordered ? SDL_TRUE : SDL_FALSE);
}

void SetTopmost(void* native, bool topmost)
{
    SDL_SetWindowAlwaysOnTop(static_cast<SdlWindow*>(native)->window, topmost ? SDL_TRUE : SDL_FALSE);
}

void Raise(void* native)
{
    SDL_RaiseWindow(static_cast<SdlWindow*>(native)->window);
}

bool IsXrgb(const SDL_PixelFormat* format)
{
    return format->BytesPerPixel == 4 && format->Rmask == 0xFF0000 && format->Gmask == 0xFF00 &&
           format->Bmask == 0xFF;
}

bool LockClient(void* native, ClientPixels* pixels)
{
    auto* window = static_cast<SdlWindow*>(native);
    // The surface is made again after a resize; SDL hands back the current one.
    SDL_Surface* surface = SDL_GetWindowSurface(window->window);
    if (!surface)
        return false;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0)
        return false;
    window->locked = surface;
    window->direct = IsXrgb(surface->format);
    if (window->direct) {
        pixels->pixels = static_cast<uint32_t*>(surface->pixels);
        pixels->pitchPixels = surface->pitch / 4;
    } else {
        if (window->stagingWidth != surface->w || window->stagingHeight != surface->h) {
            window->stagingWidth = surface->w;
            window->stagingHeight = surface->h;
            window->staging.assign(size_t(surface->w) * size_t(surface->h), 0);
        }
        pixels->pixels = window->staging.data();
        pixels->pitchPixels = surface->w;
    }
    pixels->width = surface->w;
    pixels->height = surface->h;
    return true;
}

void UnlockClient(void* native, const Rect& updated, ClientUpdate)
{
    auto* window = static_cast<SdlWindow*>(native);
    SDL_Surface* surface = window->locked;
    if (!surface)
        return;
    window->locked = nullptr;
    const int width = updated.right - updated.left, height = updated.bottom - updated.top;
    if (width > 0 && height > 0 && !window->direct) {
        const uint32_t* source = window->staging.data() + size_t(updated.top) * size_t(window->stagingWidth) + updated.left;
        auto* destination = static_cast<uint8_t*>(surface->pixels) + size_t(updated.top) * size_t(surface->pitch) +
                            size_t(updated.left) * surface->format->BytesPerPixel;
        SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB888, source, window->stagingWidth * 4,
                          surface->format->format, destination, surface->pitch);
    }
    if (SDL_MUSTLOCK(surface))
        SDL_UnlockSurface(surface);
    if (width > 0 && height > 0) {
        const SDL_Rect rect{updated.left, updated.top, width, height};
        SDL_UpdateWindowSurfaceRects(window->window, &rect, 1);
    }
}

// The window keeps showing the pixels last sent; an exposure that loses them
// comes back as an event and a full present.
void FrameShownAgain(void*)
{
}

// The window manager draws its frame outside the client area, and SDL places
// windows by their client area: the window rectangle is the client rectangle.
FrameInsets Frame(uint32_t, uint32_t)
{
    return {};
}

void SetCursorVisible(bool visible)
{
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void SetScreenSaver(bool active)
{
    if (active)
        SDL_EnableScreenSaver();
    else
        SDL_DisableScreenSaver();
}

void SetTextInput(bool enabled)
{
    if (enabled)
        SDL_StartTextInput();
    else
        SDL_StopTextInput();
}

DesktopInfo Desktop()
{
    SDL_DisplayMode mode{};
    if (SDL_GetCurrentDisplayMode(0, &mode) != 0)
        return {};
    // Bytes per pixel, not depth: a depth-24 screen with 4-byte pixels is 32-bit.
    return {mode.w, mode.h, int32_t(SDL_BYTESPERPIXEL(mode.format) * 8)};
}

DesktopInfo UsableArea()
{
    SDL_Rect area{};
    if (SDL_GetDisplayUsableBounds(0, &area) != 0)
        return {};
    return {area.w, area.h, 0};
}

std::vector<DisplayMode> Modes()
{
    std::vector<DisplayMode> modes;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayMode(0, i, &mode) == 0)
            modes.push_back({mode.w, mode.h, int32_t(SDL_BYTESPERPIXEL(mode.format) * 8), mode.refresh_rate});
    }
    return modes;
}

bool ChangeMode(const DisplayMode* mode, void* native)
{
    if (!native)
        return false;
    SDL_Window* window = static_cast<SdlWindow*>(native)->window;
    if (!mode)
        return SDL_SetWindowFullscreen(window, 0) == 0;
    // A listed mode must match as on the headless desktop: size, depth and
    // refresh (0 = any), so that a refused refresh can be asked again with 0.
    // (SDL's closest-mode search would take any refresh for a display that
    // lists none.)
    SDL_DisplayMode closest{};
    bool found = false;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count && !found; ++i) {
        SDL_DisplayMode listed{};
        if (SDL_GetDisplayMode(0, i, &listed) != 0 || listed.w != mode->width || listed.h != mode->height)
            continue;
        if (mode->bitsPerPixel != 0 && int32_t(SDL_BYTESPERPIXEL(listed.format) * 8) != mode->bitsPerPixel)
            continue;
        if (mode->refreshHz != 0 && listed.refresh_rate != mode->refreshHz)
            continue;
        closest = listed;
        found = true;
    }
    if (!found)
        return false;
    return SDL_SetWindowDisplayMode(window, &closest) == 0 && SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) == 0;
}

double RefreshRate()
{
    SDL_DisplayMode mode{};
    if (SDL_GetCurrentDisplayMode(0, &mode) != 0)
        return 0.0;
    return mode.refresh_rate;
}

int32_t JoystickCount()
{
    return sdl_joypads::Open() ? sdl_joypads::Count() : 0;
}

bool ReadJoypad(int32_t index, JoypadState* state)
{
    return sdl_joypads::Read(index, state);
}

// ":0.0" and ":0" are one desktop.
std::string XDisplayName(std::string display)
{
    const size_t colon = display.rfind(':');
    if (colon != std::string::npos) {
        const size_t dot = display.find('.', colon);
        if (dot != std::string::npos)
            display.erase(dot);
    }
    return display;
}

// The process id of the local X server of display ":N" (or "unix:N"), read
// from a connection to its socket that says nothing (made without waiting,
// should the server's queue be full); 0 when it cannot be told (a remote
// display, no such socket).
long LocalXServerProcess(const std::string& display)
{
    const size_t colon = display.rfind(':');
    if (colon == std::string::npos || colon + 1 >= display.size())
        return 0;
    const std::string host = display.substr(0, colon);
    const std::string number = display.substr(colon + 1);
    if ((!host.empty() && host != "unix") || number.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const std::string path = "/tmp/.X11-unix/X" + number;
    // The abstract name first, as the X library does, then the file.
    for (const bool abstract : {true, false}) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() + 2 > sizeof address.sun_path)
            return 0;
        std::memcpy(address.sun_path + (abstract ? 1 : 0), path.data(), path.size());
        const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + path.size() + (abstract ? 1 : 0));
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return 0;
        ucred peer{};
        socklen_t peerSize = sizeof peer;
        const bool known = connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                           getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &peerSize) == 0 && peer.pid > 0;
        close(fd);
        if (known)
            return long(peer.pid);
    }
    return 0;
}

// The desktop of an X display: its name, and for a local server the server's
// process, so that a server started later under the same number (Xvfb takes
// the lowest free one) is a desktop of its own. A program of the old server
// that has not yet ended then does not pass for a running copy there.
std::string XDesktop(const char* display)
{
    const std::string name = XDisplayName(display ? display : "");
    std::string desktop = "x11/";
    desktop += name;
    if (const long server = LocalXServerProcess(name)) {
        desktop += '/';
        desktop += std::to_string(server);
    }
    return desktop;
}

const VideoBackend table = {
    .name = "sdl",
    .desktopName = DesktopName,
    .close = Close,
    .pumpEvents = PumpEvents,
    .createWindow = CreateWindow,
    .destroyWindow = DestroyWindow,
    .setVisible = SetVisible,
    .minimize = Minimize,
    .setClientRect = SetClientRect,
    .setTitle = SetTitle,
    .setBordered = SetBordered,
    .setTopmost = SetTopmost,
    .raise = Raise,
    .lockClient = LockClient,
    .unlockClient = UnlockClient,
    .frameShownAgain = FrameShownAgain,
    .frame = Frame,
    .setCursorVisible = SetCursorVisible,
    .setScreenSaver = SetScreenSaver,
    .setTextInput = SetTextInput,
    .desktop = Desktop,
    .usableArea = UsableArea,
    .displayModes = Modes,
    .changeDisplayMode = ChangeMode,
    .refreshRateHz = RefreshRate,
    .joystickCount = JoystickCount,
    .readJoypad = ReadJoypad,
};

}  // namespace

const VideoBackend& SdlVideoBackend()
{
    return table;
}

bool OpenSdlBackend(std::string* error)
{
    // The plain X11 framebuffer: the OpenGL one costs several times more CPU per frame.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Ctrl+C ends the program as usual instead of becoming a quit event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The screen saver stays as the desktop has it until the program turns it off.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // A click that activates the window is also a click in it.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        *error = std::string("SDL cannot start its video: ") + SDL_GetError();
        SDL_Quit();
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string driverName = driver ? driver : "";
    if (driverName.empty() || driverName == "offscreen" || driverName == "dummy") {
        *error = "no display reachable (SDL chose its \"" + driverName +
                 "\" video driver); set DISPLAY or WAYLAND_DISPLAY, or use the headless backend";
        SDL_Quit();
        return false;
    }
    SdlState& s = Sdl();
    s = SdlState{};
    s.open = true;
    if (driverName == "x11") {
        s.desktop = XDesktop(std::getenv("DISPLAY"));
        x11::WatchWindowLoss();
    } else if (driverName == "wayland") {
        const char* display = std::getenv("WAYLAND_DISPLAY");
        s.desktop = "wayland/" + std::string(display && *display ? display : "wayland-0");
    } else {
        s.desktop = driverName;
    }
    return true;
}

}  // namespace media::platform
