// The desktop and its display modes, presenting bitmaps into windows, and
// the vertical blank.
#include "media/platform/platform_state.h"
#include "media/platform/bitmap_blit.h"
#include "media/platform/headless.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>

namespace media::platform {

using namespace detail;

// ---------------------------------------------------------------- desktop and display

int32_t DesktopWidth()
{
    return State().backend ? State().backend->desktop().width : 0;
}

int32_t DesktopHeight()
{
    return State().backend ? State().backend->desktop().height : 0;
}

int32_t DesktopBitsPerPixel()
{
    return State().backend ? State().backend->desktop().bitsPerPixel : 0;
}

bool DesktopUsableSize(int32_t* width, int32_t* height)
{
    if (!State().backend)
        return false;
    const DesktopInfo area = State().backend->usableArea();
    if (area.width <= 0 || area.height <= 0)
        return false;
    *width = area.width;
    *height = area.height;
    return true;
}

std::vector<DisplayMode> DisplayModes()
{
    return State().backend ? State().backend->displayModes() : std::vector<DisplayMode>{};
}

bool ChangeDisplayMode(const DisplayMode* mode)
{
    PlatformState& s = State();
    if (!s.backend)
        return false;
    void* native = nullptr;
    if (const WindowRecord* record = Find(s.activeWindow))
        native = record->native;
    else if (!s.windows.empty())
        native = s.windows.begin()->second->native;
    if (!s.backend->changeDisplayMode(mode, native))
        return false;
    for (const auto& [handle, record] : s.windows)
        record->showsLastFrame = false;
    const DesktopInfo desktop = s.backend->desktop();
    if (s.displayChangesSilent)
        return true;
    for (const auto& [handle, record] : s.windows)
        if (!record->destroying)
            Post(handle, WM_DISPLAYCHANGE, uintptr_t(desktop.bitsPerPixel), MakeLParam(desktop.width, desktop.height));
    return true;
}

int32_t OemCodePage()
{
    return 932;
}

int32_t JoystickCount()
{
    return State().backend ? State().backend->joystickCount() : 0;
}

bool ReadJoypad(int32_t index, JoypadState* state)
{
    if (!state)
        return false;
    *state = JoypadState{};
    return State().backend && State().backend->readJoypad(index, state);
}

// ---------------------------------------------------------------- presentation

namespace {

bool ShowBitmap(WindowHandle window, const void* pixels, const BitmapDescription& bitmap, const Rect& source,
                const Rect& destination, ClientUpdate kind)
{
    const VideoBackend* backend = State().backend;
    WindowRecord* record = Find(window);
    ClientPixels target;
    if (!record)
        return false;
    record->showsLastFrame = false;
    if (!backend->lockClient(record->native, &target))
        return false;
    Rect updated;
    const bool drawn = BlitBitmap(target, pixels, bitmap, source, destination, &updated);
    backend->unlockClient(record->native, updated, drawn ? kind : ClientUpdate::Fill);
    record->showsLastFrame = drawn && kind == ClientUpdate::Frame;
    return drawn;
}

}  // namespace

bool PresentBitmap(WindowHandle window, const void* pixels, const BitmapDescription& bitmap, const Rect& source,
                   const Rect& destination)
{
    return ShowBitmap(window, pixels, bitmap, source, destination, ClientUpdate::Frame);
}

bool PresentSameFrame(WindowHandle window)
{
    WindowRecord* record = Find(window);
    if (!record || !record->showsLastFrame)
        return false;
    State().backend->frameShownAgain(record->native);
    return true;
}

bool RepaintBitmap(WindowHandle window, const void* pixels, const BitmapDescription& bitmap, const Rect& source,
                   const Rect& destination)
{
    return ShowBitmap(window, pixels, bitmap, source, destination, ClientUpdate::Repaint);
}

// ---------------------------------------------------------------- vertical blank

double RefreshRateHz()
{
    const double rate = State().backend ? State().backend->refreshRateHz() : 0.0;
    return rate > 0.0 ? rate : 60.0;
}

void WaitForVerticalBlank()
{
    const int64_t period = std::max<int64_t>(1, std::llround(1e9 / RefreshRateHz()));
    const int64_t deadline = (NowNanoseconds() / period + 1) * period;
    timespec ts{};
    ts.tv_sec = time_t(deadline / 1000000000);
    ts.tv_nsec = long(deadline % 1000000000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

namespace headless {

void SilenceDisplayChanges(bool silent)
{
    State().displayChangesSilent = silent;
}

}  // namespace headless

}  // namespace media::platform
