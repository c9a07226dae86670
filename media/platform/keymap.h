// Physical keys: SDL scancode, the virtual key and keyboard scan code that a
// Japanese (JIS, 106/109-key) keyboard gives for the same key, and the name
// the headless script uses for it.
#pragma once

#include <cstdint>
#include <string_view>

namespace media::platform {

struct PhysicalKey {
    int sdlScancode;        // SDL_Scancode
    uint8_t virtualKey;     // as the keyboard state records it (left/right modifiers apart)
    uint8_t scanCode;       // set-1 scan code, carried in bits 16-23 of a key message's lParam
    bool extended;          // bit 24 of lParam
    const char* name;       // upper case
};

enum : uint8_t {
    VK_LBUTTON = 0x01,
    VK_RBUTTON = 0x02,
    VK_MBUTTON = 0x04,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_CAPITAL = 0x14,
    VK_F10 = 0x79,
    VK_LSHIFT = 0xA0,
    VK_RSHIFT = 0xA1,
    VK_LCONTROL = 0xA2,
    VK_RCONTROL = 0xA3,
    VK_LMENU = 0xA4,
    VK_RMENU = 0xA5,
};

const PhysicalKey* KeyFromScancode(int sdlScancode);
// Case-insensitive; accepts a few aliases (SHIFT, CTRL, ALT, ESCAPE, RETURN).
const PhysicalKey* KeyFromName(std::string_view name);

// The virtual key a key message carries: the generic VK_SHIFT, VK_CONTROL
// and VK_MENU for the modifiers, as the other system reports them.
uint8_t MessageVirtualKey(const PhysicalKey& key);
// Left or right modifier key named by a key message's generic virtual key and
// its lParam (scan code and extended bit); other keys come back unchanged.
uint8_t SidedVirtualKey(uint8_t messageVirtualKey, intptr_t lParam);

// The character a key makes on a JIS layout, or 0. states: the keyboard state.
uint8_t CharacterForKey(uint8_t virtualKey, const uint8_t states[256]);

}  // namespace media::platform
