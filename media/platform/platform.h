// The platform layer: the operating-system services the media layer relies
// on, in the shape it expects them (a message queue with a window procedure,
// a keyboard state table, window classes found by name, clocks, timers,
// desktop queries, bitmap presentation and the vertical blank).
//
// Two backends sit behind it: "sdl" (a real window through SDL2) and
// "headless" (a virtual desktop driven by a script, every presented frame kept
// in memory). The media layer above never talks to SDL directly.
//
// All functions run on the thread that selected the backend unless said
// otherwise. Texts are Shift-JIS, as everywhere in the media layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace media::platform {

// ---------------------------------------------------------------- clocks
// (POSIX; usable before any backend is selected)

uint32_t TimeGetTime();                 // milliseconds on the monotonic clock, wrapping at 2^32
int64_t QueryPerformanceCounter();      // monotonic ticks
int64_t QueryPerformanceFrequency();    // ticks per second (nonzero)
void Sleep(uint32_t milliseconds);      // 0 yields the processor
uint64_t CurrentThreadId();
uint32_t TimerPeriodMin();              // smallest timer period, milliseconds (1)
// Adds a fixed amount to TimeGetTime, so that tests can put the millisecond
// clock just before one of its wraps. 0 in normal runs.
void SetMillisecondClockOffset(uint32_t offset);

// ---------------------------------------------------------------- text

// Converts Shift-JIS text to UTF-8 for the world outside (window titles,
// terminals); a byte that is no Shift-JIS character becomes '?'.
std::string ShiftJisToUtf8(const std::string& text);
// UTF-8 text as CP932; false when a character has no Shift-JIS form.
bool Utf8ToShiftJis(const std::string& text, std::string* out);

// ---------------------------------------------------------------- backends

enum class Backend { None, Sdl, Headless };

struct HeadlessOptions {
    std::string scriptPath;   // input script; empty = no input at all
    std::string desktopId;    // names the virtual desktop for window-class lookups across processes
    double refreshRateHz = 60.0;  // the display's rate; a fast one spares fuzzing the blank waits
};

// Opens the SDL backend. Fails (false, reason in *error) when no display is
// reachable (SDL would pick its offscreen driver).
bool SelectSdlBackend(std::string* error);
bool SelectHeadlessBackend(const HeadlessOptions& options, std::string* error);
Backend CurrentBackend();
// Closes the backend (windows, SDL); the next Select may open another.
void CloseBackend();

// ---------------------------------------------------------------- messages

using WindowHandle = uintptr_t;                       // 0 = none
constexpr WindowHandle ThreadOnly = ~WindowHandle(0);  // PeekMessage filter: messages tied to no window

enum : uint32_t {
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,  // sent by CreateWindowEx; a result of -1 fails the creation
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_ACTIVATEAPP = 0x001C,
    WM_SETCURSOR = 0x0020,
    WM_DISPLAYCHANGE = 0x007E,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_SYSCOMMAND = 0x0112,
    WM_TIMER = 0x0113,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
    WM_MOUSEWHEEL = 0x020A,
    WM_MOVING = 0x0216,
    WM_F10_PRIVATE = 0x046F,
};

// wParam values.
enum : uintptr_t {
    WA_INACTIVE = 0,
    WA_ACTIVE = 1,
    SIZE_RESTORED = 0,
    SIZE_MINIMIZED = 1,
    SIZE_MAXIMIZED = 2,
    SC_CLOSE = 0xF060,
    SC_SCREENSAVE = 0xF140,
    SC_MONITORPOWER = 0xF170,
};

// Key flags in the wParam of mouse messages.
enum : uintptr_t {
    MK_LBUTTON = 0x0001,
    MK_RBUTTON = 0x0002,
    MK_SHIFT = 0x0004,
    MK_CONTROL = 0x0008,
    MK_MBUTTON = 0x0010,
};

// Window styles.
enum : uint32_t {
    WS_POPUP = 0x80000000u,
    WS_VISIBLE = 0x10000000u,
    WS_CAPTION = 0x00C00000u,
    WS_SYSMENU = 0x00080000u,
    WS_MINIMIZEBOX = 0x00020000u,
    WS_EX_TOPMOST = 0x00000008u,
    WS_EX_WINDOWEDGE = 0x00000100u,
    WS_EX_CLIENTEDGE = 0x00000200u,
};

// ShowWindow commands.
enum : int { SW_HIDE = 0, SW_SHOW = 5, SW_MINIMIZE = 6 };

