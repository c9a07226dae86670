// The media layer's start and end on the headless desktop: the log lines in
// their order, the switch to a window, the double start, the pump's batches,
// holding the caller while inactive, the close button, waiting for a key and
// the fatal exit.
#include <gtest/gtest.h>

#include <ctime>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "media_fixture.h"
#include "media/input/input.h"
#include "media/log/log.h"

namespace {

using testing_support::FirstMissingInOrder;
using testing_support::MediaLayerTest;
namespace platform = media::platform;

class SystemLifecycleTest : public MediaLayerTest {};

int IndexOfLine(const std::vector<std::string>& lines, const std::string& line)
{
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == line)
            return int(i);
    return -1;
}

TEST_F(SystemLifecycleTest, StartWritesItsStepsInOrder)
{
    Start();
    const auto lines = Lines();
    const std::vector<std::string> steps = {
        "システムの情報を出力します",
        "\tＶｅｘｉｌ Ver3.03",
        "\tＯＳ  ",
        "ＣＯＭの初期化... 成功しました",
        "メモリ総量:",
        "タイマーの精度を検査します",
        "精度結果 更新回数 マルチメディアタイマー：",
        "を使用します タイマー分解能 : ",
        " ソフトの二重起動検査... 二重起動はされていませんでした",
        "ウインドウクラスを登録します... 登録に成功しました",
        "ウインドウモード起動用のウインドウを作成します",
        "ウインドウの作成に成功しました",
        "ＩＭＥを無効にしました",
        // The DirectInput attempt is logged by the first start of a process
        // only (korvanta_headless_test checks it).
        "\tパッドの数は 0 個です",
        "入力関連の初期化をしました",
        "文字コードバッファの初期化を行います... 完了しました",
    };
    const int missing = FirstMissingInOrder(lines, steps);
    EXPECT_EQ(missing, -1) << "missing: " << steps[size_t(missing < 0 ? 0 : missing)] << "\n" << Log();

    // The first fit of the window applies the windowed style once.
    const int created = IndexOfLine(lines, "ウインドウの作成に成功しました");
    const int styled = IndexOfLine(lines, "ウインドウスタイルをウインドウモード用に変更します... 完了");
    ASSERT_GE(created, 0);
    EXPECT_GT(styled, created);

    // LogPrintfLine adds a line end to texts that have one: an empty line follows.
    const int pads = IndexOfLine(lines, "\tパッドの数は 0 個です");
    ASSERT_GE(pads, 0);
    EXPECT_EQ(lines[size_t(pads) + 1], "");
    // The window-mode switch happened before the log began: its lines are lost.
    EXPECT_EQ(Log().find("ChangeWindowMode"), std::string::npos);
    EXPECT_EQ(media::systemState.logIndent, 0);
    EXPECT_EQ(media::systemState.initialised, 1);
    EXPECT_EQ(media::systemState.initialising, 0);
    EXPECT_EQ(media::systemState.characterSet, media::CharsetShiftJis);
    EXPECT_EQ(media::systemState.codePage, 932);
    EXPECT_EQ(media::CurrentDrawTarget(), media::ScreenFront);
}

TEST_F(SystemLifecycleTest, EndWritesItsStepsInOrderAndClearsTheWindow)
{
    Start();
    const size_t startLines = Lines().size();
    EXPECT_EQ(media::EndMediaLibrary(), 0);
    auto lines = Lines();
    lines.erase(lines.begin(), lines.begin() + long(startLines) - 1);
    const std::vector<std::string> steps = {
        "入力関連の終了処理... 完了",
        "ウインドウを閉じようとしています",
        "ウインドウが破棄されようとしています",
        "ソフトを終了する準備が整いました",
        "ＣＯＭを終了... 完了",
    };
    const int missing = FirstMissingInOrder(lines, steps);
    EXPECT_EQ(missing, -1) << "missing: " << steps[size_t(missing < 0 ? 0 : missing)] << "\n" << Log();
    EXPECT_EQ(media::systemState.initialised, 0);
    EXPECT_EQ(media::systemState.mainWindow, 0u);
    EXPECT_EQ(media::systemState.comInitialised, 0);
    EXPECT_FALSE(platform::FindWindow("SystemTest"));
}

