// The screen on the hardware path: a framebuffer object in the drawable row
// of the screen's depth (GL_RGB565 at 16 bits, GL_RGBA8 at 32, where the
// device renders to them) with the depth buffer attached, which both screen
// targets draw into; in full screen, the sub back buffer the front-screen
// timer makes; presenting copies the screen into the window and swaps.
// Nothing draws into the window's own framebuffer, whose contents GL does not
// keep across a swap.
#pragma once

#include <GL/glcorearb.h>

namespace media {

// Makes the screen's framebuffer for the screen in force, cleared to the
// background colour. False when it cannot be made.
bool CreateGlScreen();
void ReleaseGlScreen();
// The framebuffer the screen targets draw into: the sub back buffer when it
// exists, else the screen's.
GLuint GlScreenFramebuffer();
// The front-screen timer in full screen: the sub back buffer is made once,
// filled from the screen and made the screen targets' framebuffer. False
// when it cannot be made.
bool CreateGlSubBackBuffer();
bool GlSubBackBufferExists();
// PresentScreen on the hardware path: the screen into the window's client
// area (stretched as the window's size rates or the 320 x 240 emulation
// want), then the swap. repaint: a window repaint (no vertical-blank wait).
// Every present first asks the context whether it was reset (one call, where
// the context reports resets). 0, or -1 when the screen cannot be shown: the
// device is lost, from that present until it is made again.
int PresentGlScreen(bool repaint = false);

// The window procedure's trial present on activation in window mode: on the
// hardware path the screen is shown again, which asks the context whether it
// was reset. True when the device is lost and must be restored; always false
// on the software path.
bool TrialPresentFails();

// True once a present found the device lost, until it is made again: the
// pump then restores it without waiting for an activation (a reset comes
// with none here).
bool GlDeviceLossSeen();

}  // namespace media
