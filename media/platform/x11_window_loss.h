// Windows of ours that another program destroyed on X11.
//
// Any client may destroy any X window (xdotool windowclose, xkill -id, a
// window manager's "destroy"). Xlib's default error handler ends the process
// at the first request that names the window after that, with status 1 and
// none of the program's own shutdown. Here such errors are let pass, and the
// window is reported lost once, so that the backend can close it as the
// close button does.
#pragma once

#include <cstdint>
#include <vector>

union SDL_Event;
struct SDL_Window;

namespace media::platform::x11 {

// Installs the error handlers (once per process; errors about other
// resources, and the broken connection after DisplayLost is set, still go to
// the handlers they replace) and asks SDL for the raw window-system events.
// Call after SDL's video has started on X11.
void WatchWindowLoss();

void TrackWindow(SDL_Window* window);
// Before SDL_DestroyWindow: the window is ours to destroy now.
void ForgetWindow(SDL_Window* window);

// A raw window-system event (SDL_SYSWMEVENT): the destruction of a tracked
// window counts as its loss.
void HandleSystemEvent(const SDL_Event& event);

// SDL window ids of the tracked windows found lost since the last call.
std::vector<uint32_t> TakeLostWindows();

// True once the connection to the X server has broken. Xlib then ends the
// process (status 1); the windows let go by its exit handlers must not be
// handed to SDL, whose destruction would wait on the dead connection for ever.
bool DisplayLost();

}  // namespace media::platform::x11