TEST_F(SystemLifecycleTest, FullScreenSizeWithoutADisplayModeRunsInACentredWindow)
{
    Start();
    EXPECT_EQ(media::systemState.windowed, 1);
    EXPECT_EQ(media::systemState.windowModeChanged, 1);
    platform::Rect client, window;
    ASSERT_TRUE(platform::GetClientRect(media::systemState.mainWindow, &client));
    ASSERT_TRUE(platform::GetWindowRect(media::systemState.mainWindow, &window));
    EXPECT_EQ(client.right - client.left, 700);
    EXPECT_EQ(client.bottom - client.top, 400);
    // Centred the window step's way: the adjusted corner plus half the room left.
    platform::Rect adjusted{0, 0, 700, 400};
    platform::AdjustWindowRectEx(&adjusted, 0x80CA0000u | platform::WS_VISIBLE, 0x300u);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    EXPECT_EQ(width, adjusted.right - adjusted.left);
    EXPECT_EQ(height, adjusted.bottom - adjusted.top);
    EXPECT_EQ(window.left, adjusted.left + (platform::headless::DesktopWidth - width) / 2);
    EXPECT_EQ(window.top, adjusted.top + (platform::headless::DesktopHeight - height) / 2);
    const media::ScreenRect& onScreen = media::systemState.clientRectOnScreen;
    EXPECT_EQ(onScreen.right - onScreen.left, 700);
    EXPECT_EQ(onScreen.bottom - onScreen.top, 400);
    int32_t x = 0, y = 0;
    platform::ClientToScreen(media::systemState.mainWindow, &x, &y);
    EXPECT_EQ(onScreen.left, x);
    EXPECT_EQ(onScreen.top, y);
}

// The window-size call made before start-up: a window N times the screen
// whose mouse positions are divided back, truncated toward zero; no log
// line (unlike the window-mode call, it writes no log before start-up);
// refused once started and for rates not above 0.
TEST_F(SystemLifecycleTest, WindowSizeRateBeforeStartSizesTheWindowAndDividesTheMouse)
{
    EXPECT_EQ(media::SetWindowSizeRate(0.0, 2.0), -1);
    EXPECT_EQ(media::SetWindowSizeRate(2.0, -1.0), -1);
    EXPECT_EQ(media::systemState.windowSizeRateX, 0.0);
    EXPECT_EQ(media::SetWindowSizeRate(2.0, 2.0), 0);
    std::ifstream beforeStart(LogPath());
    EXPECT_FALSE(beforeStart.good()) << "the call wrote a log: " << Log();
    Start();
    DrainMessages();
    platform::Rect client;
    ASSERT_TRUE(platform::GetClientRect(media::systemState.mainWindow, &client));
    EXPECT_EQ(client.right - client.left, 1400);
    EXPECT_EQ(client.bottom - client.top, 800);
    const media::ScreenRect& onScreen = media::systemState.clientRectOnScreen;
    EXPECT_EQ(onScreen.right - onScreen.left, 1400);
    EXPECT_EQ(onScreen.bottom - onScreen.top, 800);

    struct Case {
        int clientX, clientY, x, y;
    };
    for (const Case& c : std::vector<Case>{{242, 82, 121, 41}, {241, 81, 120, 40}, {281, 121, 140, 60},
                                           {282, 122, 141, 61}, {1399, 799, 699, 399}, {-3, -1, -1, 0}}) {
        Post(platform::WM_MOUSEMOVE, 0, ClientPoint(c.clientX, c.clientY));
        media::PumpWindowMessages();
        int x = 9999, y = 9999;
        ASSERT_EQ(media::ReadMousePosition(&x, &y), 0);
        EXPECT_EQ(x, c.x) << c.clientX << "," << c.clientY;
        EXPECT_EQ(y, c.y) << c.clientX << "," << c.clientY;
    }

    EXPECT_EQ(media::SetWindowSizeRate(3.0, 3.0), -1);
    EXPECT_EQ(media::systemState.windowSizeRateX, 2.0);
    EXPECT_EQ(media::systemState.windowSizeRateY, 2.0);
}

