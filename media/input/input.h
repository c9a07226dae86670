// Keyboard and mouse: the 256-entry key table in DirectInput key codes, the
// mouse buttons, position and wheel, and the any-input test.
#pragma once

#include <cstdint>

namespace media {

int InitInput();
int EndInput();
int RefreshKeyTable();
int ReadKeyStates(uint8_t states[256]);
int ReadKeyState(int keyCode);
int ReadMouseButtons();
int ReadMousePosition(int* x, int* y);
int TakeWheelRotation(int reset);
int CheckAnyInput(int devices);
int ReacquireInput();
int ServiceJoypadEffects();
int RefreshJoypadEffects();
void SetF10Held(int held);  // the window procedure's private message

}  // namespace media
