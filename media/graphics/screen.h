// The screen: mode, draw target and draw area, clearing, presentation with
// the vertical-blank wait, and the graphics start and end.
#pragma once

#include <cstdint>

namespace media {

constexpr int ScreenBack = -2;
constexpr int ScreenFront = -4;
constexpr uintptr_t FrontScreenTimerId = 32767;

int SetScreenMode(int width, int height, int depth, int refresh);
int StartGraphics();
int EndGraphics();
int ChangeScreenMode(int width, int height, int depth, int force, int refresh);
void RestoreGraphics();
int SetDrawTarget(int target);
int SetDrawRegion(int left, int top, int right, int bottom);
int ClearDrawTarget(const int* rect);  // rect: left, top, right, bottom, or null
int PresentScreen();
uint64_t NowMicroseconds(int useTimeStamp);
int SetWaitVSync(int flag);
void MeasureRefreshPeriod();
void WaitVerticalBlank();

// Called by the window procedure: one tick of the front-screen timer, and the
// paint of the window from the back screen.
void OnFrontScreenTimer();
void PaintFromBackScreen();

// The requested screen size and depth (defaults substituted once started).
int ScreenWidth();
int ScreenHeight();
int ScreenDepth();
bool GraphicsStarted();
int CurrentDrawTarget();

}  // namespace media