TEST_F(SystemLifecycleTest, StartTwiceAndEndWithoutStartDoNothing)
{
    EXPECT_EQ(media::EndMediaLibrary(), 0);
    EXPECT_TRUE(testing_support::ReadFile(LogPath()).empty());
    Start();
    const std::string before = Log();
    const platform::WindowHandle window = media::systemState.mainWindow;
    EXPECT_EQ(media::InitMediaLibrary(), 0);
    EXPECT_EQ(Log(), before);
    EXPECT_EQ(media::systemState.mainWindow, window);
}

TEST_F(SystemLifecycleTest, StartAgainAfterEndBeginsAFreshLog)
{
    Start();
    media::EndMediaLibrary();
    ASSERT_EQ(media::InitMediaLibrary(), 0);
    const auto lines = Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "システムの情報を出力します");
    EXPECT_EQ(IndexOfLine(lines, "ＣＯＭを終了... 完了"), -1);
    EXPECT_NE(media::systemState.mainWindow, 0u);
}

TEST_F(SystemLifecycleTest, SecondCopyOnTheSameDesktopEndsWithMinusOne)
{
    Start("", "Korvanta");
    const std::string program = std::string(KORVANTA_BINARY_DIR) + "/app/korvanta";
    const std::string secondDir = dir_ + "/second";
    const std::string script = dir_ + "/second.txt";
    std::ofstream(script) << "wait 10 frames\nkey down ESC\nwait 3 frames\nkey up ESC\nkey down B\n";
    const std::string command = "mkdir -p '" + secondDir + "' && cd '" + secondDir + "' && '" + program +
                                "' --headless --script '" + script + "' --desktop '" + desktopId_ +
                                "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 255);

    const auto lines = testing_support::LinesWithoutTimestamps(testing_support::ReadFile(secondDir + "/Log.txt"));
    EXPECT_NE(IndexOfLine(lines, " ソフトの二重起動検査... 二重起動されています、ソフトを終了します"), -1);
    EXPECT_EQ(IndexOfLine(lines, "ウインドウクラスを登録します... 登録に成功しました"), -1);
    // The first copy runs on.
    EXPECT_EQ(media::PumpWindowMessages(), 0);
}

TEST_F(SystemLifecycleTest, PumpTakesAtMostFiveMessagesPerCall)
{
    Start();
    DrainMessages();
    media::systemState.wheelRotation = 0;
    for (int i = 0; i < 12; ++i)
        Post(platform::WM_MOUSEWHEEL, uintptr_t(120) << 16);
    EXPECT_EQ(media::PumpWindowMessages(), 0);
    EXPECT_EQ(media::systemState.wheelRotation, 5);
    EXPECT_EQ(media::PumpWindowMessages(), 0);
    EXPECT_EQ(media::systemState.wheelRotation, 10);
    EXPECT_EQ(media::PumpWindowMessages(), 0);
    EXPECT_EQ(media::systemState.wheelRotation, 12);
}

TEST_F(SystemLifecycleTest, CloseButtonEndsThePumpOnThatCallAndEveryLaterOne)
{
    Start();
    DrainMessages();
    std::string error;
    ASSERT_TRUE(platform::headless::LoadScript("close\n", &error)) << error;
    EXPECT_EQ(media::PumpWindowMessages(), -1);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(media::PumpWindowMessages(), -1);
    EXPECT_EQ(media::systemState.quitRequested, 1);
    EXPECT_EQ(media::systemState.windowDestroyed, 1);
    const int missing = FirstMissingInOrder(Lines(), {"ウインドウを閉じようとしています",
                                                      "ウインドウが破棄されようとしています",
                                                      "ソフトを終了する準備が整いました"});
    EXPECT_EQ(missing, -1) << Log();
    // Waiting for a key gives up at once, and the end still runs cleanly.
    EXPECT_EQ(media::WaitAnyKey(), 0);
    EXPECT_EQ(media::EndMediaLibrary(), 0);
    EXPECT_EQ(media::systemState.mainWindow, 0u);
}

