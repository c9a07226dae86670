// The window and the screen: settings made before InitMediaLibrary, the draw
// target and its draw area, clearing and presenting a frame.
#pragma once

namespace korvanta {

// Before InitMediaLibrary.
int SetScreenMode(int width, int height, int depth, int refresh);  // depth 16 or 32; refresh 0 = any
int ChangeWindowMode(int windowed);      // 1 windowed, 0 full screen (the default)
int SetWindowTitle(const char* title);   // Shift-JIS
// The window N times the screen (nearest-neighbour stretch; the mouse is
// read at the same scale). 0, or -1 once started or for a rate not above 0.
int SetWindowSizeRate(double rateX, double rateY);

int SetMouseCursorVisible(int visible);

// Draw targets: the back screen (shown by PresentScreen), the front screen,
// or a drawable image (image.h).
constexpr int ScreenBack = -2;
constexpr int ScreenFront = -4;
int SetDrawTarget(int target);
// Clips drawing to a rectangle of the target; right and bottom exclusive.
int SetDrawRegion(int left, int top, int right, int bottom);
int ClearDrawTarget(const int* rect);  // rect: left, top, right, bottom, or null for the draw area
int PresentScreen();                   // shows the back screen, after the vertical blank when waiting for it
int SetWaitVSync(int wait);

int ScreenWidth();   // 0 until set; the screen's width once started
int ScreenHeight();
int ScreenDepth();

}  // namespace korvanta
