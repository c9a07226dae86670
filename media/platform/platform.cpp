// The common part of the platform layer: windows and their classes, the
// message queue, the keyboard state that follows it, timers, painting and
// activation. The backend behind the table in backend.h supplies the real
// (or virtual) windows, pixels and events.
#include "media/platform/backend.h"
#include "media/platform/bitmap_blit.h"
#include "media/platform/class_registry.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <deque>
#include <iconv.h>
#include <map>
#include <memory>

namespace media::platform {

namespace {

struct WindowRecord {
    WindowHandle handle = 0;
    std::string className;
    WindowProc procedure = nullptr;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    Rect windowRect;  // outer rectangle, screen coordinates
    std::string title;
    bool minimized = false;
    bool invalid = false;
    Rect dirty;
    bool shownBefore = false;
    bool geometryReported = false;
    int32_t reportedX = 0, reportedY = 0, reportedWidth = 0, reportedHeight = 0;
    bool inDestroy = false;   // WM_DESTROY is being sent
    bool destroying = false;  // gone for everyone
    void* native = nullptr;
};

struct Timer {
    WindowHandle window = 0;
    uintptr_t id = 0;
    uint32_t period = 0;
    int64_t due = 0;  // nanoseconds on the monotonic clock
};

struct ClassEntry {
    WindowClass windowClass;
    std::string key;
};

struct ClaimEntry {
    ClassClaim claim;
    int windows = 0;
};

struct PlatformState {
    const VideoBackend* backend = nullptr;
    Backend kind = Backend::None;
    std::string desktop;

    std::deque<Message> queue;
    bool quitPending = false;
    int quitCode = 0;
    bool pumping = false;

    std::map<WindowHandle, std::unique_ptr<WindowRecord>> windows;  // in creation order
    WindowHandle nextHandle = 0x10010;
    std::vector<ClassEntry> classes;
    std::map<std::string, ClaimEntry> claims;
    std::vector<Timer> timers;

    uint8_t keyState[256] = {};  // as of the last message removed
    uint8_t pressed[256] = {};   // as the events arrive
    int32_t cursorX = 0, cursorY = 0;
    WindowHandle mouseWindow = 0;
    int32_t mouseX = 0, mouseY = 0;

    WindowHandle activeWindow = 0;
    bool appActive = false;
    WindowHandle lastShown = 0;

    int cursorCount = 0;
    bool cursorArrow = true;
    int cursorApplied = -1;  // visibility last given to the backend

    PlatformState() = default;
    PlatformState(const PlatformState&) = delete;
    PlatformState& operator=(const PlatformState&) = delete;
    // A process may end without closing the backend (the fatal exit): its
    // windows are let go here so that nothing of ours is left unreachable.
    ~PlatformState()
    {
        if (!backend)
            return;
        for (auto& [handle, record] : windows)
            if (record->native)
                backend->destroyWindow(record->native);
    }
};

PlatformState& State()
{
    static PlatformState state;
    return state;
}

int64_t NowNanoseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

intptr_t MakeLParam(int32_t low, int32_t high)
{
    return intptr_t(uint32_t(uint16_t(low)) | (uint32_t(uint16_t(high)) << 16));
}

int32_t LowWordSigned(intptr_t value)
{
    return int16_t(uint16_t(uintptr_t(value) & 0xFFFF));
}

int32_t HighWordSigned(intptr_t value)
{
    return int16_t(uint16_t((uintptr_t(value) >> 16) & 0xFFFF));
}

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

bool Matches(WindowHandle messageWindow, WindowHandle filter)
{
    if (filter == 0)
        return true;
    if (filter == ThreadOnly)
        return messageWindow == 0;
    return messageWindow == filter;
}

void Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    State().queue.push_back(Message{window, message, wParam, lParam, TimeGetTime()});
}

intptr_t Send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    WindowRecord* record = Find(window);
    if (!record || !record->procedure)
        return 0;
    return record->procedure(window, message, wParam, lParam);
}