TEST_F(SystemLifecycleTest, InactiveWindowHoldsThePumpUntilFocusComesBack)
{
    Start();
    DrainMessages();
    std::string error;
    ASSERT_TRUE(platform::headless::LoadScript("focus lost\nwait 150 ms\nfocus gained\n", &error)) << error;
    const uint32_t start = platform::TimeGetTime();
    EXPECT_EQ(media::PumpWindowMessages(), 0);
    EXPECT_GE(platform::TimeGetTime() - start, 150u);
    EXPECT_TRUE(platform::headless::ScriptFinished());
    EXPECT_EQ(media::systemState.active, 1);
}

TEST_F(SystemLifecycleTest, InactiveWindowHoldsTheCallerUntilTheProgramMustEnd)
{
    Start();
    DrainMessages();
    std::string error;
    ASSERT_TRUE(platform::headless::LoadScript("focus lost\nwait 100 ms\nclose\n", &error)) << error;
    EXPECT_EQ(media::PumpWindowMessages(), -1);
    EXPECT_TRUE(platform::headless::ScriptFinished());
    EXPECT_EQ(media::systemState.active, 0);
}

TEST_F(SystemLifecycleTest, KeyReadsWaitWhileTheWindowIsInactive)
{
    Start();
    DrainMessages();
    std::string error;
    // The focus loss is taken by hand, so that no pump holds on to it.
    ASSERT_TRUE(platform::headless::LoadScript("focus lost\n", &error)) << error;
    platform::Message message;
    while (platform::PeekMessage(&message, 0, true)) {
        if (message.message == platform::WM_ACTIVATEAPP)
            media::systemState.active = int32_t(message.wParam & 0xFFFF);
        platform::DispatchMessage(message);
    }
    ASSERT_EQ(media::systemState.active, 0);
    ASSERT_TRUE(platform::headless::LoadScript("wait 100 ms\nkey down A\nfocus gained\n", &error)) << error;
    uint8_t keys[256] = {};
    // Holding the call lock, as the pump does, lets the read sample the keyboard.
    media::LockLibrary();
    const uint32_t start = platform::TimeGetTime();
    EXPECT_EQ(media::ReadKeyStates(keys), 0);
    const uint32_t elapsed = platform::TimeGetTime() - start;
    media::UnlockLibrary();
    EXPECT_GE(elapsed, 100u);
    EXPECT_EQ(media::systemState.active, 1);
    EXPECT_TRUE(platform::headless::ScriptFinished());
    EXPECT_EQ(keys[30], 1);
}

TEST_F(SystemLifecycleTest, WaitAnyKeyWaitsForReleaseThenForANewPress)
{
    Start();
    DrainMessages();
    std::string error;
    ASSERT_TRUE(platform::headless::LoadScript("key down ESC\n", &error)) << error;
    PumpOnNextMillisecond();
    PumpOnNextMillisecond();
    ASSERT_EQ(media::ReadKeyState(1), 1);

    ASSERT_TRUE(platform::headless::LoadScript("wait 60 ms\nkey up ESC\nwait 60 ms\nkey down B\n", &error))
        << error;
    EXPECT_EQ(media::WaitAnyKey(), 48);
    EXPECT_TRUE(platform::headless::ScriptFinished());
}

// A key or a click pressed and released before a pump takes them ends the
// wait; the close after it only stops the test if the tap went unseen.
TEST_F(SystemLifecycleTest, WaitAnyKeyEndsOnATap)
{
    Start();
    DrainMessages();
    const std::pair<const char*, int> cases[] = {
        {"wait 60 ms\nkey down B\nkey up B\nwait 2000 ms\nclose\n", 48},
        {"mouse move 20 20\nwait 60 ms\nbutton down left\nbutton up left\nwait 2000 ms\nclose\n", -1},
    };
    for (const auto& [script, expected] : cases) {
        SCOPED_TRACE(script);
        std::string error;
        ASSERT_TRUE(platform::headless::LoadScript(script, &error)) << error;
        EXPECT_EQ(media::WaitAnyKey(), expected);
    }
}

