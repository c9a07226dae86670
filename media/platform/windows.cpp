// Windows: classes, creation and destruction, showing, geometry and the
// size and move messages, activation, painting.
#include "media/platform/platform_state.h"
#include "media/platform/bitmap_blit.h"

#include <algorithm>
#include <cstring>

namespace media::platform {

namespace detail {

WindowRecord* Find(WindowHandle handle)
{
    auto& windows = State().windows;
    auto found = windows.find(handle);
    if (found == windows.end() || found->second->destroying)
        return nullptr;
    return found->second.get();
}

bool Visible(const WindowRecord& record)
{
    return record.style & WS_VISIBLE;
}

FrameInsets Insets(uint32_t style, uint32_t exStyle)
{
    const VideoBackend* backend = State().backend;
    return backend ? backend->frame(style, exStyle) : FrameInsets{};
}

Rect ClientOnScreen(const WindowRecord& record)
{
    const FrameInsets insets = Insets(record.style, record.exStyle);
    Rect client{record.windowRect.left + insets.left, record.windowRect.top + insets.top,
                record.windowRect.right - insets.right, record.windowRect.bottom - insets.bottom};
    client.right = std::max(client.right, client.left);
    client.bottom = std::max(client.bottom, client.top);
    return client;
}

void ReportGeometry(WindowHandle handle, bool force)
{
    WindowRecord* record = Find(handle);
    if (!record)
        return;
    Rect client = ClientOnScreen(*record);
    int32_t width = client.right - client.left, height = client.bottom - client.top;
    if (force || !record->geometryReported || width != record->reportedWidth || height != record->reportedHeight) {
        record->geometryReported = true;
        record->reportedWidth = width;
        record->reportedHeight = height;
        record->reportedX = client.left;
        record->reportedY = client.top;
        const uintptr_t kind = record->minimized ? SIZE_MINIMIZED : SIZE_RESTORED;
        Send(handle, WM_SIZE, kind, record->minimized ? 0 : MakeLParam(width, height));
        record = Find(handle);
        if (!record)
            return;
        client = ClientOnScreen(*record);
        if (force || client.left != record->reportedX || client.top != record->reportedY) {
            record->reportedX = client.left;
            record->reportedY = client.top;
            Send(handle, WM_MOVE, 0, MakeLParam(client.left, client.top));
        }
        return;
    }
    if (client.left != record->reportedX || client.top != record->reportedY) {
        record->reportedX = client.left;
        record->reportedY = client.top;
        Send(handle, WM_MOVE, 0, MakeLParam(client.left, client.top));
    }
}

void InvalidateAll(WindowRecord& record)
{
    const Rect client = ClientOnScreen(record);
    record.invalid = true;
    record.dirty = {0, 0, client.right - client.left, client.bottom - client.top};
    // Whatever asks for a whole repaint may have lost the pixels shown.
    record.showsLastFrame = false;
}

// Makes a window the active one. send: call the procedure at once (a call
// of the program), else post (an event of the window system).
void Activate(WindowHandle handle, bool send)
{
    PlatformState& s = State();
    if (!Find(handle) || (s.activeWindow == handle && s.appActive))
        return;
    auto deliver = [send](WindowHandle w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
        if (send)
            Send(w, message, wParam, lParam);
        else
            Post(w, message, wParam, lParam);
    };
    const WindowHandle previous = s.activeWindow;
    s.activeWindow = handle;
    if (previous && previous != handle && Find(previous))
        deliver(previous, WM_ACTIVATE, WA_INACTIVE, intptr_t(handle));
    if (!s.appActive) {
        s.appActive = true;
        deliver(handle, WM_ACTIVATEAPP, 1, 0);
    }
    const WindowRecord* record = Find(handle);
    const uintptr_t minimized = (record && record->minimized) ? 1 : 0;
    deliver(handle, WM_ACTIVATE, WA_ACTIVE | (minimized << 16), intptr_t(previous));
}

void Deactivate(bool send)
{
    PlatformState& s = State();
    const WindowHandle window = s.activeWindow;
    if (!window || !s.appActive)
        return;
    s.activeWindow = 0;
    s.appActive = false;
    if (!Find(window))
        return;
    if (send) {
        Send(window, WM_ACTIVATE, WA_INACTIVE, 0);
        Send(window, WM_ACTIVATEAPP, 0, 0);
    } else {
        Post(window, WM_ACTIVATE, WA_INACTIVE, 0);
        Post(window, WM_ACTIVATEAPP, 0, 0);
    }
}

void SetOuterRect(WindowHandle handle, const Rect& rect)
{
    WindowRecord* record = Find(handle);
    if (!record)
        return;
    const Rect old = record->windowRect;
    if (std::memcmp(&old, &rect, sizeof rect) == 0)
        return;
    record->windowRect = rect;
    State().backend->setClientRect(record->native, ClientOnScreen(*record));
    if (rect.right - rect.left != old.right - old.left || rect.bottom - rect.top != old.bottom - old.top)
        InvalidateAll(*record);
    ReportGeometry(handle, false);
}

}  // namespace detail

using namespace detail;

// ---------------------------------------------------------------- windows

bool RegisterClass(const WindowClass& windowClass)
{
    PlatformState& s = State();
    if (windowClass.name.empty() || !windowClass.procedure)
        return false;
    const std::string key = ClassNameKey(windowClass.name);
    for (const ClassEntry& entry : s.classes)
        if (entry.key == key)
            return false;
    s.classes.push_back(ClassEntry{windowClass, key});
    return true;
}

bool UnregisterClass(const char* name)
{
    PlatformState& s = State();
    if (!name)
        return false;
    const std::string key = ClassNameKey(name);
    for (const auto& [handle, record] : s.windows)
        if (ClassNameKey(record->className) == key)
            return false;  // windows of the class still exist
    for (auto it = s.classes.begin(); it != s.classes.end(); ++it) {
        if (it->key == key) {
            s.classes.erase(it);
            // A claim of FindWindowOrClaim that no window took ends here.
            s.claims.erase(key);
            return true;
        }
    }
    return false;
}

namespace {

// A window of this process, not being destroyed, of the class with this key.
bool OwnWindowOfClass(const PlatformState& s, const std::string& key)
{
    for (const auto& [handle, record] : s.windows)
        if (!record->destroying && ClassNameKey(record->className) == key)
            return true;
    return false;
}

}  // namespace

bool FindWindow(const char* className)
{
    PlatformState& s = State();
    if (!className)
        return false;
    if (OwnWindowOfClass(s, ClassNameKey(className)))
        return true;
    return s.backend && ClassClaimed(s.desktop, className);
}

bool FindWindowOrClaim(const char* className)
{
    PlatformState& s = State();
    if (!className)
        return false;
    const std::string key = ClassNameKey(className);
    if (OwnWindowOfClass(s, key))
        return true;
    if (!s.backend)
        return false;
    ClaimEntry& claim = s.claims[key];
    if (claim.claim.Held())
        return false;  // claimed by an earlier check of ours
    if (claim.claim.Acquire(s.desktop, className))
        return false;
    s.claims.erase(key);
    // Bound by another process; or no socket could be made, where the plain
    // look decides as before.
    return ClassClaimed(s.desktop, className);
}

WindowHandle CreateWindowEx(uint32_t exStyle, const char* className, const char* title, uint32_t style, int32_t x,
                            int32_t y, int32_t width, int32_t height)
{
    PlatformState& s = State();
    if (!s.backend || !className)
        return 0;
    const std::string key = ClassNameKey(className);
    const ClassEntry* entry = nullptr;
    for (const ClassEntry& candidate : s.classes)
        if (candidate.key == key)
            entry = &candidate;
    if (!entry)
        return 0;

    auto record = std::make_unique<WindowRecord>();
    record->handle = s.nextHandle;
    record->className = entry->windowClass.name;
    record->procedure = entry->windowClass.procedure;
    record->style = style & ~uint32_t(WS_VISIBLE);
    record->exStyle = exStyle;
    record->windowRect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    record->title = title ? title : "";

    NativeWindowRequest request;
    request.titleUtf8 = ShiftJisToUtf8(record->title);
    request.clientOnScreen = ClientOnScreen(*record);
    request.bordered = (style & WS_CAPTION) != 0;
    request.topmost = (exStyle & WS_EX_TOPMOST) != 0;
    std::string error;
    record->native = s.backend->createWindow(record->handle, request, &error);
    if (!record->native)
        return 0;

    const WindowHandle handle = record->handle;
    s.nextHandle += 4;
    s.windows.emplace(handle, std::move(record));

    // While a window of the class exists, other processes on this desktop find it.
    ClaimEntry& claim = s.claims[key];
    if (claim.windows++ == 0 && !claim.claim.Held())
        claim.claim.Acquire(s.desktop, className);

    if (Send(handle, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        return 0;
    }
    ReportGeometry(handle, true);
    if ((style & WS_VISIBLE) && Find(handle))
        ShowWindow(handle, SW_SHOW);
    return Find(handle) ? handle : 0;
}

bool DestroyWindow(WindowHandle window)
{
    PlatformState& s = State();
    WindowRecord* record = Find(window);
    if (!record || record->inDestroy)
        return false;
    record->inDestroy = true;
    Send(window, WM_DESTROY, 0, 0);
    record = s.windows.at(window).get();  // a nested DestroyWindow was refused
    record->destroying = true;

    std::erase_if(s.queue, [window](const Message& m) { return m.window == window; });
    KillWindowTimers(window);
    if (s.activeWindow == window) {
        s.activeWindow = 0;
        s.appActive = false;
    }
    if (s.lastShown == window)
        s.lastShown = 0;
    if (s.mouseWindow == window)
        s.mouseWindow = 0;
    if (s.backend && record->native)
        s.backend->destroyWindow(record->native);

    const std::string key = ClassNameKey(record->className);
    auto claim = s.claims.find(key);
    if (claim != s.claims.end() && --claim->second.windows <= 0)
        s.claims.erase(claim);
    s.windows.erase(window);
    return true;
}

bool IsWindow(WindowHandle window)
{
    return Find(window) != nullptr;
}

bool ShowWindow(WindowHandle window, int command)
{
    PlatformState& s = State();
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    const bool wasVisible = Visible(*record);
    switch (command) {
    case SW_HIDE:
        if (wasVisible) {
            record->style &= ~uint32_t(WS_VISIBLE);
            s.backend->setVisible(record->native, false);
            if (s.activeWindow == window)
                Deactivate(true);
        }
        return true;
    case SW_MINIMIZE:
        if (!wasVisible) {
            record->style |= WS_VISIBLE;
            s.backend->setVisible(record->native, true);
        }
        if (!record->minimized) {
            record->minimized = true;
            s.backend->minimize(record->native);
            Send(window, WM_SIZE, SIZE_MINIMIZED, 0);
        }
        if (s.activeWindow == window)
            Deactivate(true);
        return true;
    default:
        if (wasVisible)
            return true;
        record->style |= WS_VISIBLE;
        s.backend->setVisible(record->native, true);
        s.lastShown = window;
        InvalidateAll(*record);
        Activate(window, true);
        if (Find(window) && !Find(window)->shownBefore) {
            Find(window)->shownBefore = true;
            ReportGeometry(window, true);
        }
        return true;
    }
}

bool UpdateWindow(WindowHandle window)
{
    const WindowRecord* record = Find(window);
    if (!record)
        return false;
    if (record->invalid && Visible(*record))
        Send(window, WM_PAINT, 0, 0);
    return true;
}

bool InvalidateWindow(WindowHandle window)
{
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    InvalidateAll(*record);
    return true;
}

bool MoveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height, bool repaint)
{
    if (!Find(window))
        return false;
    SetOuterRect(window, {x, y, x + std::max(width, 0), y + std::max(height, 0)});
    if (repaint)
        InvalidateWindow(window);
    return true;
}

bool SetWindowPos(WindowHandle window, WindowHandle insertAfter, int32_t x, int32_t y, int32_t width,
                  int32_t height, uint32_t flags)
{
    PlatformState& s = State();
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    if (!(flags & SWP_NOZORDER)) {
        if (insertAfter == HWND_TOPMOST) {
            record->exStyle |= WS_EX_TOPMOST;
            s.backend->setTopmost(record->native, true);
        } else if (insertAfter == HWND_NOTOPMOST) {
            record->exStyle &= ~uint32_t(WS_EX_TOPMOST);
            s.backend->setTopmost(record->native, false);
        } else if (insertAfter == HWND_TOP) {
            s.backend->raise(record->native);
        }
    }
    Rect rect = record->windowRect;
    if (!(flags & SWP_NOMOVE)) {
        rect.right += x - rect.left;
        rect.bottom += y - rect.top;
        rect.left = x;
        rect.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        rect.right = rect.left + std::max(width, 0);
        rect.bottom = rect.top + std::max(height, 0);
    }
    SetOuterRect(window, rect);
    record = Find(window);
    if (record && (flags & SWP_SHOWWINDOW) && !Visible(*record)) {
        if (flags & SWP_NOACTIVATE) {
            record->style |= WS_VISIBLE;
            s.backend->setVisible(record->native, true);
            s.lastShown = window;
            InvalidateAll(*record);
        } else {
            ShowWindow(window, SW_SHOW);
        }
    }
    return true;
}

bool SetWindowStyle(WindowHandle window, uint32_t style)
{
    PlatformState& s = State();
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    const uint32_t old = record->style;
    record->style = style;
    if ((old & WS_CAPTION) != (style & WS_CAPTION))
        s.backend->setBordered(record->native, (style & WS_CAPTION) != 0);
    s.backend->setClientRect(record->native, ClientOnScreen(*record));
    if ((old & WS_VISIBLE) != (style & WS_VISIBLE)) {
        s.backend->setVisible(record->native, (style & WS_VISIBLE) != 0);
        if (style & WS_VISIBLE) {
            s.lastShown = window;
            InvalidateAll(*record);
        }
    }
    return true;
}

bool SetWindowExStyle(WindowHandle window, uint32_t exStyle)
{
    PlatformState& s = State();
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    const uint32_t old = record->exStyle;
    record->exStyle = exStyle;
    if ((old & WS_EX_TOPMOST) != (exStyle & WS_EX_TOPMOST))
        s.backend->setTopmost(record->native, (exStyle & WS_EX_TOPMOST) != 0);
    s.backend->setClientRect(record->native, ClientOnScreen(*record));
    return true;
}

bool SetWindowText(WindowHandle window, const char* title)
{
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    record->title = title ? title : "";
    State().backend->setTitle(record->native, ShiftJisToUtf8(record->title));
    return true;
}

bool GetClientRect(WindowHandle window, Rect* rect)
{
    const WindowRecord* record = Find(window);
    if (!record || !rect)
        return false;
    const Rect client = ClientOnScreen(*record);
    *rect = {0, 0, client.right - client.left, client.bottom - client.top};
    return true;
}

bool GetWindowRect(WindowHandle window, Rect* rect)
{
    const WindowRecord* record = Find(window);
    if (!record || !rect)
        return false;
    *rect = record->windowRect;
    return true;
}

bool ClientToScreen(WindowHandle window, int32_t* x, int32_t* y)
{
    const WindowRecord* record = Find(window);
    if (!record || !x || !y)
        return false;
    const Rect client = ClientOnScreen(*record);
    *x += client.left;
    *y += client.top;
    return true;
}

bool AdjustWindowRectEx(Rect* rect, uint32_t style, uint32_t exStyle)
{
    if (!rect || !State().backend)
        return false;
    const FrameInsets insets = Insets(style, exStyle);
    rect->left -= insets.left;
    rect->top -= insets.top;
    rect->right += insets.right;
    rect->bottom += insets.bottom;
    return true;
}

bool BringWindowToTop(WindowHandle window)
{
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    State().backend->raise(record->native);
    Activate(window, true);
    return true;
}

bool SetForegroundWindow(WindowHandle window)
{
    return BringWindowToTop(window);
}

bool SetActiveWindow(WindowHandle window)
{
    if (!Find(window))
        return false;
    Activate(window, true);
    return true;
}

bool BeginPaint(WindowHandle window, Rect* dirty)
{
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    if (dirty)
        *dirty = record->invalid ? record->dirty : Rect{};
    record->invalid = false;
    record->dirty = {};
    return true;
}

void EndPaint(WindowHandle)
{
}

void FillClientBlack(WindowHandle window, const Rect& rect)
{
    const VideoBackend* backend = State().backend;
    WindowRecord* record = Find(window);
    ClientPixels pixels;
    if (!record || !backend->lockClient(record->native, &pixels))
        return;
    record->showsLastFrame = false;
    const Rect filled = FillPixels(pixels, rect, 0);
    backend->unlockClient(record->native, filled, ClientUpdate::Fill);
}

bool SetScreenSaverActive(bool active)
{
    if (!State().backend)
        return false;
    State().backend->setScreenSaver(active);
    return true;
}

bool EnableInputMethod(WindowHandle window, bool enable)
{
    if (!Find(window))
        return false;
    State().backend->setTextInput(enable);
    return true;
}

}  // namespace media::platform
