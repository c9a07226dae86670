// Events from the backend (and the headless script) turned into messages.
#include "media/platform/platform_state.h"

#include <algorithm>

namespace media::platform {

using namespace detail;

// ---------------------------------------------------------------- events from the backend

namespace events {

WindowHandle InputWindow()
{
    PlatformState& s = State();
    if (Find(s.activeWindow))
        return s.activeWindow;
    if (const WindowRecord* record = Find(s.lastShown); record && Visible(*record))
        return s.lastShown;
    for (const auto& [handle, record] : s.windows)
        if (!record->destroying && Visible(*record))
            return handle;
    return 0;
}

void Key(WindowHandle window, const PhysicalKey& key, bool down)
{
    PlatformState& s = State();
    const bool wasDown = s.pressed[key.virtualKey] & 0x80;
    SetKey(s.pressed, key.virtualKey, down);
    if (!Find(window))
        return;
    const uint8_t messageKey = MessageVirtualKey(key);
    const bool altHeld = s.pressed[VK_MENU] & 0x80;
    // Alt, F10 and keys pressed with Alt are system keys.
    const bool system = messageKey == VK_MENU || messageKey == VK_F10 || altHeld;
    uintptr_t lParam = 1 | (uintptr_t(key.scanCode) << 16) | (uintptr_t(key.extended) << 24);
    if (altHeld)
        lParam |= uintptr_t(1) << 29;
    if (wasDown || !down)
        lParam |= uintptr_t(1) << 30;
    if (!down)
        lParam |= uintptr_t(1) << 31;
    const uint32_t message =
        down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : ((system || messageKey == VK_MENU) ? WM_SYSKEYUP : WM_KEYUP);
    PostFromDevice(window, message, messageKey, intptr_t(uint32_t(lParam)));
    // F10 opens the system menu on the other system, where the media layer
    // learns of it through its private message instead; it comes here too.
    if (messageKey == VK_F10 && down != wasDown)
        Post(window, WM_F10_PRIVATE, down ? 1 : 0, 0);
}

// The cursor stands where the latest mouse event put it, however many
// messages still wait.
void NoteMousePosition(WindowHandle window, int32_t x, int32_t y)
{
    PlatformState& s = State();
    s.mouseWindow = window;
    s.mouseX = x;
    s.mouseY = y;
    if (const WindowRecord* record = Find(window)) {
        const Rect client = ClientOnScreen(*record);
        s.cursorX = client.left + x;
        s.cursorY = client.top + y;
    }
}

void MouseMove(WindowHandle window, int32_t x, int32_t y)
{
    PlatformState& s = State();
    if (!Find(window))
        return;
    NoteMousePosition(window, x, y);
    // As the window system does: a move still waiting at the tail of the
    // queue for the same window is replaced, so that a fast mouse cannot fill
    // the queue and hold up the clicks and keys behind it.
    if (!s.queue.empty()) {
        QueuedMessage& last = s.queue.back();
        if (last.fromDevice && last.message == WM_MOUSEMOVE && last.window == window) {
            last.wParam = MouseKeyFlags();
            last.lParam = MakeLParam(x, y);
            last.time = TimeGetTime();
            return;
        }
    }
    PostFromDevice(window, WM_MOUSEMOVE, MouseKeyFlags(), MakeLParam(x, y));
}

void MouseButton(WindowHandle window, int button, bool down, int32_t x, int32_t y)
{
    static constexpr uint8_t keys[3] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
    static constexpr uint32_t downMessages[3] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
    static constexpr uint32_t upMessages[3] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
    PlatformState& s = State();
    if (button < 0 || button > 2)
        return;
    SetKey(s.pressed, keys[button], down);
    if (!Find(window)) {
        // A release over another program's window still reaches the input
        // window (as keys do), so that no button is left down for ever.
        if (down || !(window = InputWindow()))
            return;
        LastMousePosition(window, &x, &y);
    }
    NoteMousePosition(window, x, y);
    PostFromDevice(window, down ? downMessages[button] : upMessages[button], MouseKeyFlags(), MakeLParam(x, y));
}

void MouseWheel(WindowHandle window, int32_t delta)
{
    PlatformState& s = State();
    const WindowRecord* record = Find(window);
    if (!record)
        return;
    int32_t x = s.cursorX, y = s.cursorY;
    if (const WindowRecord* under = Find(s.mouseWindow)) {
        const Rect client = ClientOnScreen(*under);
        x = client.left + s.mouseX;
        y = client.top + s.mouseY;
    }
    // One message per notch: each counts as one step whatever its delta.
    const int32_t step = delta < 0 ? -120 : 120;
    for (int32_t left = delta; left != 0;) {
        const int32_t part = (left > 0) ? std::min(left, step) : std::max(left, step);
        const uintptr_t wParam = (uintptr_t(uint16_t(int16_t(part))) << 16) | MouseKeyFlags();
        PostFromDevice(window, WM_MOUSEWHEEL, wParam, MakeLParam(x, y));
        left -= part;
    }
}

void LastMousePosition(WindowHandle window, int32_t* x, int32_t* y)
{
    PlatformState& s = State();
    *x = 0;
    *y = 0;
    const WindowRecord* record = Find(window);
    if (!record)
        return;
    const Rect client = ClientOnScreen(*record);
    if (const WindowRecord* under = Find(s.mouseWindow)) {
        const Rect underClient = ClientOnScreen(*under);
        *x = underClient.left + s.mouseX - client.left;
        *y = underClient.top + s.mouseY - client.top;
    } else {
        *x = s.cursorX - client.left;
        *y = s.cursorY - client.top;
    }
}

void Focus(WindowHandle window, bool gained)
{
    PlatformState& s = State();
    if (gained) {
        if (WindowRecord* record = Find(window)) {
            // Only a window on the screen takes the focus. One we minimised
            // may never have gone (a desktop without a window manager
            // ignores the request, and no restore comes): it is back now, so
            // that its activation does not count as a minimised one.
            if (record->minimized)
                Restored(window);
            Activate(window, false);
        }
    } else if (s.activeWindow == window || window == 0) {
        Deactivate(false);
    }
}

void CloseButton(WindowHandle window)
{
    if (Find(window))
        Post(window, WM_CLOSE, 0, 0);
}

void Moved(WindowHandle window, int32_t clientLeft, int32_t clientTop)
{
    WindowRecord* record = Find(window);
    if (!record)
        return;
    const Rect client = ClientOnScreen(*record);
    const int32_t dx = clientLeft - client.left, dy = clientTop - client.top;
    if (dx == 0 && dy == 0)
        return;
    record->windowRect.left += dx;
    record->windowRect.right += dx;
    record->windowRect.top += dy;
    record->windowRect.bottom += dy;
    ReportGeometry(window, false);
}

void Resized(WindowHandle window, int32_t clientWidth, int32_t clientHeight)
{
    WindowRecord* record = Find(window);
    if (!record)
        return;
    const Rect client = ClientOnScreen(*record);
    const int32_t dw = clientWidth - (client.right - client.left), dh = clientHeight - (client.bottom - client.top);
    if (dw == 0 && dh == 0)
        return;
    record->windowRect.right += dw;
    record->windowRect.bottom += dh;
    InvalidateAll(*record);
    ReportGeometry(window, false);
}

void Minimized(WindowHandle window)
{
    WindowRecord* record = Find(window);
    if (!record || record->minimized)
        return;
    record->minimized = true;
    Send(window, WM_SIZE, SIZE_MINIMIZED, 0);
}

void Restored(WindowHandle window)
{
    WindowRecord* record = Find(window);
    if (!record || !record->minimized)
        return;
    record->minimized = false;
    InvalidateAll(*record);
    ReportGeometry(window, true);
}

void Exposed(WindowHandle window)
{
    if (WindowRecord* record = Find(window))
        InvalidateAll(*record);
}

}  // namespace events

}  // namespace media::platform