void ApplyCursor()
{
    PlatformState& s = State();
    const int visible = (s.cursorCount >= 0 && s.cursorArrow) ? 1 : 0;
    if (s.backend && visible != s.cursorApplied) {
        s.backend->setCursorVisible(visible != 0);
        s.cursorApplied = visible;
    }
}

// Sends WM_SIZE and WM_MOVE when the client size or position differs from
// what the procedure was last told (always when forced). Re-reads the record
// after each call, since the procedure may move or destroy the window.
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

uintptr_t MouseKeyFlags()
{
    const uint8_t* pressed = State().pressed;
    uintptr_t flags = 0;
    if (pressed[VK_LBUTTON] & 0x80)
        flags |= MK_LBUTTON;
    if (pressed[VK_RBUTTON] & 0x80)
        flags |= MK_RBUTTON;
    if (pressed[VK_MBUTTON] & 0x80)
        flags |= MK_MBUTTON;
    if (pressed[VK_SHIFT] & 0x80)
        flags |= MK_SHIFT;
    if (pressed[VK_CONTROL] & 0x80)
        flags |= MK_CONTROL;
    return flags;
}

// A key goes down or up in a 256-byte state table. The generic modifier keys
// follow their left and right keys; bit 0 toggles on every press.
void SetKey(uint8_t* table, uint8_t virtualKey, bool down)
{
    if (down && !(table[virtualKey] & 0x80))
        table[virtualKey] ^= 0x01;
    table[virtualKey] = uint8_t(down ? (table[virtualKey] | 0x80) : (table[virtualKey] & 0x7F));
    auto generic = [table](uint8_t genericKey, uint8_t left, uint8_t right) {
        const bool anyDown = (table[left] | table[right]) & 0x80;
        if (anyDown && !(table[genericKey] & 0x80))
            table[genericKey] ^= 0x01;
        table[genericKey] = uint8_t(anyDown ? (table[genericKey] | 0x80) : (table[genericKey] & 0x7F));
    };
    if (virtualKey == VK_LSHIFT || virtualKey == VK_RSHIFT)
        generic(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
    else if (virtualKey == VK_LCONTROL || virtualKey == VK_RCONTROL)
        generic(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
    else if (virtualKey == VK_LMENU || virtualKey == VK_RMENU)
        generic(VK_MENU, VK_LMENU, VK_RMENU);
}

bool IsMouseMessage(uint32_t message)
{
    return message >= WM_MOUSEMOVE && message <= WM_MBUTTONUP;
}

// The window system's state follows the messages as the program takes them.
void FollowRemovedMessage(const Message& message)
{
    PlatformState& s = State();
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        const bool down = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
        SetKey(s.keyState, SidedVirtualKey(uint8_t(message.wParam), message.lParam), down);
        return;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        SetKey(s.keyState, VK_LBUTTON, message.message == WM_LBUTTONDOWN);
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        SetKey(s.keyState, VK_RBUTTON, message.message == WM_RBUTTONDOWN);
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        SetKey(s.keyState, VK_MBUTTON, message.message == WM_MBUTTONDOWN);
        break;
    case WM_MOUSEWHEEL:
        s.cursorX = LowWordSigned(message.lParam);
        s.cursorY = HighWordSigned(message.lParam);
        return;
    default:
        break;
    }
    if (IsMouseMessage(message.message)) {
        if (const WindowRecord* record = Find(message.window)) {
            const Rect client = ClientOnScreen(*record);
            s.cursorX = client.left + LowWordSigned(message.lParam);
            s.cursorY = client.top + HighWordSigned(message.lParam);
        }
        // The class cursor (the arrow) comes back with every mouse message.
        s.cursorArrow = true;
        ApplyCursor();
    }
}

void ResetState()
{
    PlatformState& s = State();
    s.~PlatformState();
    new (&s) PlatformState();
}

}  // namespace

// ---------------------------------------------------------------- text

std::string ShiftJisToUtf8(const std::string& text)
{
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == iconv_t(-1))
        return text;
    std::string result;
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[256];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
        result.append(buffer, size_t(out - buffer));
        if (done == size_t(-1) && errno != E2BIG) {
            // A byte that is no Shift-JIS character: show it as '?' and go on.
            result += '?';
            ++in;
            --inLeft;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(converter);
    return result;
}

