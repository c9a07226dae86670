// The platform side of the graphics: the vertical-blank source, the attempt
// at a device path and the full-screen display-mode switch.
#pragma once

namespace media {

// -1 when the graphics cannot start; else 0, with displaySettings.hardwarePath
// telling whether the device path (GL) was made.
int SetupGraphicsDevice();
// Releases what SetupGraphicsDevice made (the screen MEMIMG is not its own).
void ReleaseGraphicsDevice();
// Full screen only: switches the display to the screen's mode. 0 or -1.
int ChangeDisplayMode();
// True once the vertical-blank source exists.
bool VerticalBlankReady();

}  // namespace media
