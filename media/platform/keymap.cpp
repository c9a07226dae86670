#include "media/platform/keymap.h"

#include <SDL_scancode.h>

#include <cctype>
#include <iterator>

namespace media::platform {

namespace {

// One row per physical key. Punctuation follows the JIS layout: the key SDL
// calls "[" is "@" there (0xC0), "=" is "^" (0xDE), "'" is ":" (0xBA) and so on.
constexpr PhysicalKey keys[] = {
    {SDL_SCANCODE_A, 0x41, 0x1E, false, "A"},
    {SDL_SCANCODE_B, 0x42, 0x30, false, "B"},
    {SDL_SCANCODE_C, 0x43, 0x2E, false, "C"},
    {SDL_SCANCODE_D, 0x44, 0x20, false, "D"},
    {SDL_SCANCODE_E, 0x45, 0x12, false, "E"},
    {SDL_SCANCODE_F, 0x46, 0x21, false, "F"},
    {SDL_SCANCODE_G, 0x47, 0x22, false, "G"},
    {SDL_SCANCODE_H, 0x48, 0x23, false, "H"},
    {SDL_SCANCODE_I, 0x49, 0x17, false, "I"},
    {SDL_SCANCODE_J, 0x4A, 0x24, false, "J"},
    {SDL_SCANCODE_K, 0x4B, 0x25, false, "K"},
    {SDL_SCANCODE_L, 0x4C, 0x26, false, "L"},
    {SDL_SCANCODE_M, 0x4D, 0x32, false, "M"},
    {SDL_SCANCODE_N, 0x4E, 0x31, false, "N"},
    {SDL_SCANCODE_O, 0x4F, 0x18, false, "O"},
    {SDL_SCANCODE_P, 0x50, 0x19, false, "P"},
    {SDL_SCANCODE_Q, 0x51, 0x10, false, "Q"},
    {SDL_SCANCODE_R, 0x52, 0x13, false, "R"},
    {SDL_SCANCODE_S, 0x53, 0x1F, false, "S"},
    {SDL_SCANCODE_T, 0x54, 0x14, false, "T"},
    {SDL_SCANCODE_U, 0x55, 0x16, false, "U"},
    {SDL_SCANCODE_V, 0x56, 0x2F, false, "V"},
    {SDL_SCANCODE_W, 0x57, 0x11, false, "W"},
    {SDL_SCANCODE_X, 0x58, 0x2D, false, "X"},
    {SDL_SCANCODE_Y, 0x59, 0x15, false, "Y"},
    {SDL_SCANCODE_Z, 0x5A, 0x2C, false, "Z"},
    {SDL_SCANCODE_1, 0x31, 0x02, false, "1"},
    {SDL_SCANCODE_2, 0x32, 0x03, false, "2"},
    {SDL_SCANCODE_3, 0x33, 0x04, false, "3"},
    {SDL_SCANCODE_4, 0x34, 0x05, false, "4"},
    {SDL_SCANCODE_5, 0x35, 0x06, false, "5"},
    {SDL_SCANCODE_6, 0x36, 0x07, false, "6"},
    {SDL_SCANCODE_7, 0x37, 0x08, false, "7"},
    {SDL_SCANCODE_8, 0x38, 0x09, false, "8"},
    {SDL_SCANCODE_9, 0x39, 0x0A, false, "9"},
    {SDL_SCANCODE_0, 0x30, 0x0B, false, "0"},
    {SDL_SCANCODE_ESCAPE, 0x1B, 0x01, false, "ESC"},
    {SDL_SCANCODE_RETURN, 0x0D, 0x1C, false, "ENTER"},
    {SDL_SCANCODE_BACKSPACE, 0x08, 0x0E, false, "BACKSPACE"},
    {SDL_SCANCODE_TAB, 0x09, 0x0F, false, "TAB"},
    {SDL_SCANCODE_SPACE, 0x20, 0x39, false, "SPACE"},
    // JIS punctuation.
    {SDL_SCANCODE_MINUS, 0xBD, 0x0C, false, "MINUS"},
    {SDL_SCANCODE_EQUALS, 0xDE, 0x0D, false, "CARET"},
    {SDL_SCANCODE_INTERNATIONAL3, 0xDC, 0x7D, false, "YEN"},
    {SDL_SCANCODE_LEFTBRACKET, 0xC0, 0x1A, false, "AT"},
    {SDL_SCANCODE_RIGHTBRACKET, 0xDB, 0x1B, false, "LBRACKET"},
    {SDL_SCANCODE_SEMICOLON, 0xBB, 0x27, false, "SEMICOLON"},
    {SDL_SCANCODE_APOSTROPHE, 0xBA, 0x28, false, "COLON"},
    {SDL_SCANCODE_BACKSLASH, 0xDD, 0x2B, false, "RBRACKET"},
    {SDL_SCANCODE_NONUSHASH, 0xDD, 0x2B, false, "RBRACKET"},
    {SDL_SCANCODE_COMMA, 0xBC, 0x33, false, "COMMA"},
    {SDL_SCANCODE_PERIOD, 0xBE, 0x34, false, "PERIOD"},
    {SDL_SCANCODE_SLASH, 0xBF, 0x35, false, "SLASH"},
    {SDL_SCANCODE_INTERNATIONAL1, 0xE2, 0x73, false, "BACKSLASH"},
    {SDL_SCANCODE_NONUSBACKSLASH, 0xE2, 0x73, false, "BACKSLASH"},
    // JIS input-mode keys.
    {SDL_SCANCODE_GRAVE, 0xF3, 0x29, false, "HANKAKU"},
    {SDL_SCANCODE_INTERNATIONAL2, 0xF2, 0x70, false, "KATAKANA"},
    {SDL_SCANCODE_INTERNATIONAL4, 0x1C, 0x79, false, "HENKAN"},
    {SDL_SCANCODE_INTERNATIONAL5, 0x1D, 0x7B, false, "MUHENKAN"},
    {SDL_SCANCODE_CAPSLOCK, 0x14, 0x3A, false, "CAPSLOCK"},
    // Function keys.
    {SDL_SCANCODE_F1, 0x70, 0x3B, false, "F1"},
    {SDL_SCANCODE_F2, 0x71, 0x3C, false, "F2"},
    {SDL_SCANCODE_F3, 0x72, 0x3D, false, "F3"},
    {SDL_SCANCODE_F4, 0x73, 0x3E, false, "F4"},
    {SDL_SCANCODE_F5, 0x74, 0x3F, false, "F5"},
    {SDL_SCANCODE_F6, 0x75, 0x40, false, "F6"},
    {SDL_SCANCODE_F7, 0x76, 0x41, false, "F7"},
    {SDL_SCANCODE_F8, 0x77, 0x42, false, "F8"},
    {SDL_SCANCODE_F9, 0x78, 0x43, false, "F9"},
    {SDL_SCANCODE_F10, 0x79, 0x44, false, "F10"},
    {SDL_SCANCODE_F11, 0x7A, 0x57, false, "F11"},
    {SDL_SCANCODE_F12, 0x7B, 0x58, false, "F12"},
    // Navigation block.
    {SDL_SCANCODE_INSERT, 0x2D, 0x52, true, "INSERT"},
    {SDL_SCANCODE_DELETE, 0x2E, 0x53, true, "DELETE"},
    {SDL_SCANCODE_HOME, 0x24, 0x47, true, "HOME"},
    {SDL_SCANCODE_END, 0x23, 0x4F, true, "END"},
    {SDL_SCANCODE_PAGEUP, 0x21, 0x49, true, "PAGEUP"},
    {SDL_SCANCODE_PAGEDOWN, 0x22, 0x51, true, "PAGEDOWN"},
    {SDL_SCANCODE_LEFT, 0x25, 0x4B, true, "LEFT"},
    {SDL_SCANCODE_UP, 0x26, 0x48, true, "UP"},
    {SDL_SCANCODE_RIGHT, 0x27, 0x4D, true, "RIGHT"},
    {SDL_SCANCODE_DOWN, 0x28, 0x50, true, "DOWN"},
    {SDL_SCANCODE_PRINTSCREEN, 0x2C, 0x37, true, "PRINTSCREEN"},
    {SDL_SCANCODE_SCROLLLOCK, 0x91, 0x46, false, "SCROLLLOCK"},
    {SDL_SCANCODE_PAUSE, 0x13, 0x45, false, "PAUSE"},
    // Modifiers.
    {SDL_SCANCODE_LSHIFT, VK_LSHIFT, 0x2A, false, "LSHIFT"},
    {SDL_SCANCODE_RSHIFT, VK_RSHIFT, 0x36, false, "RSHIFT"},
    {SDL_SCANCODE_LCTRL, VK_LCONTROL, 0x1D, false, "LCTRL"},
    {SDL_SCANCODE_RCTRL, VK_RCONTROL, 0x1D, true, "RCTRL"},
    {SDL_SCANCODE_LALT, VK_LMENU, 0x38, false, "LALT"},
    {SDL_SCANCODE_RALT, VK_RMENU, 0x38, true, "RALT"},
    {SDL_SCANCODE_LGUI, 0x5B, 0x5B, true, "LWIN"},
    {SDL_SCANCODE_RGUI, 0x5C, 0x5C, true, "RWIN"},
    {SDL_SCANCODE_APPLICATION, 0x5D, 0x5D, true, "MENU"},
    // Numeric keypad (Num Lock on). Its Enter is the same virtual key as the main one.
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x90, 0x45, true, "NUMLOCK"},
    {SDL_SCANCODE_KP_0, 0x60, 0x52, false, "KP0"},
    {SDL_SCANCODE_KP_1, 0x61, 0x4F, false, "KP1"},
    {SDL_SCANCODE_KP_2, 0x62, 0x50, false, "KP2"},
    {SDL_SCANCODE_KP_3, 0x63, 0x51, false, "KP3"},
    {SDL_SCANCODE_KP_4, 0x64, 0x4B, false, "KP4"},
    {SDL_SCANCODE_KP_5, 0x65, 0x4C, false, "KP5"},
    {SDL_SCANCODE_KP_6, 0x66, 0x4D, false, "KP6"},
    {SDL_SCANCODE_KP_7, 0x67, 0x47, false, "KP7"},
    {SDL_SCANCODE_KP_8, 0x68, 0x48, false, "KP8"},
    {SDL_SCANCODE_KP_9, 0x69, 0x49, false, "KP9"},
    {SDL_SCANCODE_KP_MULTIPLY, 0x6A, 0x37, false, "KPMULTIPLY"},
    {SDL_SCANCODE_KP_PLUS, 0x6B, 0x4E, false, "KPPLUS"},
    {SDL_SCANCODE_KP_MINUS, 0x6D, 0x4A, false, "KPMINUS"},
    {SDL_SCANCODE_KP_PERIOD, 0x6E, 0x53, false, "KPPERIOD"},
    {SDL_SCANCODE_KP_DIVIDE, 0x6F, 0x35, true, "KPDIVIDE"},
    {SDL_SCANCODE_KP_ENTER, 0x0D, 0x1C, true, "KPENTER"},
};

struct Alias {
    const char* alias;
    const char* name;
};
constexpr Alias aliases[] = {
    {"SHIFT", "LSHIFT"}, {"CTRL", "LCTRL"}, {"CONTROL", "LCTRL"}, {"ALT", "LALT"},
    {"ESCAPE", "ESC"},   {"RETURN", "ENTER"},
};

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Characters of the JIS layout's punctuation keys: unshifted, shifted.
struct KeyCharacters {
    uint8_t virtualKey;
    char plain, shifted;
};
constexpr KeyCharacters punctuation[] = {
    {0x31, '1', '!'},  {0x32, '2', '"'},  {0x33, '3', '#'},  {0x34, '4', '$'},  {0x35, '5', '%'},
    {0x36, '6', '&'},  {0x37, '7', '\''}, {0x38, '8', '('},  {0x39, '9', ')'},  {0x30, '0', 0},
    {0xBD, '-', '='},  {0xDE, '^', '~'},  {0xDC, '\\', '|'}, {0xC0, '@', '`'},  {0xDB, '[', '{'},
    {0xBB, ';', '+'},  {0xBA, ':', '*'},  {0xDD, ']', '}'},  {0xBC, ',', '<'},  {0xBE, '.', '>'},
    {0xBF, '/', '?'},  {0xE2, '\\', '_'}, {0x20, ' ', ' '},  {0x0D, '\r', '\r'}, {0x08, 0x08, 0x08},
    {0x09, '\t', '\t'}, {0x1B, 0x1B, 0x1B}, {0x6A, '*', '*'}, {0x6B, '+', '+'}, {0x6D, '-', '-'},
    {0x6E, '.', '.'},  {0x6F, '/', '/'},
};

}  // namespace