// ---------------------------------------------------------------- backends

bool SelectSdlBackend(std::string* error)
{
    CloseBackend();
    std::string reason;
    if (!OpenSdlBackend(&reason)) {
        if (error)
            *error = reason;
        return false;
    }
    PlatformState& s = State();
    s.backend = &SdlVideoBackend();
    s.kind = Backend::Sdl;
    s.desktop = s.backend->desktopName();
    return true;
}

bool SelectHeadlessBackend(const HeadlessOptions& options, std::string* error)
{
    CloseBackend();
    std::string reason;
    if (!OpenHeadlessBackend(options, &reason)) {
        if (error)
            *error = reason;
        return false;
    }
    PlatformState& s = State();
    s.backend = &HeadlessVideoBackend();
    s.kind = Backend::Headless;
    s.desktop = s.backend->desktopName();
    return true;
}

Backend CurrentBackend()
{
    return State().kind;
}

void CloseBackend()
{
    PlatformState& s = State();
    if (s.backend) {
        for (auto& [handle, record] : s.windows) {
            if (record->native)
                s.backend->destroyWindow(record->native);
            record->native = nullptr;
        }
        s.backend->close();
    }
    ResetState();
}

// ---------------------------------------------------------------- messages

bool PeekMessage(Message* message, WindowHandle window, bool remove)
{
    PlatformState& s = State();
    if (!message)
        return false;
    if (s.backend && !s.pumping) {
        s.pumping = true;
        s.backend->pumpEvents();
        s.pumping = false;
    }
    if (s.quitPending && (window == 0 || window == ThreadOnly)) {
        *message = Message{0, WM_QUIT, uintptr_t(intptr_t(s.quitCode)), 0, TimeGetTime()};
        if (remove)
            s.quitPending = false;
        return true;
    }
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
        if (!Matches(it->window, window))
            continue;
        *message = *it;
        if (remove) {
            s.queue.erase(it);
            FollowRemovedMessage(*message);
        }
        return true;
    }
    if (window != ThreadOnly) {
        // WM_PAINT stays until the window is validated (BeginPaint).
        for (auto& [handle, record] : s.windows) {
            if (record->destroying || !record->invalid || !Visible(*record) || !Matches(handle, window))
                continue;
            *message = Message{handle, WM_PAINT, 0, 0, TimeGetTime()};
            return true;
        }
    }
    const int64_t now = NowNanoseconds();
    Timer* due = nullptr;
    for (Timer& timer : s.timers)
        if (timer.due <= now && Matches(timer.window, window) && (!due || timer.due < due->due))
            due = &timer;
    if (due) {
        *message = Message{due->window, WM_TIMER, due->id, 0, TimeGetTime()};
        if (remove)
            due->due = now + int64_t(due->period) * 1000000;
        return true;
    }
    return false;
}

bool TranslateMessage(const Message& message)
{
    if (message.message == WM_KEYUP || message.message == WM_SYSKEYUP || message.message == WM_SYSKEYDOWN)
        return true;
    if (message.message != WM_KEYDOWN)
        return false;
    const uint8_t character = CharacterForKey(uint8_t(message.wParam), State().keyState);
    if (character != 0) {
        // The character is the very next message, ahead of anything queued.
        State().queue.push_front(Message{message.window, WM_CHAR, character, message.lParam, TimeGetTime()});
    }
    return true;
}

intptr_t DispatchMessage(const Message& message)
{
    if (message.window == 0)
        return 0;
    return Send(message.window, message.message, message.wParam, message.lParam);
}

intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    return Send(window, message, wParam, lParam);
}

bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (window != 0 && !Find(window))
        return false;
    Post(window, message, wParam, lParam);
    return true;
}

void PostQuitMessage(int exitCode)
{
    State().quitPending = true;
    State().quitCode = exitCode;
}

intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            PostMessage(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_PAINT: {
        // Validate, or the paint message would come back for ever.
        Rect dirty;
        if (BeginPaint(window, &dirty))
            EndPaint(window);
        return 0;
    }
    case WM_SETCURSOR:
        SetCursor(true);
        return 0;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------- keyboard and mouse

bool GetKeyboardState(uint8_t states[256])
{
    if (!states)
        return false;
    std::memcpy(states, State().keyState, 256);
    return true;
}

bool GetCursorPos(int32_t* x, int32_t* y)
{
    if (!x || !y)
        return false;
    *x = State().cursorX;
    *y = State().cursorY;
    return true;
}

int ShowCursor(bool show)
{
    PlatformState& s = State();
    s.cursorCount += show ? 1 : -1;
    ApplyCursor();
    return s.cursorCount;
}

void SetCursor(bool arrow)
{
    State().cursorArrow = arrow;
    ApplyCursor();
}

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
            return true;
        }
    }
    return false;
}

bool FindWindow(const char* className)
{
    PlatformState& s = State();
    if (!className)
        return false;
    const std::string key = ClassNameKey(className);
    for (const auto& [handle, record] : s.windows)
        if (!record->destroying && ClassNameKey(record->className) == key)
            return true;
    return s.backend && ClassClaimed(s.desktop, className);
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
    if (claim.windows++ == 0)
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
    std::erase_if(s.timers, [window](const Timer& t) { return t.window == window; });
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
    const Rect filled = FillPixels(pixels, rect, 0);
    backend->unlockClient(record->native, filled, false);
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

bool SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMilliseconds)
{
    PlatformState& s = State();
    if (window != 0 && !Find(window))
        return false;
    // The other system's floor for timer periods.
    const uint32_t period = std::max<uint32_t>(periodMilliseconds, 10);
    const int64_t due = NowNanoseconds() + int64_t(period) * 1000000;
    for (Timer& timer : s.timers) {
        if (timer.window == window && timer.id == id) {
            timer.period = period;
            timer.due = due;
            return true;
        }
    }
    s.timers.push_back(Timer{window, id, period, due});
    return true;
}

bool KillTimer(WindowHandle window, uintptr_t id)
{
    return std::erase_if(State().timers, [&](const Timer& t) { return t.window == window && t.id == id; }) > 0;
}

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
    const DesktopInfo desktop = s.backend->desktop();
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

// ---------------------------------------------------------------- presentation

bool PresentBitmap(WindowHandle window, const void* pixels, const BitmapDescription& bitmap, const Rect& source,
                   const Rect& destination)
{
    const VideoBackend* backend = State().backend;
    WindowRecord* record = Find(window);
    ClientPixels target;
    if (!record || !backend->lockClient(record->native, &target))
        return false;
    Rect updated;
    const bool drawn = BlitBitmap(target, pixels, bitmap, source, destination, &updated);
    backend->unlockClient(record->native, updated, drawn);
    return drawn;
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
    Post(window, message, messageKey, intptr_t(uint32_t(lParam)));
    // F10 opens the system menu on the other system, where the media layer
    // learns of it through its private message instead; it comes here too.
    if (messageKey == VK_F10 && down != wasDown)
        Post(window, WM_F10_PRIVATE, down ? 1 : 0, 0);
}

void MouseMove(WindowHandle window, int32_t x, int32_t y)
{
    PlatformState& s = State();
    if (!Find(window))
        return;
    s.mouseWindow = window;
    s.mouseX = x;
    s.mouseY = y;
    Post(window, WM_MOUSEMOVE, MouseKeyFlags(), MakeLParam(x, y));
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
    if (!Find(window))
        return;
    s.mouseWindow = window;
    s.mouseX = x;
    s.mouseY = y;
    Post(window, down ? downMessages[button] : upMessages[button], MouseKeyFlags(), MakeLParam(x, y));
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
    const uintptr_t wParam = (uintptr_t(uint16_t(int16_t(delta))) << 16) | MouseKeyFlags();
    Post(window, WM_MOUSEWHEEL, wParam, MakeLParam(x, y));
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
        if (Find(window))
            Activate(window, false);
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