TEST_F(SystemLifecycleTest, JoypadButtonOrDirectionIsAnInputAndEndsWaitAnyKey)
{
    Start();
    DrainMessages();
    std::string error;
    ASSERT_TRUE(platform::headless::LoadScript("pad 2 press left\n", &error)) << error;
    PumpOnNextMillisecond();
    EXPECT_EQ(media::CheckAnyInput(1), -1) << "a direction counts";
    EXPECT_EQ(media::CheckAnyInput(4), 0) << "pads are not the mouse";
    ASSERT_TRUE(platform::headless::LoadScript("pad 2 release left\n", &error)) << error;
    PumpOnNextMillisecond();
    EXPECT_EQ(media::CheckAnyInput(7), 0);

    ASSERT_TRUE(platform::headless::LoadScript("wait 60 ms\npad 1 press 3\n", &error)) << error;
    EXPECT_EQ(media::WaitAnyKey(), -1);
    EXPECT_TRUE(platform::headless::ScriptFinished());
}

TEST_F(SystemLifecycleTest, AbortWritesItsTextShutsDownAndExitsWithMinusOne)
{
    Start();
    EXPECT_EXIT(media::AbortMediaLibraryf("テスト中止 %d", 7), ::testing::ExitedWithCode(255), "");
    const auto lines = Lines();
    const int missing = FirstMissingInOrder(lines, {"テスト中止 7", "入力関連の終了処理... 完了",
                                                    "ウインドウを閉じようとしています", "ＣＯＭを終了... 完了"});
    EXPECT_EQ(missing, -1) << Log();
}

TEST_F(SystemLifecycleTest, WindowModeChangeBeforeStartOnlyStoresTheFlag)
{
    EXPECT_EQ(media::ChangeWindowMode(0), 0);
    EXPECT_EQ(media::systemState.windowed, 0);
    EXPECT_EQ(media::systemState.windowModeChanged, 0);
    EXPECT_EQ(media::ChangeWindowMode(1), 0);
    EXPECT_EQ(media::systemState.windowed, 1);
    EXPECT_EQ(media::systemState.windowModeChanged, 1);
    // The window step starts the flag again from zero.
    media::SetScreenMode(700, 400, 16, 60);
    media::SetWindowTitle("SystemTest");
    ASSERT_EQ(media::InitMediaLibrary(), 0);
    EXPECT_EQ(media::systemState.windowed, 1);
    EXPECT_NE(IndexOfLine(Lines(), "ウインドウモード起動用のウインドウを作成します"), -1) << Log();
}

TEST_F(SystemLifecycleTest, WindowResizedFromOutsideIsFittedBackAndItsRectangleFollows)
{
    Start();
    DrainMessages();
    ASSERT_EQ(media::systemState.windowed, 1);
    std::string error;
    ASSERT_TRUE(platform::headless::LoadScript("resize 500 300\n", &error)) << error;
    media::PumpWindowMessages();
    platform::Rect client;
    ASSERT_TRUE(platform::GetClientRect(media::systemState.mainWindow, &client));
    EXPECT_EQ(client.right, 700);
    EXPECT_EQ(client.bottom, 400);
    const media::ScreenRect& onScreen = media::systemState.clientRectOnScreen;
    EXPECT_EQ(onScreen.right - onScreen.left, 700) << "the stored rectangle has the size the fit gave back";
    EXPECT_EQ(onScreen.bottom - onScreen.top, 400);
}

