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
// Before SDL_DestroyWindow. SDL hides a window it destroys and waits for the
// server's word that it was unmapped, which never comes for a window that no
// longer exists: a window found gone here (one round trip) gets that word
// put in the queue beforehand.
void BeforeDestroy(SDL_Window* window);
// After SDL_DestroyWindow (SDL's window id): the window is no longer ours.
void ForgetWindow(uint32_t sdlWindowId);
// Before SDL closes the display: the errors of requests still unanswered
// (the destruction of a window that was gone) come while our handler is in
// place; SDL puts Xlib's default handler back before it closes.
void Settle();

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
