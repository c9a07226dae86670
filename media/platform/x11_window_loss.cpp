#include "media/platform/x11_window_loss.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>

#include <algorithm>

namespace media::platform::x11 {

namespace {

using ErrorHandler = int (*)(Display*, XErrorEvent*);
using SetErrorHandler = ErrorHandler (*)(ErrorHandler);
using IoErrorHandler = int (*)(Display*);
using SetIoErrorHandler = IoErrorHandler (*)(IoErrorHandler);
using GetWindowAttributes = int (*)(Display*, Window, XWindowAttributes*);
using PutBackEvent = int (*)(Display*, XEvent*);
using Sync = int (*)(Display*, int);

struct TrackedWindow {
    Window id = 0;
    uint32_t sdlId = 0;
};

struct LossState {
    bool installed = false;
    ErrorHandler previous = nullptr;
    IoErrorHandler previousIo = nullptr;
    GetWindowAttributes getWindowAttributes = nullptr;
    PutBackEvent putBackEvent = nullptr;
    Sync sync = nullptr;
    Display* display = nullptr;
    bool displayLost = false;
    std::vector<TrackedWindow> windows;
    // X ids of windows destroyed under us: every later error naming one is
    // the echo of a request SDL still makes on it.
    std::vector<Window> gone;
    std::vector<uint32_t> lost;
};

// Never destroyed: errors may still come while the process's exit handlers run.
LossState& State()
{
    static LossState& state = *new LossState;
    return state;
}

bool Gone(Window id)
{
    const LossState& s = State();
    return std::find(s.gone.begin(), s.gone.end(), id) != s.gone.end();
}

void NoteGone(Window id)
{
    LossState& s = State();
    if (Gone(id))
        return;
    const auto tracked =
        std::find_if(s.windows.begin(), s.windows.end(), [id](const TrackedWindow& w) { return w.id == id; });
    if (tracked == s.windows.end())
        return;
    s.gone.push_back(id);
    s.lost.push_back(tracked->sdlId);
}

// Runs inside Xlib: no requests, no allocation beyond the small lists.
int OnError(Display* display, XErrorEvent* error)
{
    const Window id = Window(error->resourceid);
    if ((error->error_code == BadWindow || error->error_code == BadDrawable) && !Gone(id))
        NoteGone(id);
    if (Gone(id))
        return 0;
    return State().previous ? State().previous(display, error) : 0;
}

int OnIoError(Display* display)
{
    State().displayLost = true;
    return State().previousIo ? State().previousIo(display) : 0;
}

Window XWindowOf(SDL_Window* window, Display** display = nullptr)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return 0;
    if (display)
        *display = info.info.x11.display;
    return info.info.x11.window;
}

bool Tracked(Window id)
{
    const LossState& s = State();
    return std::any_of(s.windows.begin(), s.windows.end(), [id](const TrackedWindow& w) { return w.id == id; });
}

}  // namespace

void WatchWindowLoss()
{
    LossState& s = State();
    if (!s.installed) {
        // The libX11 that SDL loaded; nothing is linked for it.
        void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
        if (!library)
            return;
        const auto set = reinterpret_cast<SetErrorHandler>(dlsym(library, "XSetErrorHandler"));
        const auto setIo = reinterpret_cast<SetIoErrorHandler>(dlsym(library, "XSetIOErrorHandler"));
        s.getWindowAttributes = reinterpret_cast<GetWindowAttributes>(dlsym(library, "XGetWindowAttributes"));
        s.putBackEvent = reinterpret_cast<PutBackEvent>(dlsym(library, "XPutBackEvent"));
        s.sync = reinterpret_cast<Sync>(dlsym(library, "XSync"));
        if (!set || !setIo || !s.getWindowAttributes || !s.putBackEvent || !s.sync)
            return;
        s.previous = set(OnError);
        s.previousIo = setIo(OnIoError);
        s.installed = true;
    }
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

void TrackWindow(SDL_Window* window)
{
    LossState& s = State();
    if (!s.installed)
        return;
    Display* display = nullptr;
    const Window id = XWindowOf(window, &display);
    if (id == 0)
        return;
    s.display = display;
    s.windows.push_back({id, SDL_GetWindowID(window)});
}

void BeforeDestroy(SDL_Window* window)
{
    LossState& s = State();
    Display* display = nullptr;
    const Window id = XWindowOf(window, &display);
    if (!s.installed || s.displayLost || id == 0 || !Tracked(id))
        return;
    XWindowAttributes attributes;
    if (!Gone(id) && !s.getWindowAttributes(display, id, &attributes))
        NoteGone(id);  // the error handler has noted it already
    if (!Gone(id))
        return;
    XEvent unmapped{};
    unmapped.xunmap.type = UnmapNotify;
    unmapped.xunmap.display = display;
    unmapped.xunmap.event = id;
    unmapped.xunmap.window = id;
    s.putBackEvent(display, &unmapped);
}

void Settle()
{
    LossState& s = State();
    if (s.installed && !s.displayLost && s.display)
        s.sync(s.display, 0);
    s.display = nullptr;
}

void ForgetWindow(uint32_t sdlId)
{
    LossState& s = State();
    std::erase_if(s.windows, [sdlId](const TrackedWindow& w) { return w.sdlId == sdlId; });
    std::erase(s.lost, sdlId);
}

void HandleSystemEvent(const SDL_Event& event)
{
    const SDL_SysWMmsg* message = event.syswm.msg;
    if (message && message->subsystem == SDL_SYSWM_X11 && message->msg.x11.event.type == DestroyNotify)
        NoteGone(message->msg.x11.event.xdestroywindow.window);
}

bool DisplayLost()
{
    return State().displayLost;
}

std::vector<uint32_t> TakeLostWindows()
{
    std::vector<uint32_t> lost;
    lost.swap(State().lost);
    return lost;
}

}  // namespace media::platform::x11
