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

}  // namespace media
