// Starting and ending the media layer, the message pump and the clock.
//
// A program first chooses where its window goes (a display, or the headless
// desktop that a script drives), then sets the screen and window (screen.h),
// calls InitMediaLibrary, and calls PumpWindowMessages once a frame until it
// reports the end. EndMediaLibrary and CloseBackend undo the start.
//
// Every program built on the library writes Log.txt into its working folder
// from InitMediaLibrary on (log.h). Texts are Shift-JIS (code page 932).
#pragma once

#include <cstdint>
#include <string>

namespace korvanta {

// Opens a real display through SDL2 (X11 or Wayland). False, with the reason
// in *error, when no display can be reached.
bool SelectDisplayBackend(std::string* error);

// Opens the headless desktop: a virtual 1024 x 768 display whose keyboard,
// mouse and window events come from the script file (empty: no input), and
// whose frames are kept in memory (the script's "screenshot FILE.png"
// writes the last one). Programs on the same desktop id see each other's
// windows; empty takes $KORVANTA_HEADLESS_DESKTOP, else "0". False, with the
// reason in *error, for a script that cannot be read or understood.
bool SelectHeadlessBackend(const std::string& scriptPath, const std::string& desktopId, std::string* error);

// Closes the backend (after EndMediaLibrary); the next Select may open another.
void CloseBackend();

int InitMediaLibrary();    // 0, or -1 on failure (no backend, a second copy, no window)
int EndMediaLibrary();     // 0
int PumpWindowMessages();  // 0 while the program may go on, -1 once it must end (the window was closed)
int WaitAnyKey();          // waits for a key or button: the input, or 0 when the pump reported the end
int NowMilliseconds();     // the millisecond clock masked to 31 bits
void Sleep(uint32_t milliseconds);

}  // namespace korvanta
