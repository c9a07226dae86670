// Calls the graphics make into modules that sit above it (fonts, image
// loading). Each is a plain function pointer that the owning module installs
// (InitMediaLibrary does it before StartGraphics); a null hook is skipped, so
// the graphics also run alone (tests, tools).
#pragma once

namespace media {

// StartGraphics, last step: bring up the text layer (default font).
extern int (*InitFontSystemHook)();
// EndGraphics, first step: delete every font handle.
extern int (*EndFontSystemHook)();
// ChangeScreenMode: remember the default font's settings before the graphics
// go down, and re-create the default font with them afterwards.
extern void (*SaveDefaultFontHook)();
extern void (*RestoreDefaultFontHook)();
// RestoreGraphics on a device path: re-create every font under its old handle.
extern int (*RecreateFontsHook)();
// RestoreGraphics on a device path: refill images whose pixels lived on the
// lost device (the restore handler; the image loader's ReloadImageFiles).
extern int (*ReloadImagesHook)();

}  // namespace media
