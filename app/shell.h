// The program's start, frame loop and end: the media layer configured and
// started, the per-frame key and mouse counters, the current screen, the
// 30-millisecond pacing, the frame-rate figure and the presentation.
#pragma once

#include <cstdint>

// A session's seed: the start seeds the program's rand with it instead of
// the current time, so that a session replays a battle of korvanta-battle.
void SetSessionSeed(uint32_t seed);

// The whole program: 0 after a normal end, -1 when the window mode or the
// media layer's start fails.
int WinMain();

// Counts, per key, the consecutive frames it has been down.
void CountHeldKeys();

// Reads the mouse position and the button counters; -1 when the position
// cannot be read.
int UpdateMouse();

// The media calls the frame loop makes around each frame, in one table so
// that a test can record the waits, set the clock and make a call fail. The
// program keeps the media layer's own functions, installed here.
struct FrameLoopCalls {
    int (*pump)();
    int (*clear)(const int* rect);
    int (*readMousePosition)(int* x, int* y);
    int32_t (*now)();
    void (*sleep)(uint32_t milliseconds);
};
extern FrameLoopCalls frameLoopCalls;

// Runs frames until Escape, a closed window, or a failing clear or mouse
// read; none when the first pump already says the program must end.
void RunFrameLoop();

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
