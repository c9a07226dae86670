// The keyboard state table and the cursor as the program sees them: both
// follow the messages as they are removed from the queue.
#include "media/platform/platform_state.h"

#include <cstring>

namespace media::platform {

namespace detail {

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
void FollowRemovedMessage(const Message& message, bool fromDevice)
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
        if (!fromDevice) {
            s.cursorX = LowWordSigned(message.lParam);
            s.cursorY = HighWordSigned(message.lParam);
        }
        return;
    default:
        break;
    }
    if (IsMouseMessage(message.message)) {
        const WindowRecord* record = fromDevice ? nullptr : Find(message.window);
        if (record) {
            const Rect client = ClientOnScreen(*record);
            s.cursorX = client.left + LowWordSigned(message.lParam);
            s.cursorY = client.top + HighWordSigned(message.lParam);
        }
        // The class cursor (the arrow) comes back with every mouse message.
        s.cursorArrow = true;
        ApplyCursor();
    }
}

}  // namespace detail

using namespace detail;

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

}  // namespace media::platform
