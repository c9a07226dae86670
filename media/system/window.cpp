// The main window: the window step of start-up, its windowed and full-screen
// styles, its window procedure and its end, and the settings made before
// start-up (title, window mode, cursor).
#include "media/system/window.h"

#include <cstdio>
#include <cstring>

#include "media/graphics/gl_device.h"
#include "media/graphics/gl_screen.h"
#include "media/graphics/screen.h"
#include "media/input/input.h"
#include "media/log/log.h"
#include "media/platform/platform.h"
#include "media/system/lifecycle.h"
#include "media/core/system_state.h"

namespace media {

namespace {

using platform::Rect;

constexpr uint32_t WindowedStyle =
    platform::WS_POPUP | platform::WS_CAPTION | platform::WS_SYSMENU | platform::WS_MINIMIZEBOX;  // 0x80CA0000
constexpr uint32_t WindowedExStyle = platform::WS_EX_WINDOWEDGE | platform::WS_EX_CLIENTEDGE;       // 0x300
constexpr uint32_t FullScreenStyle = platform::WS_POPUP;
constexpr uint32_t FullScreenExStyle = platform::WS_EX_TOPMOST;
constexpr uint32_t ClassStyleRedrawOnResize = 0x0001 | 0x0002;  // CS_VREDRAW | CS_HREDRAW

uint16_t LowWord(uintptr_t value)
{
    return uint16_t(value & 0xFFFF);
}
uint16_t HighWord(uintptr_t value)
{
    return uint16_t((value >> 16) & 0xFFFF);
}

double SizeRate(double rate)
{
    return rate > 0.0 ? rate : 1.0;
}

// The screen size asked for; before the graphics start an unset size is the
// default 640 x 480.
void RequestedScreenSize(int* width, int* height)
{
    *width = ScreenWidth() > 0 ? ScreenWidth() : 640;
    *height = ScreenHeight() > 0 ? ScreenHeight() : 480;
    // Full screen shows 320 x 240 doubled on a 640 x 480 mode: the window
    // made before the graphics start must already cover that mode.
    if (!systemState.windowed && *width == 320 && *height == 240) {
        *width = 640;
        *height = 480;
    }
}

// The client size the window should have: the screen size times the rates.
void WantedClientSize(int* width, int* height)
{
    int screenWidth = 0, screenHeight = 0;
    RequestedScreenSize(&screenWidth, &screenHeight);
    *width = int(screenWidth * SizeRate(systemState.windowSizeRateX));
    *height = int(screenHeight * SizeRate(systemState.windowSizeRateY));
}

uint32_t CurrentWindowedStyle()
{
    return WindowedStyle | (systemState.windowModeChanged ? platform::WS_VISIBLE : 0u);
}

// The outer rectangle of a window with the wanted client size, centred on
// the desktop.
Rect CentredWindowRect()
{
    int clientWidth = 0, clientHeight = 0;
    WantedClientSize(&clientWidth, &clientHeight);
    Rect rect{0, 0, clientWidth, clientHeight};
    platform::AdjustWindowRectEx(&rect, CurrentWindowedStyle(), WindowedExStyle);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int left = rect.left + (systemState.desktopWidth - width) / 2;
    const int top = rect.top + (systemState.desktopHeight - height) / 2;
    return Rect{left, top, left + width, top + height};
}

void ReadClientRectOnScreen()
{
    Rect client;
    if (!platform::GetClientRect(systemState.mainWindow, &client))
        return;
    int32_t left = client.left, top = client.top, right = client.right, bottom = client.bottom;
    platform::ClientToScreen(systemState.mainWindow, &left, &top);
    platform::ClientToScreen(systemState.mainWindow, &right, &bottom);
    systemState.clientRectOnScreen = ScreenRect{left, top, right, bottom};
}

// Physical memory in bytes from /proc/meminfo; false when it cannot be read.
bool ReadPhysicalMemory(uint64_t* total, uint64_t* available)
{
    FILE* file = std::fopen("/proc/meminfo", "r");
    if (!file)
        return false;
    char line[256];
    bool haveTotal = false, haveAvailable = false;
    while (std::fgets(line, sizeof line, file)) {
        unsigned long long kilobytes = 0;
        if (std::sscanf(line, "MemTotal: %llu kB", &kilobytes) == 1) {
            *total = uint64_t(kilobytes) * 1024u;
            haveTotal = true;
        } else if (std::sscanf(line, "MemAvailable: %llu kB", &kilobytes) == 1) {
            *available = uint64_t(kilobytes) * 1024u;
            haveAvailable = true;
        }
    }
    std::fclose(file);
    return haveTotal && haveAvailable;
}

void ReportMemory()
{
    uint64_t total = 0, available = 0;
    ReadPhysicalMemory(&total, &available);
    const double availableMegabytes = double(available) / 1048576.0;
    LogPrintfLine("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", double(total) / 1048576.0, availableMegabytes);
    // The debugger alone gets the free amount once more.
    if (LogEchoEnabled())
        std::fprintf(stderr, "%.2fMB\n", availableMegabytes);
}

// Picks the microsecond clock's source by counting how often each clock
// changes while the two are sampled side by side.
void ChooseMicrosecondClock()
{
    LogAdd("タイマーの精度を検査します\n");
    int multimediaCount = 0, counterCount = 0;
    const uint32_t start = platform::TimeGetTime();
    uint32_t lastMilliseconds = start;
    int64_t lastCounter = platform::QueryPerformanceCounter();
    while (multimediaCount < 60 && counterCount < 60) {
        const uint32_t milliseconds = platform::TimeGetTime();
        const int64_t counter = platform::QueryPerformanceCounter();
        if (milliseconds != lastMilliseconds) {
            ++multimediaCount;
            lastMilliseconds = milliseconds;
        }
        if (counter != lastCounter) {
            ++counterCount;
            lastCounter = counter;
        }
        if (milliseconds - start >= 1000)
            break;
        if (ProcessWindowMessages() != 0)
            break;
    }
    LogPrintfLine("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d", multimediaCount,
                  counterCount);
    LogAdd(" ");
    if (multimediaCount > counterCount) {
        LogPrintfLine("マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms ", systemState.timerPeriodMin);
        systemState.usePerformanceCounter = 0;
    } else {
        LogPrintfLine("パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz ",
                      double(systemState.performanceFrequency) / 1000.0);
    }
    LogAdd(" ");
}

void DeriveCharacterSet()
{
    if (systemState.characterSet != 0)
        return;
    switch (platform::OemCodePage()) {
    case 949:
        systemState.characterSet = CharsetHangul;
        systemState.codePage = 949;
        break;
    case 950:
        systemState.characterSet = CharsetBig5;
        systemState.codePage = 950;
        break;
    case 936:
        systemState.characterSet = CharsetGb2312;
        systemState.codePage = 936;
        break;
    case 932:
        systemState.characterSet = CharsetShiftJis;
        systemState.codePage = 932;
        break;
    default:
        systemState.characterSet = CharsetShiftJis;
        systemState.codePage = 0;
        break;
    }
}

void CopyText(char* destination, size_t size, const char* text)
{
    std::snprintf(destination, size, "%s", text ? text : "");
}

int CreateMainWindow()
{
    uint32_t style = 0, exStyle = 0;
    Rect rect;
    if (systemState.windowed) {
        LogAdd("ウインドウモード起動用のウインドウを作成します\n");
        systemState.cursorSetting = 1;
        style = CurrentWindowedStyle();
        exStyle = WindowedExStyle;
        rect = CentredWindowRect();
    } else {
        LogAdd("フルスクリーンモード用のウインドウを作成します\n");
        systemState.cursorSetting = 0;
        style = FullScreenStyle;
        exStyle = FullScreenExStyle;
        int width = 0, height = 0;
        RequestedScreenSize(&width, &height);
        rect = Rect{0, 0, width, height};
    }
    PrepareGraphicsWindow();
    platform::WindowHandle window =
        platform::CreateWindowEx(exStyle, systemState.windowClassName, systemState.windowTitle, style, rect.left,
                                 rect.top, rect.right - rect.left, rect.bottom - rect.top);
    if (window == 0) {
        // Let a later start register the class again.
        platform::UnregisterClass(systemState.windowClassName);
        systemState.quitRequested = 1;
        return LogAdd("ウインドウの作成に失敗しました\n");
    }
    systemState.mainWindow = window;
    LogAdd("ウインドウの作成に成功しました\n");
    return 0;
}

void HideCursorWhileUnwanted()
{
    if (systemState.cursorShown)
        return;
    platform::SetCursor(false);
    while (platform::ShowCursor(false) >= 0) {
    }
}

// Activation changes, from WM_ACTIVATE and from another program becoming
// active (WM_ACTIVATEAPP with 0).
void HandleActivation(uintptr_t wParam)
{
    const bool becomingActive = LowWord(wParam) != 0;
    systemState.active = becomingActive ? 1 : 0;
    if (systemState.creatingWindow)
        return;
    if (becomingActive) {
        // Windowed, a trial present tells whether the hardware device was
        // lost; full screen, the screen is rebuilt unless minimised.
        if (systemState.windowed ? TrialPresentFails()
                                 : systemState.initialised && HighWord(wParam) == 0)
            RestoreGraphics();
        ReacquireInput();
    } else {
        // Full screen gives the desktop its mode back, on either path.
        if (!systemState.windowed) {
            platform::ChangeDisplayMode(nullptr);
            platform::ShowWindow(systemState.mainWindow, platform::SW_MINIMIZE);
        }
        ReacquireInput();
    }
    RefreshJoypadEffects();
}

void HandlePaint(platform::WindowHandle window)
{
    systemState.paintInProgress = 1;
    Rect dirty;
    platform::BeginPaint(window, &dirty);
    if (systemState.windowed) {
        if (!systemState.initialised)
            platform::FillClientBlack(window, dirty);
        else if (CurrentDrawTarget() == ScreenBack) {
            const int area[4] = {dirty.left, dirty.top, dirty.right, dirty.bottom};
            PaintFromBackScreen(area);
        }
    }
    platform::EndPaint(window);
    systemState.paintInProgress = 0;
}

void HandleMove(intptr_t lParam)
{
    if (!systemState.windowed || systemState.changingMode)
        return;
    const int16_t x = int16_t(uintptr_t(lParam) & 0xFFFF);
    const int16_t y = int16_t((uintptr_t(lParam) >> 16) & 0xFFFF);
    ScreenRect& rect = systemState.clientRectOnScreen;
    const int32_t width = rect.right - rect.left;
    const int32_t height = rect.bottom - rect.top;
    rect = ScreenRect{x, y, x + width, y + height};
    if (GraphicsStarted()) {
        const DrawArea& area = displaySettings.drawArea;
        SetDrawRegion(area.left, area.top, area.right, area.bottom);
    }
}

void HandleDisplayChange(uintptr_t wParam, intptr_t lParam)
{
    if (systemState.windowed && !systemState.changingMode) {
        const int newDepth = int(wParam);
        const int newWidth = LowWord(uintptr_t(lParam));
        const int newHeight = HighWord(uintptr_t(lParam));
        const int depth = ScreenDepth();
        const int width = ScreenWidth();
        const int height = ScreenHeight();
        const bool differs = newDepth != depth || newWidth != width || newHeight != height;
        const bool unbearable = newDepth == 24 || (newDepth == 8 && depth != 8) || newWidth < width ||
                                newHeight < height;
        if (differs && unbearable) {
            LogAdd("復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\n");
            LogAdd("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n");
            if (!systemState.closePosted) {
                systemState.closePosted = 1;
                platform::PostMessage(systemState.mainWindow, platform::WM_CLOSE, 0, 0);
            }
            return;
        }
        // An acceptable change: movies would resume here.
    }
    // Set in every mode, so that a window-mode switch waiting for it ends.
    systemState.modeChangeDone = 1;
}

bool fitting = false;

}  // namespace

// ---------------------------------------------------------------- settings

int ChangeWindowMode(int windowed)
{
    LogAdd("ChangeWindowMode実行 \n");
    const int wanted = windowed != 0 ? 1 : 0;
    if (wanted == systemState.windowed)
        return 0;
    systemState.windowModeChanged = 1;
    systemState.modeChangeDone = 0;
    systemState.windowed = wanted;
    LogAdd(wanted ? "ウインドウモードフラグが立てられました\n" : "ウインドウモードフラグが倒されました\n");
    if (systemState.mainWindow == 0)
        return 0;

    systemState.changingMode = 1;
    ApplyMainWindowStyle();
    const int result = ChangeScreenMode(-1, -1, -1, 1, -1);
    // A switch that changes no display mode brings no display-change
    // message: do not wait for one for ever.
    const uint32_t start = platform::TimeGetTime();
    while (ProcessWindowMessages() == 0 && !systemState.modeChangeDone &&
           platform::TimeGetTime() - start < 2000) {
        platform::Sleep(1);
    }
    systemState.changingMode = 0;
    return result;
}

int SetWindowTitle(const char* title)
{
    CopyText(systemState.windowTitle, sizeof systemState.windowTitle, title);
    if (systemState.mainWindow != 0)
        platform::SetWindowText(systemState.mainWindow, systemState.windowTitle);
    return 0;
}

int SetWindowSizeRate(double rateX, double rateY)
{
    // The window, the presentation and the mouse all read the rates; after
    // start-up they would disagree with the window already made.
    if (systemState.initialised || systemState.initialising || !(rateX > 0.0) || !(rateY > 0.0))
        return -1;
    systemState.windowSizeRateX = rateX;
    systemState.windowSizeRateY = rateY;
    return 0;
}

int SetMouseCursorVisible(int flag)
{
    if (flag != -1)
        systemState.cursorSetting = flag;
    const int wanted = systemState.cursorSetting == 1 ? 1 : 0;
    if (flag == -1 || wanted != systemState.cursorShown) {
        if (wanted) {
            while (platform::ShowCursor(true) < 0) {
            }
        } else {
            while (platform::ShowCursor(false) >= 0) {
            }
        }
        if (systemState.mainWindow != 0)
            platform::PostMessage(systemState.mainWindow, platform::WM_SETCURSOR, 0, 0);
        systemState.cursorShown = wanted;
    }
    return 0;
}

// ---------------------------------------------------------------- the window step

int StartWindow()
{
    ResetSystemStateForStart();

    if (systemState.windowClassName[0] == '\0')
        CopyText(systemState.windowClassName, sizeof systemState.windowClassName,
                 systemState.windowTitle[0] ? systemState.windowTitle : "D123987X");

    // There are no module handles here; the field stays 0.
    systemState.moduleHandle = 0;
    systemState.mainThreadId = platform::CurrentThreadId();

    ReportMemory();

    systemState.desktopWidth = platform::DesktopWidth();
    systemState.desktopHeight = platform::DesktopHeight();
    systemState.desktopColorBits = platform::DesktopBitsPerPixel();

    systemState.performanceFrequency = platform::QueryPerformanceFrequency();
    systemState.usePerformanceCounter = systemState.performanceFrequency != 0 ? 1 : 0;
    systemState.timerPeriodMin = int32_t(platform::TimerPeriodMin());

    if (systemState.usePerformanceCounter)
        ChooseMicrosecondClock();

    // The media layer's own random numbers are not used by this program.

    platform::SetScreenSaverActive(false);

    DeriveCharacterSet();

    LogAdd("ソフトの二重起動検査... ");
    // The check claims the name when it passes: two copies started together
    // cannot both pass it before either has its window.
    if (platform::FindWindowOrClaim(systemState.windowClassName)) {
        systemState.quitRequested = 1;
        return LogAdd("二重起動されています、ソフトを終了します\n");
    }
    LogAdd("二重起動はされていませんでした\n");

    systemState.creatingWindow = 1;
    LogAdd("ウインドウクラスを登録します... ");
    platform::WindowClass windowClass;
    windowClass.name = systemState.windowClassName;
    windowClass.procedure = MainWindowProc;
    windowClass.style = ClassStyleRedrawOnResize;
    if (!platform::RegisterClass(windowClass)) {
        systemState.quitRequested = 1;
        return LogAdd("ウインドウクラスの登録に失敗しました\n");
    }
    LogAdd("登録に成功しました\n");

    if (systemState.windowTitle[0] == '\0')
        CopyText(systemState.windowTitle, sizeof systemState.windowTitle, "Vexil");

    if (CreateMainWindow() == -1)
        return -1;

    platform::ShowWindow(systemState.mainWindow, platform::SW_SHOW);
    platform::UpdateWindow(systemState.mainWindow);

    systemState.closePosted = 0;
    systemState.windowDestroyed = 0;
    systemState.active = 1;
    if (!systemState.windowed) {
        LogAdd("カーソルを不可視にしました\n");
        platform::SetCursor(false);
    }

    LogAdd("ＩＭＥを無効にしました\n");
    platform::EnableInputMethod(systemState.mainWindow, false);

    if (systemState.windowed)
        ReadClientRectOnScreen();

    SetMouseCursorVisible(systemState.windowed ? 1 : 0);

    platform::BringWindowToTop(systemState.mainWindow);
    FitWindowToScreen();
    systemState.creatingWindow = 0;
    return 0;
}

int FitWindowToScreen()
{
    // Size messages sent while the window is being created come before its
    // handle is known, and moving the window sends another size message.
    if (systemState.mainWindow == 0 || fitting)
        return 0;
    fitting = true;

    int wantedWidth = 0, wantedHeight = 0;
    WantedClientSize(&wantedWidth, &wantedHeight);
    Rect window, client;
    platform::GetWindowRect(systemState.mainWindow, &window);
    platform::GetClientRect(systemState.mainWindow, &client);
    const int clientWidth = client.right - client.left;
    const int clientHeight = client.bottom - client.top;
    ScreenRect& onScreen = systemState.clientRectOnScreen;
    onScreen.right = onScreen.left + clientWidth;
    onScreen.bottom = onScreen.top + clientHeight;
    const int frameWidth = (window.right - window.left) - clientWidth;
    const int frameHeight = (window.bottom - window.top) - clientHeight;
    platform::MoveWindow(systemState.mainWindow, window.left, window.top, wantedWidth + frameWidth,
                         wantedHeight + frameHeight, true);
    // The size message of that move came while this fit ran and was let go:
    // the stored rectangle takes the size the move gave.
    if (platform::GetClientRect(systemState.mainWindow, &client)) {
        onScreen.right = onScreen.left + (client.right - client.left);
        onScreen.bottom = onScreen.top + (client.bottom - client.top);
    }

    if (systemState.windowed && !systemState.windowModeChanged) {
        systemState.windowModeChanged = 1;
        ApplyMainWindowStyle();
    }
    fitting = false;
    return 0;
}

int ApplyMainWindowStyle()
{
    const platform::WindowHandle window = systemState.mainWindow;
    if (systemState.windowed) {
        LogAdd("ウインドウスタイルをウインドウモード用に変更します... ");
        platform::SetWindowExStyle(window, WindowedExStyle);
        platform::SetWindowStyle(window, CurrentWindowedStyle());
        Rect rect = CentredWindowRect();
        const int width = rect.right - rect.left;
        const int height = rect.bottom - rect.top;
        platform::SetWindowPos(window, platform::HWND_NOTOPMOST, rect.left, rect.top, width, height, 0);
        platform::SetWindowPos(window, platform::HWND_TOP, rect.left, rect.top, width, height,
                               platform::SWP_NOZORDER);
        ReadClientRectOnScreen();
        // A window larger than the desktop keeps its client area's corner on it.
        ScreenRect& client = systemState.clientRectOnScreen;
        const int shiftX = client.left < 0 ? -client.left : 0;
        const int shiftY = client.top < 0 ? -client.top : 0;
        if (shiftX != 0 || shiftY != 0) {
            rect.left += shiftX;
            rect.top += shiftY;
            client.left += shiftX;
            client.right += shiftX;
            client.top += shiftY;
            client.bottom += shiftY;
            platform::SetWindowPos(window, platform::HWND_TOP, rect.left, rect.top, width, height,
                                   platform::SWP_NOZORDER);
        }
        SetMouseCursorVisible(1);
        LogAdd("完了\n");
    } else {
        LogAdd("ウインドウスタイルをフルスクリーンモード用に変更します... ");
        platform::SetWindowExStyle(window, FullScreenExStyle);
        platform::SetWindowStyle(window, FullScreenStyle);
        int width = 0, height = 0;
        RequestedScreenSize(&width, &height);
        systemState.clientRectOnScreen = ScreenRect{0, 0, width, height};
        platform::ShowWindow(window, platform::SW_SHOW);
        platform::UpdateWindow(window);
        platform::SetWindowPos(window, platform::HWND_TOPMOST, 0, 0, width, height, platform::SWP_NOACTIVATE);
        SetMouseCursorVisible(0);
        LogAdd("完了\n");
    }
    platform::SetActiveWindow(window);
    platform::PostMessage(window, platform::WM_SETCURSOR, 0, 0);
    return 0;
}

void ForceForeground(uintptr_t window, int topmost)
{
    // No foreground lock to lift here: asking is enough.
    platform::SetForegroundWindow(window);
    if (topmost)
        platform::SetWindowPos(window, platform::HWND_TOPMOST, 0, 0, 0, 0,
                               platform::SWP_NOSIZE | platform::SWP_NOMOVE | platform::SWP_NOACTIVATE);
}

// ---------------------------------------------------------------- window procedure

intptr_t MainWindowProc(uintptr_t window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    using namespace platform;
    switch (message) {
    case WM_CLOSE:
        LogAdd("ウインドウを閉じようとしています\n");
        DestroyWindow(systemState.mainWindow != 0 ? systemState.mainWindow : window);
        return 0;
    case WM_DESTROY:
        LogAdd("ウインドウが破棄されようとしています\n");
        ReleaseDeviceBeforeWindowGoes();
        systemState.windowDestroyed = 1;
        PostQuitMessage(0);
        systemState.quitRequested = 1;
        LogAdd("ソフトを終了する準備が整いました\n");
        break;
    case WM_ACTIVATE:
        HandleActivation(wParam);
        break;
    case WM_ACTIVATEAPP:
        if (wParam == 0)
            HandleActivation(0);
        break;
    case WM_PAINT:
        HandlePaint(window);
        break;
    case WM_MOVE:
        HandleMove(lParam);
        break;
    case WM_SIZE:
        if (wParam != SIZE_MAXIMIZED)
            FitWindowToScreen();
        break;
    case WM_MOVING:
        if (!systemState.windowed && lParam != 0)
            GetWindowRect(window, reinterpret_cast<Rect*>(lParam));
        break;
    case WM_DISPLAYCHANGE:
        HandleDisplayChange(wParam, lParam);
        break;
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        HideCursorWhileUnwanted();
        break;
    case WM_MOUSEWHEEL:
        systemState.wheelRotation += int16_t(HighWord(wParam)) > 0 ? 1 : -1;
        break;
    case WM_F10_PRIVATE:
        SetF10Held(wParam == 1 ? 1 : 0);
        break;
    case WM_SYSCOMMAND:
        // Neither the screen saver nor monitor power-saving while the window runs.
        if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER)
            return 1;
        break;
    case WM_TIMER:
        if (wParam == FrontScreenTimerId) {
            OnFrontScreenTimer();
            return 0;
        }
        break;
    default:
        // Key and character messages feed a text input this program does
        // not use; input-method, MIDI and socket messages have no handlers.
        break;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

// ---------------------------------------------------------------- the end

void EndWindow()
{
    if (systemState.mainWindow == 0)
        return;
    const platform::WindowHandle window = systemState.mainWindow;
    platform::SetScreenSaverActive(true);
    platform::EnableInputMethod(window, true);

    systemState.cursorSetting = 1;
    if (systemState.cursorShown != 1) {
        while (platform::ShowCursor(true) < 0) {
        }
        platform::PostMessage(window, platform::WM_SETCURSOR, 0, 0);
        systemState.cursorShown = 1;
    }

    if (!systemState.closePosted) {
        systemState.closePosted = 1;
        platform::PostMessage(window, platform::WM_CLOSE, 0, 0);
    }
    while (ProcessWindowMessages() == 0 && !systemState.windowDestroyed) {
    }

    platform::UnregisterClass(systemState.windowClassName);
    // The timer period needs no ending here.
    systemState.mainWindow = 0;
}

}  // namespace media