// The wait for the display change (capped at two seconds) sleeps between
// pumps instead of spinning.
TEST_F(SystemLifecycleTest, WindowModeChangeWaitsWithoutSpinning)
{
    media::SetScreenMode(platform::headless::DesktopWidth, platform::headless::DesktopHeight, 32, 60);
    media::SetWindowTitle("SystemTest");
    media::ChangeWindowMode(1);
    ASSERT_EQ(media::InitMediaLibrary(), 0) << Log();
    DrainMessages();
    platform::headless::SilenceDisplayChanges(true);
    auto threadCpu = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    };
    const int64_t wallStart = platform::QueryPerformanceCounter();
    const int64_t cpuStart = threadCpu();
    media::ChangeWindowMode(0);
    const int64_t cpu = threadCpu() - cpuStart;
    const int64_t wall =
        (platform::QueryPerformanceCounter() - wallStart) * 1000000000 / platform::QueryPerformanceFrequency();
    platform::headless::SilenceDisplayChanges(false);
    EXPECT_EQ(media::systemState.windowed, 0);
    ASSERT_GE(wall, 1900000000) << "no display change came, so the wait ran to its cap";
    EXPECT_LT(cpu, wall / 4) << "cpu " << cpu / 1000000 << " ms of " << wall / 1000000 << " ms";
}

TEST_F(SystemLifecycleTest, FullScreenRequestOfAnExistingModeStaysFullScreen)
{
    const auto& desktop = platform::DisplayModes();
    ASSERT_FALSE(desktop.empty());
    media::SetScreenMode(desktop[0].width, desktop[0].height, desktop[0].bitsPerPixel, 60);
    media::SetWindowTitle("SystemTest");
    ASSERT_EQ(media::InitMediaLibrary(), 0) << Log();
    EXPECT_EQ(media::systemState.windowed, 0);
    EXPECT_EQ(media::systemState.cursorSetting, 0);
    EXPECT_EQ(media::systemState.cursorShown, 0);
    const int missing = FirstMissingInOrder(
        Lines(), {"フルスクリーンモード用のウインドウを作成します", "ウインドウの作成に成功しました",
                  "カーソルを不可視にしました", "ＩＭＥを無効にしました"});
    EXPECT_EQ(missing, -1) << Log();
    EXPECT_EQ(Log().find("ウインドウモード起動用"), std::string::npos);
}

// 320 x 240 full screen needs no display mode of its own while the hardware
// path may show it doubled; with the hardware path refused it runs in a window.
TEST_F(SystemLifecycleTest, FullScreen320x240RunsInAWindowOnlyWhenTheHardwarePathIsRefused)
{
    for (const bool softwareOnly : {false, true}) {
        SCOPED_TRACE(softwareOnly ? "software only" : "hardware path allowed");
        media::EndMediaLibrary();
        media::systemState = media::SystemState{};
        media::displaySettings.softwareOnly = softwareOnly;
        media::SetScreenMode(320, 240, 16, 60);
        media::SetWindowTitle("SystemTest");
        const int result = media::InitMediaLibrary();
        media::displaySettings.softwareOnly = false;
        EXPECT_EQ(media::systemState.windowed, softwareOnly ? 1 : 0) << Log();
        if (softwareOnly) {
            EXPECT_EQ(result, 0) << Log();
        }
    }
}

TEST_F(SystemLifecycleTest, FailingGraphicsShutDownWhatWasStartedAndAllowANewStart)
{
    // Full screen at a size the desktop has, in a depth it has no mode for.
    media::SetScreenMode(platform::headless::DesktopWidth, platform::headless::DesktopHeight, 16, 60);
    media::SetWindowTitle("SystemTest");
    ASSERT_EQ(media::InitMediaLibrary(), -1);
    const int missing = FirstMissingInOrder(
        Lines(), {"画面モードの変更に失敗しました", "入力関連の終了処理... 完了", "ウインドウを閉じようとしています",
                  "ＣＯＭを終了... 完了"});
    EXPECT_EQ(missing, -1) << Log();
    EXPECT_EQ(media::systemState.initialised, 0);
    EXPECT_EQ(media::systemState.initialising, 0);
    EXPECT_EQ(media::systemState.mainWindow, 0u);
    EXPECT_FALSE(platform::FindWindow("SystemTest"));
    EXPECT_EQ(media::LibraryLockOwner(), ~uint64_t(0));

    media::ChangeWindowMode(1);
    media::SetScreenMode(700, 400, 16, 60);
    EXPECT_EQ(media::InitMediaLibrary(), 0) << Log();
}

