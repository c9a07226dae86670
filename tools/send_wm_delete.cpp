// send_wm_delete WINDOW-ID: asks an X window to close the way a window
// manager's close button does, with a WM_DELETE_WINDOW client message
// (xdotool's windowclose destroys the window instead).
//
// Xlib is loaded at run time, so the tool needs no link-time X library.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

struct Xlib {
    Display* (*openDisplay)(const char*);
    Atom (*internAtom)(Display*, const char*, Bool);
    Status (*sendEvent)(Display*, Window, Bool, long, XEvent*);
    int (*flush)(Display*);
    int (*closeDisplay)(Display*);
};

template <typename Function>
bool Load(void* library, const char* name, Function* function)
{
    *function = reinterpret_cast<Function>(dlsym(library, name));
    return *function != nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: send_wm_delete WINDOW-ID (decimal or 0x hexadecimal)\n");
        return argc == 2 ? 0 : 2;
    }
    char* end = nullptr;
    const unsigned long window = std::strtoul(argv[1], &end, 0);
    if (end == argv[1] || *end != '\0' || window == 0) {
        std::fprintf(stderr, "send_wm_delete: bad window id '%s'\n", argv[1]);
        return 2;
    }

    void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "send_wm_delete: cannot load libX11: %s\n", dlerror());
        return 1;
    }
    Xlib x{};
    if (!Load(library, "XOpenDisplay", &x.openDisplay) || !Load(library, "XInternAtom", &x.internAtom) ||
        !Load(library, "XSendEvent", &x.sendEvent) || !Load(library, "XFlush", &x.flush) ||
        !Load(library, "XCloseDisplay", &x.closeDisplay)) {
        std::fprintf(stderr, "send_wm_delete: libX11 lacks a function\n");
        return 1;
    }

    Display* display = x.openDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "send_wm_delete: cannot open the display\n");
        return 1;
    }
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = x.internAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(x.internAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = x.sendEvent(display, window, False, NoEventMask, &event);
    x.flush(display);
    x.closeDisplay(display);
    dlclose(library);
    if (!sent) {
        std::fprintf(stderr, "send_wm_delete: the event could not be sent\n");
        return 1;
    }
    return 0;
}
