// The keyboard state table, the presses kept beside it, and the cursor as the
// program sees them: all follow the messages as they are removed from the
// queue.
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

namespace {

// A new press is kept for the key and, for the modifiers, the generic key
// too, as the keyboard state sets both.
void KeepPress(uint8_t virtualKey)
{
    uint8_t* presses = State().keptPresses;
    presses[virtualKey] |= 0x80;
    if (virtualKey == VK_LSHIFT || virtualKey == VK_RSHIFT)
        presses[VK_SHIFT] |= 0x80;
    else if (virtualKey == VK_LCONTROL || virtualKey == VK_RCONTROL)
        presses[VK_CONTROL] |= 0x80;
    else if (virtualKey == VK_LMENU || virtualKey == VK_RMENU)
        presses[VK_MENU] |= 0x80;
}

void FollowButton(uint8_t virtualKey, bool down)
{
    SetKey(State().keyState, virtualKey, down);
    if (down)
        KeepPress(virtualKey);
}

}  // namespace

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
        const uint8_t virtualKey = SidedVirtualKey(uint8_t(message.wParam), message.lParam);
        SetKey(s.keyState, virtualKey, down);
        // Bit 30 set: the key was down already (auto-repeat), no new press.
        if (down && !(uintptr_t(message.lParam) & (uintptr_t(1) << 30)))
            KeepPress(virtualKey);
        return;
    }
    // A button message's lParam is the position: every down is a new press.
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        FollowButton(VK_LBUTTON, message.message == WM_LBUTTONDOWN);
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        FollowButton(VK_RBUTTON, message.message == WM_RBUTTONDOWN);
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        FollowButton(VK_MBUTTON, message.message == WM_MBUTTONDOWN);
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

void GetKeyPresses(uint8_t presses[256])
{
    if (presses)
        std::memcpy(presses, State().keptPresses, 256);
}

void ClearKeyPresses()
{
    std::memset(State().keptPresses, 0, 256);
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