// SetWindowPos insert-after values and flags.
constexpr WindowHandle HWND_TOP = 0;
constexpr WindowHandle HWND_TOPMOST = ~WindowHandle(0);       // -1
constexpr WindowHandle HWND_NOTOPMOST = ~WindowHandle(0) - 1;  // -2
enum : uint32_t {
    SWP_NOSIZE = 0x0001,
    SWP_NOMOVE = 0x0002,
    SWP_NOZORDER = 0x0004,
    SWP_NOACTIVATE = 0x0010,
    SWP_SHOWWINDOW = 0x0040,
};

struct Message {
    WindowHandle window = 0;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    uint32_t time = 0;
};

using WindowProc = intptr_t (*)(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Takes the next message. window: 0 = any message of the thread, ThreadOnly =
// only messages tied to no window, else only that window's messages. The
// backend's own events (SDL) are turned into messages here. When a message is
// removed, the keyboard state follows it. A mouse move from the backend
// replaces one still waiting at the tail of the queue for the same window.
bool PeekMessage(Message* message, WindowHandle window, bool remove);
// Posts WM_CHAR for a key-down message that makes a character.
bool TranslateMessage(const Message& message);
// Calls the window procedure of the message's window; WM_TIMER of a window
// goes to its procedure too. Messages of no window are not dispatched.
intptr_t DispatchMessage(const Message& message);
// Calls the window procedure at once.
intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void PostQuitMessage(int exitCode);
// Default handling: WM_CLOSE destroys the window, WM_SYSCOMMAND SC_CLOSE posts
// WM_CLOSE; everything else returns 0.
intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// ---------------------------------------------------------------- keyboard and mouse

// 256 virtual-key bytes, bit 7 = down, as of the last message removed from
// the queue. Mouse buttons are virtual keys 1 (left), 2 (right) and 4 (middle).
bool GetKeyboardState(uint8_t states[256]);
// The keys and buttons pressed since the presses were last cleared, bit 7
// per virtual key (the generic modifier beside the sided one): every key-down
// message removed without lParam's repeat bit 30, and every button-down
// message. A press whose release was removed too has left the keyboard state
// already; it stays here until ClearKeyPresses. (Ours, not the other
// system's: the key table reads taps through it.)
void GetKeyPresses(uint8_t presses[256]);
void ClearKeyPresses();
// Cursor position in screen (desktop) coordinates: where the latest mouse
// event put it, however many messages still wait (a mouse message posted with
// PostMessage places it when it is removed).
bool GetCursorPos(int32_t* x, int32_t* y);
// Adds 1 (show) or -1 (hide) to the cursor display count and returns the new
// count; the cursor shows over the window while the count is 0 or more.
int ShowCursor(bool show);
// Shows the arrow (true) or no cursor (false) until the next mouse message.
void SetCursor(bool arrow);

// ---------------------------------------------------------------- windows

struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct WindowClass {
    std::string name;      // Shift-JIS
    WindowProc procedure = nullptr;
    uint32_t style = 0;
};

// Registers a class; fails when the name is taken in this process.
bool RegisterClass(const WindowClass& windowClass);
bool UnregisterClass(const char* name);
// True when a window of that class exists, in this process or in another
// process on the same desktop (X display, or the headless desktop id) of the
// same user. A window's claim on its class name ends with the window, or with
// its process however that ends.
bool FindWindow(const char* className);
// FindWindow, and when it finds none, the class name claimed at once for this
// process's next window of the class, so that a second program making the
// same check a moment later finds this one although its window does not
// exist yet (checking and creating apart would let two programs started
// together both pass). The claim passes to that window; while no window of
// the class is made, it lasts until UnregisterClass or the process's end.
bool FindWindowOrClaim(const char* className);

// Creates a window whose client area is (x, y, width, height) after
// AdjustWindowRectEx is undone: x, y, width and height are the outer window's,
// as on the other system. Returns 0 on failure.
WindowHandle CreateWindowEx(uint32_t exStyle, const char* className, const char* title, uint32_t style,
                            int32_t x, int32_t y, int32_t width, int32_t height);
// Sends WM_DESTROY to the procedure, then destroys the window.
bool DestroyWindow(WindowHandle window);
bool IsWindow(WindowHandle window);
bool ShowWindow(WindowHandle window, int command);
// Sends WM_PAINT when part of the client area needs painting.
bool UpdateWindow(WindowHandle window);
bool InvalidateWindow(WindowHandle window);
bool MoveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height, bool repaint);
bool SetWindowPos(WindowHandle window, WindowHandle insertAfter, int32_t x, int32_t y, int32_t width,
                  int32_t height, uint32_t flags);