const PhysicalKey* KeyFromScancode(int sdlScancode)
{
    for (const PhysicalKey& key : keys)
        if (key.sdlScancode == sdlScancode)
            return &key;
    return nullptr;
}

const PhysicalKey* KeyFromName(std::string_view name)
{
    for (const Alias& alias : aliases)
        if (SameName(name, alias.alias))
            name = alias.name;
    for (const PhysicalKey& key : keys)
        if (SameName(name, key.name))
            return &key;
    return nullptr;
}

uint8_t MessageVirtualKey(const PhysicalKey& key)
{
    switch (key.virtualKey) {
    case VK_LSHIFT:
    case VK_RSHIFT:
        return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
        return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
        return VK_MENU;
    default:
        return key.virtualKey;
    }
}

uint8_t SidedVirtualKey(uint8_t messageVirtualKey, intptr_t lParam)
{
    const uint8_t scanCode = uint8_t((uintptr_t(lParam) >> 16) & 0xFF);
    const bool extended = (uintptr_t(lParam) >> 24) & 1;
    switch (messageVirtualKey) {
    case VK_SHIFT:
        return scanCode == 0x36 ? VK_RSHIFT : VK_LSHIFT;
    case VK_CONTROL:
        return extended ? VK_RCONTROL : VK_LCONTROL;
    case VK_MENU:
        return extended ? VK_RMENU : VK_LMENU;
    default:
        return messageVirtualKey;
    }
}

uint8_t CharacterForKey(uint8_t virtualKey, const uint8_t states[256])
{
    const bool shift = states[VK_SHIFT] & 0x80;
    const bool control = states[VK_CONTROL] & 0x80;
    const bool alt = states[VK_MENU] & 0x80;
    if (alt)
        return 0;
    if (virtualKey >= 0x41 && virtualKey <= 0x5A) {
        if (control)
            return uint8_t(virtualKey - 0x40);
        const bool capsLock = states[VK_CAPITAL] & 0x01;
        return (shift != capsLock) ? virtualKey : uint8_t(virtualKey + 0x20);
    }
    if (control)
        return 0;
    if (virtualKey >= 0x60 && virtualKey <= 0x69)
        return uint8_t('0' + virtualKey - 0x60);
    for (const KeyCharacters& entry : punctuation)
        if (entry.virtualKey == virtualKey)
            return uint8_t(shift ? entry.shifted : entry.plain);
    return 0;
}

}  // namespace media::platform
