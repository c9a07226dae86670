// The program's start, frame loop and end: the media layer configured and
// started, the per-frame key and mouse counters, the current screen, the
// 30-millisecond pacing, the frame-rate figure and the presentation.
#pragma once

#include <cstdint>

// The parts of the program that other modules bring; an empty entry is
// skipped, so the shell runs before they exist.
struct ShellHooks {
    void (*loadButtonImages)() = nullptr;      // fills buttonImages at start
    void (*runPreparationScreen)() = nullptr;  // the screen of ScreenState 2
    int (*runBattleFrame)() = nullptr;         // the screen of ScreenState 1; 1 once the battle is over
    // Draws the frame-rate figure ("%.1fFPS" at 0, 0 and "%dms" at 0, 20).
    void (*drawFrameRateText)(double framesPerSecond, int32_t averageMilliseconds) = nullptr;
};
extern ShellHooks shellHooks;

// The whole program: 0 after a normal end, -1 when the window mode or the
// media layer's start fails.
int WinMain();

// Reads the mouse position and the button counters; -1 when the position
// cannot be read.
int UpdateMouse();

// Measures the frame just ended and draws the average of the last 60 frames.
void DrawFrameRate();

// The frame-rate figure's state.
struct FrameRateState {
    int32_t frameTimes[60] = {};
    int32_t frameSlot = 0;
    int32_t lastOverlayTime = 0;
    int32_t averageFrameTime = 0;
};
extern FrameRateState frameRate;