bool SetWindowStyle(WindowHandle window, uint32_t style);
bool SetWindowExStyle(WindowHandle window, uint32_t exStyle);
bool SetWindowText(WindowHandle window, const char* title);
bool GetClientRect(WindowHandle window, Rect* rect);       // left = top = 0
bool GetWindowRect(WindowHandle window, Rect* rect);       // screen coordinates
bool ClientToScreen(WindowHandle window, int32_t* x, int32_t* y);
// Grows a client rectangle into the window rectangle for a style (frame and
// caption as the backend draws them; the headless desktop uses fixed sizes).
bool AdjustWindowRectEx(Rect* rect, uint32_t style, uint32_t exStyle);
bool BringWindowToTop(WindowHandle window);
bool SetForegroundWindow(WindowHandle window);
bool SetActiveWindow(WindowHandle window);
// While the returned region is being painted (between BeginPaint and EndPaint)
// the window counts as validated.
bool BeginPaint(WindowHandle window, Rect* dirty);
void EndPaint(WindowHandle window);
// Fills part of the client area with black (the stock black brush).
void FillClientBlack(WindowHandle window, const Rect& rect);

// Screen saver and input method.
bool SetScreenSaverActive(bool active);
bool EnableInputMethod(WindowHandle window, bool enable);

// Timers: WM_TIMER with wParam = id is posted to the window every period.
bool SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMilliseconds);
bool KillTimer(WindowHandle window, uintptr_t id);

// ---------------------------------------------------------------- desktop and display

struct DisplayMode {
    int32_t width = 0, height = 0, bitsPerPixel = 0, refreshHz = 0;
};

int32_t DesktopWidth();
int32_t DesktopHeight();
// Bytes per pixel x 8: a depth-24 X screen with 4-byte pixels is 32; only a
// packed 3-byte format is 24.
int32_t DesktopBitsPerPixel();
// The part of the desktop windows may use (without panels and docks); false
// when there is no backend or it cannot say.
bool DesktopUsableSize(int32_t* width, int32_t* height);
std::vector<DisplayMode> DisplayModes();
// Switches the display mode (full screen); null puts the desktop mode back.
bool ChangeDisplayMode(const DisplayMode* mode);
int32_t OemCodePage();  // 932
// Joypads: game controllers and joysticks, counted and read by index (0
// first). A direction is the direction pad, a hat, or a stick (an axis past
// half its range).
struct JoypadState {
    uint32_t buttons = 0;  // bit n: button n down
    bool left = false, right = false, up = false, down = false;
    bool Any() const { return buttons != 0 || left || right || up || down; }
};
int32_t JoystickCount();
// False (and a released state) when there is no such pad.
bool ReadJoypad(int32_t index, JoypadState* state);

// ---------------------------------------------------------------- presentation

struct BitmapDescription {
    int32_t width = 0, height = 0;   // top-down rows
    int32_t bitsPerPixel = 0;        // 16 (R5G6B5) or 32 (X8R8G8B8)
    int32_t pitch = 0;               // bytes per row
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
};

// Copies (source size = destination size) or stretches a bitmap into the
// window's client area. Returns false when the window cannot be drawn to.
bool PresentBitmap(WindowHandle window, const void* pixels, const BitmapDescription& bitmap, const Rect& source,
                   const Rect& destination);
// A presented frame whose bitmap, rectangles and pixels are those of the
// window's last PresentBitmap: counted as a frame, nothing copied. False,
// doing nothing, when anything else has touched the client area since (a
// repaint, a fill, a resize, an exposure, a restore, a display-mode change):
// then PresentBitmap it.
bool PresentSameFrame(WindowHandle window);
// The same for a repaint of what the window shows (WM_PAINT): shown alike,
// but it is no new frame (the headless desktop does not count it).
bool RepaintBitmap(WindowHandle window, const void* pixels, const BitmapDescription& bitmap, const Rect& source,
                   const Rect& destination);

// ---------------------------------------------------------------- vertical blank

// The display's refresh rate from the backend; 60 when unknown.
double RefreshRateHz();
// Blocks until the next vertical blank: a blank falls at every refresh period
// on the monotonic clock; the wait sleeps to that absolute deadline.
void WaitForVerticalBlank();

}  // namespace media::platform
