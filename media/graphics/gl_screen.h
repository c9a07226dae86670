// The screen on the hardware path: presenting the screen's pixels through the
// GL context to the main window (the texture the frame is copied into, its
// vertices, the blit and the swap).
#pragma once

namespace media {

// Makes the presentation's GL objects for the screen in force. False when
// they cannot be made.
bool CreateGlScreen();
void ReleaseGlScreen();
// PresentScreen on the hardware path: the screen into the window's client
// area (stretched as the window's size rates or the 320 x 240 emulation
// want), then the swap. 0, or -1 when the screen cannot be shown.
int PresentGlScreen();

// The window procedure's trial present on activation in window mode: on the
// hardware path the screen is shown again and the context asked whether it
// was reset (or a loss simulated for tests is taken). True when the device
// is lost and must be restored; always false on the software path.
bool TrialPresentFails();

}  // namespace media
