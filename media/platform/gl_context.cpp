#include "media/platform/gl_context.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string_view>

#include <dlfcn.h>
#include <link.h>
#include <glob.h>

namespace media::platform::gl {

namespace {

struct GlWindow {
    SDL_Window* window = nullptr;
    bool glCapable = false;
};

struct GlState {
    WindowPolicy policy = WindowPolicy::IfGpu;
    LibraryState library = LibraryState::NotTried;
    std::map<WindowHandle, GlWindow> windows;
    SDL_GLContext context = nullptr;
    SDL_Window* contextWindow = nullptr;
    bool simulatedLoss = false;
};

// Never destroyed: a process that exits with windows open (an X server gone
// away) lets them go from the platform's state destructor, which may run
// after this file's statics are gone.
GlState& State()
{
    static GlState& state = *new GlState;
    return state;
}

bool AnyPathMatches(const char* pattern)
{
    glob_t found{};
    const bool any = glob(pattern, 0, nullptr, &found) == 0 && found.gl_pathc > 0;
    globfree(&found);
    return any;
}

// On X11 a GPU is reachable only through a direct-rendering extension of
// the server (DRI3, DRI2, or NVIDIA's own); a server without them (Xvfb, a
// remote display) leaves Mesa its software rasteriser. libX11 is the one SDL
// loaded already; a connection of our own costs about a millisecond.
bool X11ServerRendersDirectly()
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return true;  // not X11: the device nodes decide
    void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return true;
    using OpenDisplay = void* (*)(const char*);
    using CloseDisplay = int (*)(void*);
    using QueryExtension = int (*)(void*, const char*, int*, int*, int*);
    auto open = reinterpret_cast<OpenDisplay>(dlsym(library, "XOpenDisplay"));
    auto close = reinterpret_cast<CloseDisplay>(dlsym(library, "XCloseDisplay"));
    auto query = reinterpret_cast<QueryExtension>(dlsym(library, "XQueryExtension"));
    bool direct = true;
    if (open && close && query) {
        if (void* connection = open(display)) {
            int opcode = 0, event = 0, error = 0;
            direct = false;
            for (const char* extension : {"DRI3", "DRI2", "NV-GLX"}) {
                if (query(connection, extension, &opcode, &event, &error))
                    direct = true;
            }
            close(connection);
        }
    }
    dlclose(library);
    return direct;
}

// Mesa's driver and LLVM stay mapped until the process ends once a context
// has loaded them: unloaded at the end, whatever they keep for themselves
// would show in leak reports without a module name, where no suppression
// for their own leaks can match it.
void KeepDriverModulesLoaded()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const std::string_view path = info->dlpi_name ? info->dlpi_name : "";
            for (const char* part : {"_dri.so", "libLLVM", "libglapi", "libgallium"}) {
                if (path.find(part) != std::string_view::npos) {
                    // RTLD_NOLOAD only marks the module already there.
                    dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
                    break;
                }
            }
            return 0;
        },
        nullptr);
}

}  // namespace

void SetWindowPolicy(WindowPolicy policy)
{
    State().policy = policy;
}

WindowPolicy CurrentWindowPolicy()
{
    return State().policy;
}

bool MachineHasGpu()
{
    const char* software = std::getenv("LIBGL_ALWAYS_SOFTWARE");
    if (software && *software && std::string_view(software) != "0" && std::string_view(software) != "false")
        return false;
    // KORVANTA_GL_DEVICE_NODES (tests) replaces the device-node pattern.
    const char* nodes = std::getenv("KORVANTA_GL_DEVICE_NODES");
    const bool deviceNode = nodes ? AnyPathMatches(nodes)
                                  : AnyPathMatches("/dev/dri/renderD*") || AnyPathMatches("/dev/dri/card*") ||
                                        AnyPathMatches("/dev/nvidia[0-9]*");
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool x11 = driver && std::string_view(driver) == "x11";
    return deviceNode && (!x11 || X11ServerRendersDirectly());
}

LibraryState CurrentLibraryState()
{
    return State().library;
}

bool WindowIsGlCapable(WindowHandle window)
{
    const auto found = State().windows.find(window);
    return found != State().windows.end() && found->second.glCapable;
}

unsigned NewWindowFlags()
{
    GlState& s = State();
    const bool wanted = s.policy == WindowPolicy::Always || (s.policy == WindowPolicy::IfGpu && MachineHasGpu());
    if (!wanted)
        return 0;
    if (s.library == LibraryState::NotTried)
        s.library = SDL_GL_LoadLibrary(nullptr) == 0 ? LibraryState::Loaded : LibraryState::Failed;
    return s.library == LibraryState::Loaded ? SDL_WINDOW_OPENGL : 0;
}

void RegisterWindow(WindowHandle window, void* sdlWindow, bool glCapable)
{
    State().windows[window] = GlWindow{static_cast<SDL_Window*>(sdlWindow), glCapable};
}

void ForgetWindow(WindowHandle window)
{
    GlState& s = State();
    const auto found = s.windows.find(window);
    if (found == s.windows.end())
        return;
    if (s.context && s.contextWindow == found->second.window)
        DeleteContext();
    s.windows.erase(found);
}

void CloseAll()
{
    GlState& s = State();
    DeleteContext();
    s.windows.clear();
    if (s.library == LibraryState::Loaded)
        SDL_GL_UnloadLibrary();
    s.library = LibraryState::NotTried;
}

bool CreateContext(WindowHandle window, const ContextRequest& request, std::string* error)
{
    GlState& s = State();
    DeleteContext();
    const auto found = s.windows.find(window);
    if (found == s.windows.end() || !found->second.glCapable) {
        *error = "the window is not GL-capable";
        return false;
    }
    SDL_GL_ResetAttributes();
    if (request.core33) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    }
    if (request.robust) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, SDL_GL_CONTEXT_ROBUST_ACCESS_FLAG);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_LOSE_CONTEXT);
    }
    // The screen lives in a framebuffer object with its own depth buffer; the
    // window's framebuffer only receives finished frames.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GLContext context = SDL_GL_CreateContext(found->second.window);
    SDL_GL_ResetAttributes();
    if (!context) {
        *error = SDL_GetError();
        return false;
    }
    s.context = context;
    s.contextWindow = found->second.window;
    KeepDriverModulesLoaded();
    return true;
}

void DeleteContext()
{
    GlState& s = State();
    if (!s.context)
        return;
    SDL_GL_MakeCurrent(s.contextWindow, nullptr);
    SDL_GL_DeleteContext(s.context);
    s.context = nullptr;
    s.contextWindow = nullptr;
}

bool HasContext()
{
    return State().context != nullptr;
}

void* ProcAddress(const char* name)
{
    return State().context ? SDL_GL_GetProcAddress(name) : nullptr;
}

void Swap()
{
    if (State().context)
        SDL_GL_SwapWindow(State().contextWindow);
}

bool SetSwapInterval(int interval)
{
    return State().context && SDL_GL_SetSwapInterval(interval) == 0;
}

void DrawableSize(int* width, int* height)
{
    *width = *height = 0;
    if (State().contextWindow)
        SDL_GL_GetDrawableSize(State().contextWindow, width, height);
}

void SimulateContextLoss()
{
    State().simulatedLoss = true;
}

bool TakeSimulatedLoss()
{
    const bool lost = State().simulatedLoss;
    State().simulatedLoss = false;
    return lost;
}

}  // namespace media::platform::gl
