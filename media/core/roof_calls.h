// Calls that every floor may make but that only the roof (the lifecycle and
// the window procedure) can carry out: the message pump, the wait while the
// window is inactive, the window style and the fatal exit. The roof installs
// its handlers when it is linked in; without them (a floor tested alone) each
// call does the least that keeps its promise, as stated below.
//
// A call through these handlers runs the pump, and the pump may restore the
// graphics after an activation: every image, font record, glyph cache and
// texture may then be freed and made again, and input ended and started
// again. A caller holding a pointer into any of them looks it up again after
// the call (docs/ARCHITECTURE.md, "Hooks").
#pragma once

namespace media {

// Handles the window messages that are waiting, without taking the call lock.
// 0 while the program may go on, -1 once it must end. Alone: 0, or -1 after a
// quit request.
int ProcessWindowMessages();
// Holds the caller while the window is inactive, pumping. Alone: returns.
void WaitWhileInactive();
// True while the pump runs its per-pump services, so that they do not start a
// nested pump. Alone: false.
bool PumpServicesRunning();
// Sets the main window's style and size for the current mode. Alone: 0.
int ApplyWindowStyle();

// Writes text to the log, ends everything the library started and leaves the
// process with -1 at once. Alone: writes text to standard error and leaves.
[[noreturn]] void AbortMediaLibrary(const char* text);
[[noreturn]] void AbortMediaLibraryf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The roof's handlers. Each may be null.
struct RoofHandlers {
    int (*processWindowMessages)();
    void (*waitWhileInactive)();
    bool (*pumpServicesRunning)();
    int (*applyWindowStyle)();
    void (*abort)(const char* text);  // must not return
};
void InstallRoofHandlers(const RoofHandlers& handlers);

}  // namespace media
