// Keyboard and mouse, read once a frame after PumpWindowMessages.
//
// Keys are numbered by their key code (the KeyXxx constants); a key pressed
// and let go between two pumps still reads as down in the next one.
#pragma once

#include <cstdint>

namespace korvanta {

enum KeyCode : int {
    KeyEscape = 1, Key1 = 2, Key2 = 3, Key3 = 4, Key4 = 5, Key5 = 6, Key6 = 7, Key7 = 8, Key8 = 9, Key9 = 10, Key0 = 11,
    KeyBackspace = 14, KeyTab = 15,
    KeyQ = 16, KeyW = 17, KeyE = 18, KeyR = 19, KeyT = 20, KeyY = 21, KeyU = 22, KeyI = 23, KeyO = 24, KeyP = 25,
    KeyEnter = 28, KeyLeftControl = 29,
    KeyA = 30, KeyS = 31, KeyD = 32, KeyF = 33, KeyG = 34, KeyH = 35, KeyJ = 36, KeyK = 37, KeyL = 38,
    KeyLeftShift = 42,
    KeyZ = 44, KeyX = 45, KeyC = 46, KeyV = 47, KeyB = 48, KeyN = 49, KeyM = 50,
    KeyRightShift = 54, KeyLeftAlt = 56, KeySpace = 57,
    KeyUp = 200, KeyLeft = 203, KeyRight = 205, KeyDown = 208,
};

// Mouse button bits of ReadMouseButtons.
constexpr int MouseLeft = 1, MouseRight = 2, MouseMiddle = 4;

int ReadKeyState(int keyCode);         // 1 while the key is down
int ReadKeyStates(uint8_t states[256]);  // every key at once, indexed by key code
int ReadMouseButtons();
int ReadMousePosition(int* x, int* y);   // screen coordinates
int TakeWheelRotation(int reset);        // notches since the last reset
// What is held down among the devices: 1 keys and joypads, 4 mouse buttons
// inside the window (7 all). A key's code, -1 for a pad or mouse button, 0
// for nothing.
int CheckAnyInput(int devices);

}  // namespace korvanta
