// The shell's per-frame globals: the current screen, the held-frame counters
// of keys and mouse buttons, the mouse position and the values made once at
// start-up. The shell writes them once per frame; the screens read them.
#pragma once

#include <cstdint>

// Values of ScreenState.
constexpr int32_t BattleScreen = 1;
constexpr int32_t PreparationScreen = 2;

// Key codes the screens read (keyboard scan-code numbering).
constexpr int KeyEscape = 1;
constexpr int KeyR = 19;
constexpr int KeyB = 48;
constexpr int KeyN = 49;

extern int32_t ScreenState;
extern int32_t KeyPressCounter[256];     // consecutive frames the key has been down; 0 while up
extern int32_t MouseButtonCounter[8];    // the same per mouse button bit
extern int32_t mouseX;
extern int32_t mouseY;
extern uint32_t whiteColor;              // ColorValue of white, made once after start-up
extern int32_t buttonImages[2];          // ImageHandle: [0] released, [1] pressed button
extern int32_t battleTurn;               // the battle's turn counter
extern int32_t lastFrameTime;            // clock at the end of the previous frame's wait
