// The main window: settings made before start-up, the window step of
// start-up, its styles, its window procedure and its end.
#pragma once

#include <cstdint>

namespace media {

int ChangeWindowMode(int windowed);
int SetWindowTitle(const char* title);
// The windowed client size as multiples of the screen size: the window,
// the presented picture (stretched, nearest) and the divisor of mouse
// positions. Only before InitMediaLibrary; writes nothing to the log.
// 0, or -1 (nothing changed) once started or for a rate not above 0.
int SetWindowSizeRate(double rateX, double rateY);
int StartWindow();
void EndWindow();
int FitWindowToScreen();
int ApplyMainWindowStyle();  // behind the ground's ApplyWindowStyle
void ForceForeground(uintptr_t window, int topmost);
int SetMouseCursorVisible(int flag);
intptr_t MainWindowProc(uintptr_t window, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace media