TEST(SystemStateReset, KeepsTheSettingsAndTheLogPlaceOnly)
{
    const media::SystemState saved = media::systemState;
    media::SystemState& s = media::systemState;
    // Every field set to something other than its start value.
    s.initialised = s.initialising = s.quitRequested = s.closePosted = s.windowDestroyed = 1;
    s.active = s.creatingWindow = s.windowed = s.windowModeChanged = s.changingMode = s.modeChangeDone = 1;
    s.mainWindow = 77;
    s.moduleHandle = 78;
    s.mainThreadId = 79;
    std::snprintf(s.windowTitle, sizeof s.windowTitle, "title");
    std::snprintf(s.windowClassName, sizeof s.windowClassName, "class");
    s.clientRectOnScreen = media::ScreenRect{1, 2, 3, 4};
    s.windowSizeRateX = 0.5;
    s.windowSizeRateY = 2.0;
    s.wheelRotation = 5;
    s.cursorSetting = s.cursorShown = s.comInitialised = s.usePerformanceCounter = 1;
    s.performanceFrequency = 1000;
    s.timerPeriodMin = 1;
    s.characterSet = 2;
    s.codePage = 949;
    s.desktopWidth = s.desktopHeight = s.desktopColorBits = 8;
    s.paintInProgress = 1;
    std::snprintf(s.logDirectory, sizeof s.logDirectory, "/some/where");
    std::snprintf(s.logFileName, sizeof s.logFileName, "Other.txt");
    s.logStartTime = 123;
    s.logIndent = 3;
    s.lineOpen = 1;
    s.OsVersionCode = 0x107;
    s.hasTimeStampCounter = 1;
    s.cpuCyclesPerSecond = 999;
    s.hasMmx = 1;

    media::ResetSystemStateForStart();

    // Kept.
    EXPECT_EQ(s.windowed, 1);
    EXPECT_STREQ(s.windowTitle, "title");
    EXPECT_STREQ(s.windowClassName, "class");
    EXPECT_EQ(s.mainWindow, 77u);
    EXPECT_STREQ(s.logDirectory, "/some/where");
    EXPECT_STREQ(s.logFileName, "Other.txt");
    EXPECT_EQ(s.logStartTime, 123u);
    EXPECT_EQ(s.OsVersionCode, 0x107);
    EXPECT_EQ(s.hasTimeStampCounter, 1);
    EXPECT_EQ(s.cpuCyclesPerSecond, 999u);
    EXPECT_EQ(s.hasMmx, 1);
    EXPECT_EQ(s.characterSet, 2);
    EXPECT_EQ(s.codePage, 949);
    EXPECT_EQ(s.windowSizeRateX, 0.5);
    EXPECT_EQ(s.windowSizeRateY, 2.0);
    EXPECT_EQ(s.initialising, 1);
    EXPECT_EQ(s.comInitialised, 1);
    // Everything else starts again from zero.
    for (int32_t field : {s.initialised, s.quitRequested, s.closePosted, s.windowDestroyed, s.active,
                          s.creatingWindow, s.windowModeChanged, s.changingMode, s.modeChangeDone, s.wheelRotation,
                          s.cursorSetting, s.cursorShown, s.usePerformanceCounter, s.timerPeriodMin, s.desktopWidth,
                          s.desktopHeight, s.desktopColorBits, s.paintInProgress, s.logIndent, s.lineOpen})
        EXPECT_EQ(field, 0);
    EXPECT_EQ(s.moduleHandle, 0u);
    EXPECT_EQ(s.mainThreadId, 0u);
    EXPECT_EQ(s.performanceFrequency, 0);
    EXPECT_EQ(s.clientRectOnScreen.right, 0);
    media::systemState = saved;
}

}  // namespace
