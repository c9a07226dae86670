// Keyboard and mouse for the application: the 256-entry key table in
// DirectInput key codes, the mouse buttons, position and wheel, and the
// any-input test that waiting for a key relies on.
//
// There is no DirectInput here: start-up reports its absence with the same
// lines as a system without it, and everything runs on the window system's
// keyboard state, mapped to key codes through VirtualKeyMap.
//
// Copying that state alone loses a press released before the pump's sample
// (a tap): the state follows the removed messages and the pair leaves no
// trace. So the platform keeps every new press (GetKeyPresses) and the
// sample ORs them in: a tapped key reads down in exactly one sample. Only
// a refresh that really samples takes them; a refresh while input is ended
// samples nothing (the restart would wipe it), and a restart while the
// library runs keeps them. docs/ARCHITECTURE.md lists this departure.
#include "media/input/input.h"

#include <cstring>

#include "media/input/virtual_key_map.h"
#include "media/log/log.h"
#include "media/platform/platform.h"
#include "media/core/call_lock.h"
#include "media/core/roof_calls.h"
#include "media/core/system_state.h"

namespace media {

namespace {

constexpr int MaxJoypads = 16;
constexpr int PadButtons = 32;
constexpr int KeysPerPadButton = 4;
constexpr uint32_t ClassNotRegistered = 0x80040154u;  // what asking for DirectInput gives here

struct InputState {
    bool initialised = false;     // the counterpart of a non-empty `directInput`
    bool noDirectInput = false;
    bool forceDirectInput = false;
    uint32_t lastRefreshTime = 0;
    bool fallbackMouseValid = false;
    int fallbackMouseButtons = 0;  // bit 0 left, bit 1 right, bit 2 middle
    int joypadCount = 0;
    int padKeys[MaxJoypads][PadButtons][KeysPerPadButton] = {};
    bool f10Held = false;
};

InputState input;
uint8_t keyTable[256] = {};
bool initialising = false;
bool refreshing = false;

void ResetPadKeys()
{
    for (auto& pad : input.padKeys)
        for (auto& button : pad)
            for (int& key : button)
                key = -1;
    // Pad 1 also answers to the cursor keys, the numeric pad and a few letters.
    static const int defaults[][2] = {
        {80, 208}, {75, 203}, {77, 205}, {72, 200}, {44, -1}, {45, -1}, {46, -1},
        {30, -1},  {31, -1},  {32, -1},  {16, -1},  {17, -1}, {1, -1},  {57, -1},
    };
    for (int bit = 0; bit < int(sizeof defaults / sizeof defaults[0]); ++bit) {
        input.padKeys[0][bit][0] = defaults[bit][0];
        input.padKeys[0][bit][1] = defaults[bit][1];
    }
}

bool KeyDown(int code)
{
    return code >= 0 && code < 256 && (keyTable[code] & 0x80) != 0;
}

// A pad counts as pressed by any button or direction of the device, or by
// the keys that press its buttons.
bool PadPressed(int pad)
{
    if (pad < 1 || pad > MaxJoypads)
        return false;
    platform::JoypadState device;
    if (platform::ReadJoypad(pad - 1, &device) && device.Any())
        return true;
    for (const auto& button : input.padKeys[pad - 1])
        for (int key : button)
            if (key >= 0 && KeyDown(key))
                return true;
    return false;
}

void LogDirectInputAbsence()
{
    LogAdd("DirectInput関係初期化処理\n");
    LogIndent();
    LogAdd("DirectInput7 の取得中... ");
    LogAdd("取得に失敗。\n");
    LogPrintfLine("エラーコード 0x%x\n", ClassNotRegistered);
    LogAdd("DirectInput8 の取得を試みます...");
    LogAdd("取得に失敗。");
    LogAdd("DirectInput を使用しません。\n");
    LogUnindent();
}

// The shared start of the key reads: hold the caller while the window is
// inactive, and bring input up again when it was ended. True when the read
// may go on; otherwise *result holds what to return.
bool ReadMayProceed(int* result)
{
    WaitWhileInactive();
    if (!input.initialised && !systemState.closePosted) {
        *result = InitInput();
        return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------- start and end

int InitInput()
{
    if (input.initialised || initialising)
        return 0;
    initialising = true;

    const bool noDirectInput = input.noDirectInput;
    const bool forceDirectInput = input.forceDirectInput;
    input = InputState{};
    input.noDirectInput = noDirectInput;
    input.forceDirectInput = forceDirectInput;
    std::memset(keyTable, 0, sizeof keyTable);
    // A restart after a graphics restore (the library runs on) keeps the
    // presses taken while input was ended: the next pump's sample shows them.
    if (!systemState.initialised)
        platform::ClearKeyPresses();

    if (!input.noDirectInput) {
        LogDirectInputAbsence();
        input.noDirectInput = true;
    }

    LogIndent();
    int pads = platform::JoystickCount();
    if (pads < 0)
        pads = 0;
    if (pads > MaxJoypads)
        pads = MaxJoypads;
    LogPrintfLine("パッドの数は %d 個です\n", pads);
    LogUnindent();
    input.initialised = true;
    LogAdd("入力関連の初期化をしました\n");
    input.joypadCount = MaxJoypads;

    ResetPadKeys();
    initialising = false;
    return 0;
}

int EndInput()
{
    if (!input.initialised)
        return 0;
    LogAdd("入力関連の終了処理... 完了\n");
    input.initialised = false;
    return 0;
}

// ---------------------------------------------------------------- refresh

int RefreshKeyTable()
{
    if (refreshing)
        return 0;
    refreshing = true;
    int result = 0;
    do {
        // The window system's keyboard state belongs to the pump's thread:
        // only the holder of the call lock samples it.
        if (LibraryLockOwner() != platform::CurrentThreadId())
            break;
        // Ended input is sampled by nobody: the restart clears the table, and
        // the presses must wait for a sample that is read.
        if (!input.initialised)
            break;
        const uint32_t now = platform::TimeGetTime();
        if (now == input.lastRefreshTime)
            break;
        input.lastRefreshTime = now;
        // Inside the pump the messages have just been handled; elsewhere
        // handle them first.
        if (PumpServicesRunning()) {
            if (systemState.quitRequested)
                break;
        } else if (ProcessWindowMessages() != 0) {
            break;
        }
        uint8_t states[256] = {};
        platform::GetKeyboardState(states);
        uint8_t presses[256] = {};
        platform::GetKeyPresses(presses);
        platform::ClearKeyPresses();
        for (int key = 0; key < 256; ++key)
            states[key] |= presses[key];
        std::memset(keyTable, 0, sizeof keyTable);
        for (const VirtualKeyRow& row : VirtualKeyMap)
            keyTable[row.keyCode] = states[row.virtualKey];
        input.fallbackMouseButtons =
            ((states[1] >> 7) & 1) | (((states[2] >> 7) & 1) << 1) | (((states[4] >> 7) & 1) << 2);
        input.fallbackMouseValid = true;
        result = 1;
    } while (false);
    refreshing = false;
    return result;
}

// ---------------------------------------------------------------- keyboard

int ReadKeyStates(uint8_t states[256])
{
    int result = 0;
    if (!ReadMayProceed(&result))
        return result;
    RefreshKeyTable();
    for (int code = 0; code < 256; ++code)
        states[code] = (keyTable[code] >> 7) & 1;
    return 0;
}

int ReadKeyState(int keyCode)
{
    int result = 0;
    if (!ReadMayProceed(&result))
        return result;
    RefreshKeyTable();
    return KeyDown(keyCode) ? 1 : 0;
}

// ---------------------------------------------------------------- mouse

int ReadMouseButtons()
{
    RefreshKeyTable();
    if (input.fallbackMouseValid)
        return input.fallbackMouseButtons;
    uint8_t states[256] = {};
    platform::GetKeyboardState(states);
    return ((states[1] >> 7) & 1) | (((states[2] >> 7) & 1) << 1) | (((states[4] >> 7) & 1) << 2);
}

int ReadMousePosition(int* x, int* y)
{
    int32_t cursorX = 0, cursorY = 0;
    // A position that cannot be read is a failure, not a cursor at 0, 0.
    if (!platform::GetCursorPos(&cursorX, &cursorY))
        return -1;
    int resultX = cursorX, resultY = cursorY;
    if (systemState.windowed) {
        const double rateX = systemState.windowSizeRateX > 0.0 ? systemState.windowSizeRateX : 1.0;
        const double rateY = systemState.windowSizeRateY > 0.0 ? systemState.windowSizeRateY : 1.0;
        resultX = int((cursorX - systemState.clientRectOnScreen.left) / rateX);
        resultY = int((cursorY - systemState.clientRectOnScreen.top) / rateY);
    }
    if (x)
        *x = resultX;
    if (y)
        *y = resultY;
    return 0;
}

int TakeWheelRotation(int reset)
{
    const int rotation = systemState.wheelRotation;
    if (reset)
        systemState.wheelRotation = 0;
    return rotation;
}

// ---------------------------------------------------------------- any input

int CheckAnyInput(int devices)
{
    int result = 0;
    if (!ReadMayProceed(&result))
        return result;

    if (devices & 1) {
        RefreshKeyTable();
        for (int code = 0; code < 256; ++code) {
            // Lock and input-mode keys do not count as a press.
            if (code == 58 || code == 112 || code == 148)
                continue;
            if (KeyDown(code))
                return code;
        }
        if (input.f10Held)
            return 68;
        for (int pad = 1; pad <= input.joypadCount; ++pad)
            if (PadPressed(pad))
                return -1;
    }
    if (devices & 4) {
        int x = -1, y = -1;
        if (ReadMousePosition(&x, &y) == 0) {
            const ScreenRect& client = systemState.clientRectOnScreen;
            if (x >= 0 && y >= 0 && systemState.active && x <= client.right - client.left &&
                y <= client.bottom - client.top && ReadMouseButtons() != 0)
                return -1;
        }
    }
    return 0;
}

// ---------------------------------------------------------------- devices

// Without DirectInput there are no devices to acquire again and no pad
// effects to run.
int ReacquireInput()
{
    return 0;
}

int ServiceJoypadEffects()
{
    return 0;
}

int RefreshJoypadEffects()
{
    return 0;
}

void SetF10Held(int held)
{
    input.f10Held = held != 0;
}

}  // namespace media
