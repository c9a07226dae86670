// The screen: mode, draw target and draw area, clearing, presentation with
// the vertical-blank wait, and the graphics start and end.
#pragma once

#include <cstdint>

#include "media/graphics/draw_geometry.h"
#include "media/graphics/mem_image.h"

namespace media {

constexpr int ScreenBack = -2;
constexpr int ScreenFront = -4;
constexpr uintptr_t FrontScreenTimerId = 32767;

int SetScreenMode(int width, int height, int depth, int refresh);
int StartGraphics();
int EndGraphics();
int ChangeScreenMode(int width, int height, int depth, int force, int refresh);
void RestoreGraphics();
// The main window is going, and the GL context with it: every GL object is
// released first (nothing on the software path). EndGraphics follows later.
void ReleaseDeviceBeforeWindowGoes();
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
// Shows the back screen again for a window repaint: dirty = left, top,
// right, bottom of the client area to repaint (null = all); no vertical-blank
// wait, and no new frame.
void PaintFromBackScreen(const int* dirty = nullptr);

// The requested screen size and depth (defaults substituted once started).
int ScreenWidth();  // 0 until set; the screen's width once started
int ScreenHeight();
int ScreenDepth();
bool GraphicsStarted();
int CurrentDrawTarget();

// Clipping rectangle of the draw target; right and bottom exclusive.
struct DrawArea {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The screen's settings and status, one per process.
struct DisplaySettings {
    int width = 0, height = 0;  // 0 = unset: 640 x 480 at start
    int depth = 0;              // 8, 16 or 32; 0 = unset: 16 at start
    int refresh = 0;            // Hz; 0 = any
    bool emulate320x240 = false;  // a 320 x 240 full-screen request shown on 640 x 480
    bool softwareOnly = false;
    bool hardwarePath = false;  // the GL device is in use
    bool started = false;
    int64_t refreshPeriod = -1;  // microseconds between vertical blanks; -1 = unknown
    uint64_t lastBlankTime = 0;  // NowMicroseconds right after the last vertical-blank wait
    bool waitVSync = true;
    bool presentOnVSync = false;
    int background[3] = {0, 0, 0};  // red, green, blue of ClearDrawTarget
    int drawTarget = 0;
    DrawArea drawArea;
    bool drawAreaEmpty = false;
    bool displayModeSwitched = false;  // full screen: the desktop mode is put back at EndGraphics
};
extern DisplaySettings displaySettings;

// The pixel words of a draw target (a screen target or a drawable image) as
// it holds them now: the screen format's words (R5G6B5 in the low 16 bits,
// or X8R8G8B8 with the none bits set); images in their own format. The
// rectangle (x, y, width, height) must lie inside the target; words has
// width x height entries, row by row. Pending primitives are drawn first.
// False when the target cannot be read. For tests and tools.
bool ReadTargetWords(int target, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t* words);

// The software screen; null while the graphics are down.
MEMIMG* ScreenImage();
// The pixels of the current draw target and its draw area (kept inside the
// target). False when nothing can be drawn: graphics down or the target image
// gone. An empty draw area comes back with left == right or top == bottom.
// The whole draw area counts as drawn on the screen (see NoteScreenDrawn)
// unless noteArea is false: the caller then notes every box it writes.
bool CurrentDrawSurface(PixelRegion* target, DrawArea* area, bool noteArea = true);
// Every write into the memory screen's pixels is noted with the box it may
// touch (target coordinates): the presentation compares only those boxes to
// find a still screen. Targets other than the screen are ignored.
void NoteScreenDrawn(const PixelRegion& target, const Box& box);
// The draw area of the current target kept inside it, on either path (the
// hardware path's targets have no pixels in memory). False when nothing can
// be drawn; an empty area comes back with left == right or top == bottom.
bool CurrentTargetArea(DrawArea* area);

}  // namespace media
