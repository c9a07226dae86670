// Inside the platform layer: the state its services share (windows, classes,
// the message queue, keyboard state, timers, activation, cursor) and the
// helpers the service files call on one another. Nothing outside
// media/platform includes this.
#pragma once

#include "media/platform/backend.h"
#include "media/platform/class_registry.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace media::platform::detail {

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
    // The client area holds what the last PresentBitmap wrote, untouched
    // since (no repaint, fill, resize, exposure or display-mode change).
    bool showsLastFrame = false;
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

// A message in the queue. fromDevice: posted for an event of the backend (not
// by PostMessage), so the cursor already stands where it says.
struct QueuedMessage : Message {
    bool fromDevice = false;
};

struct PlatformState {
    const VideoBackend* backend = nullptr;
    Backend kind = Backend::None;
    std::string desktop;

    std::deque<QueuedMessage> queue;
    bool quitPending = false;
    int quitCode = 0;
    bool pumping = false;

    std::map<WindowHandle, std::unique_ptr<WindowRecord>> windows;  // in creation order
    WindowHandle nextHandle = 0x10010;
    std::vector<ClassEntry> classes;
    std::map<std::string, ClaimEntry> claims;
    std::vector<Timer> timers;

    uint8_t keyState[256] = {};     // as of the last message removed
    uint8_t keptPresses[256] = {};  // pressed since last cleared, released or not
    uint8_t pressed[256] = {};      // as the events arrive
    int32_t cursorX = 0, cursorY = 0;  // screen coordinates: the latest mouse event or removed posted message
    WindowHandle mouseWindow = 0;
    int32_t mouseX = 0, mouseY = 0;

    WindowHandle activeWindow = 0;
    bool appActive = false;
    WindowHandle lastShown = 0;

    bool displayChangesSilent = false;  // headless tests: no WM_DISPLAYCHANGE

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

PlatformState& State();
// Puts every service back to its state before any backend was selected.
void ResetState();
int64_t NowNanoseconds();

intptr_t MakeLParam(int32_t low, int32_t high);
int32_t LowWordSigned(intptr_t value);
int32_t HighWordSigned(intptr_t value);

// windows.cpp
WindowRecord* Find(WindowHandle handle);  // null when absent or being destroyed
bool Visible(const WindowRecord& record);
FrameInsets Insets(uint32_t style, uint32_t exStyle);
Rect ClientOnScreen(const WindowRecord& record);
// Sends WM_SIZE and WM_MOVE when the client size or position differs from
// what the procedure was last told (always when forced).
void ReportGeometry(WindowHandle handle, bool force);
void InvalidateAll(WindowRecord& record);
// Makes a window the active one. send: call the procedure at once (a call
// of the program), else post (an event of the window system).
void Activate(WindowHandle handle, bool send);
void Deactivate(bool send);
void SetOuterRect(WindowHandle handle, const Rect& rect);

// messages.cpp
bool Matches(WindowHandle messageWindow, WindowHandle filter);
void Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Posts the message of a device event (see QueuedMessage).
void PostFromDevice(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t Send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// keyboard_state.cpp
void ApplyCursor();
uintptr_t MouseKeyFlags();
// A key goes down or up in a 256-byte state table.
void SetKey(uint8_t* table, uint8_t virtualKey, bool down);
// The window system's state follows the messages as the program takes them,
// and each new press is kept apart (GetKeyPresses). A device message's
// position is not followed: the cursor moved on with the event itself, and
// may have moved further since.
void FollowRemovedMessage(const Message& message, bool fromDevice);

// timers.cpp
// Takes the timer message due soonest for the filter, if one is due.
bool TakeDueTimer(Message* message, WindowHandle filter, bool remove);
void KillWindowTimers(WindowHandle window);

}  // namespace media::platform::detail
