// OpenGL through SDL: whether windows are made GL-capable, the GL library,
// one context on the main window, its functions, swaps and the swap interval.
//
// Loading the GL library costs tens of milliseconds of processor time and
// tens of megabytes (Mesa with LLVM), even when the context then turns out to
// be a software rasteriser. So windows are made GL-capable only when asked
// to: always (forced), never, or when the machine shows a GPU device node.
// Only the SDL backend has GL; the headless backend never does.
#pragma once

#include <string>

#include "media/platform/platform.h"

namespace media::platform::gl {

enum class WindowPolicy {
    Never,      // no GL: the library is not even loaded
    IfGpu,      // GL-capable windows when a GPU device node exists (the default)
    Always,     // always try (forced hardware path, tests, benchmarks)
};
void SetWindowPolicy(WindowPolicy policy);
WindowPolicy CurrentWindowPolicy();

// True when /dev has a GPU device node (DRM card or render node, NVIDIA
// device), the X server (when the display is X11) offers direct rendering,
// and the environment does not ask Mesa for software rendering.
bool MachineHasGpu();

enum class LibraryState { NotTried, Loaded, Failed };
// What became of the GL library when the last window was made.
LibraryState CurrentLibraryState();
// True when the window was made GL-capable.
bool WindowIsGlCapable(WindowHandle window);

// Called by the SDL backend: the extra SDL window flags for a new window
// (loads the library the first time the policy asks for it), and the window
// once made or when it goes.
unsigned NewWindowFlags();
void RegisterWindow(WindowHandle window, void* sdlWindow, bool glCapable);
void ForgetWindow(WindowHandle window);
// Called when the SDL backend closes: contexts and the library go with it.
void CloseAll();

struct ContextRequest {
    bool core33 = false;  // a 3.3 core context; else an old-style one
    bool robust = false;  // robust access with reset notification
};
// Makes the one context on the window and makes it current. False with the
// reason in *error.
bool CreateContext(WindowHandle window, const ContextRequest& request, std::string* error);
void DeleteContext();
bool HasContext();
// The address of a GL function of the current context, or null.
void* ProcAddress(const char* name);
// Shows the back buffer of the context's window.
void Swap();
// 0 immediate, 1 one vertical blank. False when the driver refuses.
bool SetSwapInterval(int interval);
// The size of the window's drawable in pixels.
void DrawableSize(int* width, int* height);

// Tests: the next reset-status query reports a lost context, once.
void SimulateContextLoss();
// True (once) after SimulateContextLoss.
bool TakeSimulatedLoss();

}  // namespace media::platform::gl
