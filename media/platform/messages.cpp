// The message queue: posting, sending, taking messages (with the paint and
// timer messages made on demand), translation and default handling.
#include "media/platform/platform_state.h"

namespace media::platform {

namespace detail {

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
    State().queue.push_back(QueuedMessage{{window, message, wParam, lParam, TimeGetTime()}, false});
}

void PostFromDevice(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    State().queue.push_back(QueuedMessage{{window, message, wParam, lParam, TimeGetTime()}, true});
}

intptr_t Send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    WindowRecord* record = Find(window);
    if (!record || !record->procedure)
        return 0;
    return record->procedure(window, message, wParam, lParam);
}

}  // namespace detail

using namespace detail;

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
            const bool fromDevice = it->fromDevice;
            s.queue.erase(it);
            FollowRemovedMessage(*message, fromDevice);
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
    if (TakeDueTimer(message, window, remove))
        return true;
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
        State().queue.push_front(QueuedMessage{{message.window, WM_CHAR, character, message.lParam, TimeGetTime()}, false});
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

}  // namespace media::platform
