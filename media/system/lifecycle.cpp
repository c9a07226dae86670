// Start-up and shutdown of the media layer, the message pump, the call lock,
// the millisecond clock, waiting for a key and the fatal exit.
#include "media/system/lifecycle.h"

#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "media/font/font.h"
#include "media/graphics/gl_screen.h"
#include "media/graphics/graphics_hooks.h"
#include "media/graphics/screen.h"
#include "media/image/image_load.h"
#include "media/input/input.h"
#include "media/log/log.h"
#include "media/platform/file.h"
#include "media/platform/platform.h"
#include "media/core/memory.h"
#include "media/core/system_state.h"
#include "media/system/window.h"

namespace media {

namespace {

// ---------------------------------------------------------------- pump state

bool textInputServiceRunning = false;
int pumpServicesDepth = 0;

// Services that have no counterpart here (sound streaming, network, movies,
// text input) keep their places in the pump as empty steps.
void RunSoundStreamingService() {}
void RunNetworkService() {}
void RunMovieService() {}
void RunTextInputService() {}

// Takes the next waiting message the way the pump asks for them: any
// message of the thread, else one tied to no window, else one of the main
// window.
bool TakeNextMessage(platform::Message* message)
{
    if (platform::PeekMessage(message, 0, false) && platform::PeekMessage(message, 0, true))
        return true;
    if (platform::PeekMessage(message, platform::ThreadOnly, true))
        return true;
    return systemState.mainWindow != 0 && platform::PeekMessage(message, systemState.mainWindow, true);
}

uint16_t LowWord(uintptr_t value)
{
    return uint16_t(value & 0xFFFF);
}

// Steps 2 to 4 of the shutdown: every part in its order, the wait for the
// window's end, the log directory back as current directory and the list of
// blocks still allocated.
void ShutDownParts()
{
    EndGraphics();
    EndInput();
    EndWindow();
    if (systemState.comInitialised) {
        LogAdd("ＣＯＭを終了... 完了\n");
        systemState.comInitialised = 0;
    }

    systemState.initialised = 0;
    // With no window left there is nothing to wait for.
    while (systemState.mainWindow != 0 && ProcessWindowMessages() == 0 && !systemState.quitRequested &&
           !systemState.windowDestroyed) {
    }

    FileSetCurrentDirectory(systemState.logDirectory);
    LogMemoryDump();
}

// Step 2 of the start: a full-screen request of a size no display mode has
// runs in a window instead.
void FallBackToWindowWhenNoModeFits()
{
    if (systemState.windowed != 0)
        return;
    int width = ScreenWidth() > 0 ? ScreenWidth() : 640;
    int height = ScreenHeight() > 0 ? ScreenHeight() : 480;
    // 320 x 240 is shown doubled on a 640 x 480 mode, unless the hardware
    // path was refused.
    if (width == 320 && height == 240 && !displaySettings.softwareOnly)
        return;
    for (const platform::DisplayMode& mode : platform::DisplayModes()) {
        if (mode.width == width && mode.height == height)
            return;
    }
    ChangeWindowMode(1);
}

int FailStart()
{
    ShutDownParts();
    systemState.initialising = 0;
    UnlockLibrary();
    return -1;
}

}  // namespace

// ---------------------------------------------------------------- system state

void ResetSystemStateForStart()
{
    const SystemState saved = systemState;
    systemState = SystemState{};

    systemState.windowed = saved.windowed;
    std::memcpy(systemState.windowTitle, saved.windowTitle, sizeof saved.windowTitle);
    std::memcpy(systemState.windowClassName, saved.windowClassName, sizeof saved.windowClassName);
    systemState.mainWindow = saved.mainWindow;
    std::memcpy(systemState.logDirectory, saved.logDirectory, sizeof saved.logDirectory);
    std::memcpy(systemState.logFileName, saved.logFileName, sizeof saved.logFileName);
    systemState.logStartTime = saved.logStartTime;
    systemState.OsVersionCode = saved.OsVersionCode;
    systemState.hasTimeStampCounter = saved.hasTimeStampCounter;
    systemState.cpuCyclesPerSecond = saved.cpuCyclesPerSecond;
    systemState.hasMmx = saved.hasMmx;
    systemState.characterSet = saved.characterSet;
    systemState.codePage = saved.codePage;
    systemState.windowSizeRateX = saved.windowSizeRateX;
    systemState.windowSizeRateY = saved.windowSizeRateY;
    systemState.initialising = saved.initialising;
    systemState.comInitialised = saved.comInitialised;
}

// ---------------------------------------------------------------- start and end

int InitMediaLibrary()
{
    if (systemState.initialised)
        return 0;
    LockLibrary();
    if (systemState.initialised) {
        UnlockLibrary();
        return 0;
    }
    systemState.initialising = 1;

    FallBackToWindowWhenNoModeFits();

    // Movie tables and archive files have no counterpart here; plain files
    // are the file layer's own.

    systemState.logDirectory[0] = '\0';
    char directory[sizeof systemState.logDirectory];
    uint32_t length = FileGetCurrentDirectory(directory, sizeof directory);
    if (length > 0 && length < sizeof directory)
        std::memcpy(systemState.logDirectory, directory, length + 1);
    LogStart();

    const bool desktopIs24Bit = platform::DesktopBitsPerPixel() == 24;
    if ((desktopIs24Bit && systemState.windowed == 1) || ScreenDepth() == 24) {
        LogAdd("Ｖｅｘｉｌは２４ビットカラーモードに対応していません\n");
        systemState.initialising = 0;
        UnlockLibrary();
        return -1;
    }

    systemState.performanceFrequency = platform::QueryPerformanceFrequency();
    systemState.usePerformanceCounter = systemState.performanceFrequency != 0 ? 1 : 0;

    LogSystemInfo();

    // Stream access for image loading is the file layer's; the default
    // restore handler refills images from their files.
    ReloadImagesHook = ReloadImageFiles;

    if (!systemState.comInitialised) {
        // There is no component system to start here: it always succeeds.
        LogAdd("ＣＯＭの初期化... ");
        LogAdd("成功しました\n");
        systemState.comInitialised = 1;
    }

    if (StartWindow() == -1)
        return FailStart();
    if (InitInput() == -1)
        return FailStart();
    // Sound: nothing to start.
    InstallFontHooks();
    if (StartGraphics() < 0)
        return FailStart();

    LogAdd("文字コードバッファの初期化を行います... ");
    LogAdd("完了しました\n");

    systemState.initialised = 1;

    if (!systemState.windowed)
        ForceForeground(systemState.mainWindow, 1);

    SetDrawTarget(ScreenBack);
    SetDrawTarget(ScreenFront);

    systemState.initialising = 0;
    UnlockLibrary();
    return 0;
}

int EndMediaLibrary()
{
    if (!systemState.initialised)
        return 0;
    LockLibrary();
    if (systemState.initialised)
        ShutDownParts();
    UnlockLibrary();
    DestroyCallLock();
    return 0;
}

void (*AbortMediaLibraryHook)(const char* text) = nullptr;

namespace {

[[noreturn]] void AbortEverything(const char* text)
{
    LogAdd(text);
    LogAdd("\n");
    if (systemState.initialised)
        ShutDownParts();
    DestroyCallLock();
    std::fflush(nullptr);
    if (AbortMediaLibraryHook)
        AbortMediaLibraryHook(text);
    // Leave at once: static destructors must not run behind a broken layer.
    std::_Exit(-1);
}

// ---------------------------------------------------------------- message pump

bool ServicesRunning()
{
    return pumpServicesDepth > 0;
}

int ProcessMessages()
{
    if (textInputServiceRunning)
        return 0;
    if (systemState.mainWindow == 0)
        return systemState.quitRequested ? -1 : 0;

    constexpr int BatchSize = 5;
    int taken = 0;
    bool endedBatch = false;
    for (;;) {
        // While inactive with no close request under way the caller is held here.
        if (systemState.active || systemState.closePosted) {
            if (endedBatch || systemState.quitRequested)
                break;
        }
        endedBatch = true;
        if (!systemState.active)
            platform::Sleep(1);

        bool leave = false;
        platform::Message message;
        while (TakeNextMessage(&message)) {
            if (message.message == platform::WM_ACTIVATEAPP && systemState.windowed)
                systemState.active = LowWord(message.wParam);
            if (systemState.quitRequested) {
                leave = true;
                break;
            }
            if (message.message == platform::WM_QUIT)
                systemState.quitRequested = 1;
            platform::TranslateMessage(message);
            platform::DispatchMessage(message);
            if (++taken >= BatchSize) {
                endedBatch = true;
                break;
            }
            endedBatch = false;
        }
        if (leave)
            break;

        if (!systemState.active) {
            RunNetworkService();
            RunMovieService();
            platform::Sleep(1);
        }
        if (systemState.quitRequested || platform::CurrentThreadId() != systemState.mainThreadId)
            break;
    }

    // A reset of the GL context comes with no deactivation here, so the
    // activation's restore would wait for the user to switch away and back:
    // a present that found the device lost has the pump restore it. The
    // restore ends input; the refresh below then samples nothing, and the
    // presses wait for the next one.
    static bool restoring = false;
    if (GlDeviceLossSeen() && !restoring && systemState.initialised && !systemState.quitRequested &&
        platform::CurrentThreadId() == systemState.mainThreadId) {
        restoring = true;
        RestoreGraphics();
        restoring = false;
    }

    ++pumpServicesDepth;
    RunSoundStreamingService();
    RefreshKeyTable();
    ServiceJoypadEffects();
    RunNetworkService();
    --pumpServicesDepth;

    textInputServiceRunning = true;
    RunTextInputService();
    textInputServiceRunning = false;

    return systemState.quitRequested ? -1 : 0;
}

void HoldWhileInactive()
{
    // Without a window there is no activation to wait for.
    if (systemState.active || systemState.paintInProgress || systemState.mainWindow == 0)
        return;
    while (!systemState.active && ProcessMessages() == 0) {
    }
}

// The lower floors reach the pump, the wait and the fatal exit through the
// ground's roof calls; these are the handlers behind them.
const bool roofInstalled = (InstallRoofHandlers({ProcessMessages, HoldWhileInactive, ServicesRunning,
                                                 ApplyMainWindowStyle, AbortEverything}),
                            true);

}  // namespace

int PumpWindowMessages()
{
    LockLibrary();
    int result = ProcessWindowMessages();
    UnlockLibrary();
    return result;
}

// ---------------------------------------------------------------- small services

int NowMilliseconds()
{
    return int(platform::TimeGetTime() & 0x7FFFFFFFu);
}

int WaitAnyKey()
{
    constexpr int AllDevices = 7;
    if (PumpWindowMessages() == 0) {
        // First everything held at the call must be let go.
        while (CheckAnyInput(AllDevices) != 0) {
            platform::Sleep(1);
            if (PumpWindowMessages() != 0)
                break;
        }
    }
    if (PumpWindowMessages() != 0)
        return 0;
    for (;;) {
        int input = CheckAnyInput(AllDevices);
        if (input != 0)
            return input;
        platform::Sleep(1);
        if (PumpWindowMessages() != 0)
            return 0;
    }
}

}  // namespace media
