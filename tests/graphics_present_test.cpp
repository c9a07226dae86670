// Presentation through the headless platform backend: what the window shows
// after PresentScreen, stretching, the front-screen timer and the paint
// message; and the full-screen start with its display-mode switch and log.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "graphics_fixture.h"
#include "log_fixture.h"
#include "media/graphics/device_setup.h"
#include "media/graphics/draw.h"
#include "media/graphics/image_table.h"
#include "media/log/log.h"
#include "media/platform/backend.h"
#include "media/platform/headless.h"

using namespace media;
using namespace testing_support;

namespace {

intptr_t QuietWindowProc(platform::WindowHandle, uint32_t, uintptr_t, intptr_t)
{
    return 0;
}

class PresentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(platform::SelectHeadlessBackend(platform::HeadlessOptions{}, &error)) << error;
        dir_ = MakeTempDir();
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override
    {
        StopSoftwareScreen();
        if (window_)
            platform::DestroyWindow(window_);
        platform::UnregisterClass("GraphicsPresentTest");
        platform::CloseBackend();
        if (std::system(("rm -rf '" + dir_ + "'").c_str()) != 0) {
        }
    }

    // A software screen with a window of the given client size to present into.
    void StartWindowed(int width, int height, int depth, int clientWidth, int clientHeight)
    {
        StartSoftwareScreen(width, height, depth);
        platform::WindowClass windowClass;
        windowClass.name = "GraphicsPresentTest";
        windowClass.procedure = QuietWindowProc;
        ASSERT_TRUE(platform::RegisterClass(windowClass));
        window_ = platform::CreateWindowEx(0, "GraphicsPresentTest", "test", platform::WS_POPUP, 0, 0, clientWidth,
                                           clientHeight);
        ASSERT_NE(window_, 0u);
        platform::ShowWindow(window_, platform::SW_SHOW);
        systemState.mainWindow = window_;
        SetWaitVSync(0);
    }

    // Starts the graphics in full screen with a log in the test's folder.
    int StartFullScreen(int width, int height, int depth)
    {
        EndGraphics();
        systemState = SystemState{};
        displaySettings = DisplaySettings{};
        systemState.active = 1;
        systemState.usePerformanceCounter = 1;
        systemState.performanceFrequency = platform::QueryPerformanceFrequency();
        SetLogLocation(dir_.c_str(), "Log.txt");
        LogStart();
        SetScreenMode(width, height, depth, 0);
        return StartGraphics();
    }

    std::vector<std::string> LogLines() const { return LinesWithoutTimestamps(ReadFile(dir_ + "/Log.txt")); }

    static uint32_t Rgb(int r, int g, int b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

    platform::WindowHandle window_ = 0;
    std::string dir_;
};

TEST_F(PresentTest, WindowShowsTheScreenAtEitherDepth)
{
    for (int depth : {16, 32}) {
        SCOPED_TRACE(depth);
        StartWindowed(40, 30, depth, 40, 30);
        DrawRect(0, 0, 10, 10, PackColor(255, 255, 255), 1);
        DrawRect(10, 0, 20, 10, PackColor(255, 0, 0), 1);
        DrawRect(20, 0, 30, 10, PackColor(0, 0, 255), 1);
        const uint64_t frames = platform::headless::FrameCount();
        EXPECT_EQ(PresentScreen(), 0);
        EXPECT_EQ(platform::headless::FrameCount(), frames + 1);
        platform::headless::Frame frame;
        ASSERT_TRUE(platform::headless::LastFrame(&frame));
        ASSERT_EQ(frame.width, 40);
        ASSERT_EQ(frame.height, 30);
        EXPECT_EQ(frame.At(5, 5), Rgb(255, 255, 255));
        EXPECT_EQ(frame.At(15, 9), Rgb(255, 0, 0));
        EXPECT_EQ(frame.At(29, 0), Rgb(0, 0, 255));
        EXPECT_EQ(frame.At(35, 20), 0u);
        platform::DestroyWindow(window_);
        window_ = 0;
        platform::UnregisterClass("GraphicsPresentTest");
        StopSoftwareScreen();
    }
}

TEST_F(PresentTest, WindowSizeRateStretchesThePresentation)
{
    StartWindowed(20, 10, 32, 40, 20);
    systemState.windowSizeRateX = 2.0;
    systemState.windowSizeRateY = 2.0;
    DrawRect(3, 4, 4, 5, PackColor(0, 255, 0), 1);
    EXPECT_EQ(PresentScreen(), 0);
    platform::headless::Frame frame;
    ASSERT_TRUE(platform::headless::LastFrame(&frame));
    ASSERT_EQ(frame.width, 40);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            EXPECT_EQ(frame.At(x, y), (x / 2 == 3 && y / 2 == 4) ? Rgb(0, 255, 0) : 0u) << x << "," << y;
}

TEST_F(PresentTest, EmulatedQuarterScreenIsShownWithEachPixelDoubled)
{
    StartWindowed(640, 480, 16, 640, 480);
    displaySettings.emulate320x240 = true;
    DrawRect(3, 4, 4, 5, PackColor(255, 255, 255), 1);
    DrawRect(400, 300, 401, 301, PackColor(255, 0, 0), 1);  // outside the 320 x 240 shown
    EXPECT_EQ(PresentScreen(), 0);
    platform::headless::Frame frame;
    ASSERT_TRUE(platform::headless::LastFrame(&frame));
    ASSERT_EQ(frame.width, 640);
    ASSERT_EQ(frame.height, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if (frame.At(x, y) != ((x / 2 == 3 && y / 2 == 4) ? Rgb(255, 255, 255) : 0u))
                FAIL() << x << "," << y;
}

TEST_F(PresentTest, FrontScreenTimerPresentsOnlyForTheFrontScreen)
{
    StartWindowed(16, 16, 16, 16, 16);
    uint64_t frames = platform::headless::FrameCount();
    OnFrontScreenTimer();  // target is the back screen: nothing
    EXPECT_EQ(platform::headless::FrameCount(), frames);
    ASSERT_EQ(SetDrawTarget(ScreenFront), 0);
    DrawRect(0, 0, 16, 16, PackColor(255, 255, 255), 1);
    OnFrontScreenTimer();
    EXPECT_EQ(platform::headless::FrameCount(), frames + 1);
    platform::headless::Frame frame;
    ASSERT_TRUE(platform::headless::LastFrame(&frame));
    EXPECT_EQ(frame.At(8, 8), Rgb(255, 255, 255));
}

TEST_F(PresentTest, PaintShowsTheDirtyAreaOfTheBackScreenWithoutWaitingAndIsNoFrame)
{
    StartWindowed(16, 16, 16, 16, 16);
    SetWaitVSync(1);
    PresentScreen();
    const uint64_t frames = platform::headless::FrameCount();
    const int all[4] = {0, 0, 16, 16};
    ASSERT_EQ(ClearDrawTarget(all), 0);
    SetDrawTarget(ScreenBack);
    displaySettings.background[0] = 255;
    displaySettings.background[1] = 255;
    displaySettings.background[2] = 255;
    ASSERT_EQ(ClearDrawTarget(nullptr), 0);
    const int dirty[4] = {4, 4, 8, 8};
    PaintFromBackScreen(dirty);
    EXPECT_EQ(platform::headless::FrameCount(), frames) << "a repaint is no frame of the program";
    EXPECT_TRUE(displaySettings.waitVSync);
    platform::headless::Frame frame;
    ASSERT_TRUE(platform::headless::LastFrame(&frame));
    EXPECT_EQ(frame.At(5, 5), Rgb(255, 255, 255)) << "the dirty area is shown";
    EXPECT_NE(frame.At(12, 12), Rgb(255, 255, 255)) << "the rest is left as it was";
    PaintFromBackScreen();
    ASSERT_TRUE(platform::headless::LastFrame(&frame));
    EXPECT_EQ(frame.At(12, 12), Rgb(255, 255, 255));
    SetDrawTarget(ScreenFront);
    PaintFromBackScreen();
    EXPECT_EQ(platform::headless::FrameCount(), frames);
}

// What a program does each frame of a screen that stands still: clear it
// and draw the same picture again.
void DrawStillPicture()
{
    ClearDrawTarget(nullptr);
    DrawRect(2, 2, 12, 12, PackColor(255, 255, 255), 1);
    DrawRect(20, 10, 30, 20, PackColor(255, 0, 0), 1);
    DrawRect(0, 29, 40, 30, PackColor(0, 0, 255), 1);
}

std::vector<uint32_t> ShownPixels()
{
    platform::headless::Frame frame;
    EXPECT_TRUE(platform::headless::LastFrame(&frame));
    return frame.pixels;
}

TEST_F(PresentTest, StillFramesAreCountedAndShownWithoutWritingTheWindowAgain)
{
    for (int depth : {16, 32}) {
        SCOPED_TRACE(depth);
        StartWindowed(40, 30, depth, 40, 30);
        const uint64_t frames = platform::headless::FrameCount();
        const uint64_t written = platform::headless::WrittenFrameCount();
        for (int i = 0; i < 5; ++i) {
            DrawStillPicture();
            EXPECT_EQ(PresentScreen(), 0);
        }
        EXPECT_EQ(platform::headless::FrameCount(), frames + 5) << "every still frame is a presented frame";
        EXPECT_EQ(platform::headless::WrittenFrameCount(), written + 1) << "only the first was written";
        platform::headless::Frame frame;
        ASSERT_TRUE(platform::headless::LastFrame(&frame));
        ASSERT_EQ(frame.width, 40);
        EXPECT_EQ(frame.At(5, 5), Rgb(255, 255, 255));
        EXPECT_EQ(frame.At(25, 15), Rgb(255, 0, 0));
        EXPECT_EQ(frame.At(39, 29), Rgb(0, 0, 255));
        EXPECT_EQ(frame.At(35, 5), 0u);
        std::string error;
        EXPECT_TRUE(platform::headless::WriteScreenshot(dir_ + "/still.png", &error)) << error;
        platform::DestroyWindow(window_);
        window_ = 0;
        platform::UnregisterClass("GraphicsPresentTest");
        StopSoftwareScreen();
    }
}

TEST_F(PresentTest, OnePixelChangedAfterStillFramesIsShownAndSoIsItsReturn)
{
    StartWindowed(40, 30, 16, 40, 30);
    const int points[][2] = {{0, 0}, {39, 29}, {20, 15}, {39, 0}, {0, 29}};
    for (const auto& p : points) {
        SCOPED_TRACE(testing::Message() << p[0] << "," << p[1]);
        for (int i = 0; i < 3; ++i) {
            DrawStillPicture();
            PresentScreen();
        }
        const std::vector<uint32_t> still = ShownPixels();
        uint64_t written = platform::headless::WrittenFrameCount();
        DrawStillPicture();
        DrawRect(p[0], p[1], p[0] + 1, p[1] + 1, PackColor(0, 255, 0), 1);
        PresentScreen();
        EXPECT_EQ(platform::headless::WrittenFrameCount(), written + 1);
        std::vector<uint32_t> expected = still;
        expected[size_t(p[1]) * 40 + size_t(p[0])] = Rgb(0, 255, 0);
        EXPECT_EQ(ShownPixels(), expected);
        // The picture as it was, again: the kept frame now holds the change.
        DrawStillPicture();
        PresentScreen();
        EXPECT_EQ(platform::headless::WrittenFrameCount(), written + 2);
        EXPECT_EQ(ShownPixels(), still);
    }
}

// The 32-bit screen's words as the window shows them (X8R8G8B8 without the
// none bits), read without taking the screen's pixels, which would make the
// screen forget what it knows of them.
std::vector<uint32_t> ScreenWords(int width, int height)
{
    std::vector<uint32_t> words(size_t(width) * size_t(height));
    EXPECT_TRUE(ReadTargetWords(ScreenBack, 0, 0, width, height, words.data()));
    for (uint32_t& w : words)
        w &= 0xFFFFFFu;
    return words;
}

// Frames of every kind of drawing, in an order where each follows others:
// whatever the present compares or the clear rewrites, the window shows the
// screen, a clear leaves nothing of the frame before, and a frame drawn again
// as it was is not written again.
TEST_F(PresentTest, EveryKindOfFrameIsShownAsDrawnAndClearedWhole)
{
    StartWindowed(48, 32, 32, 48, 32);
    const ImageHandle picture = MakeEmptyImage(6, 5, false, false);
    ASSERT_NE(picture, -1);
    const PixelRegion pixels = ImagePixels(picture);
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x)
            PutPixel(picture, x, y, Rgba{uint8_t(40 * x), uint8_t(50 * y), 200, 255});
    const uint32_t white = PackColor(255, 255, 255);
    const struct {
        const char* name;
        std::function<void()> draw;
    } frames[] = {
        {"nothing", [] {}},
        {"filled box", [&] { DrawRect(3, 4, 9, 7, white, 1); }},
        {"filled box moved", [&] { DrawRect(30, 20, 36, 23, white, 1); }},
        {"outline", [&] { DrawRect(1, 1, 47, 31, PackColor(255, 0, 0), 0); }},
        {"outline, corners swapped", [&] { DrawRect(40, 25, 10, 5, PackColor(0, 255, 0), 0); }},
        {"picture", [&] { DrawImage(5, 5, picture, 0); }},
        {"picture half outside", [&] { DrawImage(45, 29, picture, 0); }},
        {"picture part", [&] { DrawImagePart(20, 2, 1, 1, 3, 3, picture, 0, 1); }},
        {"picture on a quadrilateral", [&] { DrawImageQuad(10, 10, 30, 12, 28, 30, 8, 25, picture, 0); }},
        {"box cleared out of a box",
         [&] {
             DrawRect(0, 0, 20, 20, white, 1);
             const int part[4] = {5, 5, 10, 10};
             ClearDrawTarget(part);
         }},
        {"draw region narrowed",
         [&] {
             SetDrawRegion(10, 10, 20, 20);
             DrawRect(0, 0, 48, 32, white, 1);
             SetDrawRegion(0, 0, 48, 32);
         }},
        {"pixels written straight",
         [&] {
             MEMIMG* screen = ScreenImage();
             FillRegion(SubRegion(screen, 40, 0, 8, 8), PackColor(0, 0, 255));
         }},
        {"another background",
         [&] {
             displaySettings.background[1] = 90;
             ClearDrawTarget(nullptr);
             DrawRect(2, 2, 4, 4, white, 1);
             displaySettings.background[1] = 0;
         }},
    };
    const int order[] = {0, 1, 1, 2, 1, 3, 3, 4, 5, 6, 5, 7, 8, 8, 1, 9, 10, 0, 11, 11, 1, 12, 0, 12, 12, 3, 0};
    int previous = -1;
    for (const int index : order) {
        SCOPED_TRACE(testing::Message() << frames[index].name << " after "
                                        << (previous < 0 ? "the start" : frames[previous].name));
        ClearDrawTarget(nullptr);
        ASSERT_EQ(ScreenWords(48, 32), std::vector<uint32_t>(48 * 32, 0u)) << "the clear leaves nothing before";
        frames[index].draw();
        const uint64_t written = platform::headless::WrittenFrameCount();
        ASSERT_EQ(PresentScreen(), 0);
        EXPECT_EQ(ShownPixels(), ScreenWords(48, 32));
        if (index == previous) {
            EXPECT_EQ(platform::headless::WrittenFrameCount(), written) << "drawn again as it was";
        }
        previous = index;
    }
}

// Whatever may have taken the picture from the window, or put another one
// there, makes the next frame of the same screen be written in full.
TEST_F(PresentTest, WindowEventsModeChangesAndRestoresShowTheStillScreenAgain)
{
    StartWindowed(40, 30, 16, 40, 30);
    DrawStillPicture();
    PresentScreen();
    const std::vector<uint32_t> still = ShownPixels();
    const struct {
        const char* name;
        std::function<void()> touch;
    } touches[] = {
        {"exposure", [&] { platform::events::Exposed(window_); }},
        {"resize and back",
         [&] {
             platform::MoveWindow(window_, 0, 0, 20, 20, true);
             platform::MoveWindow(window_, 0, 0, 40, 30, true);
         }},
        {"minimise and restore",
         [&] {
             platform::events::Minimized(window_);
             platform::events::Restored(window_);
         }},
        {"black fill", [&] { platform::FillClientBlack(window_, platform::Rect{0, 0, 40, 30}); }},
        {"paint of a newer back screen",
         [&] {
             DrawRect(0, 0, 40, 30, PackColor(0, 0, 255), 1);
             PaintFromBackScreen();
         }},
        {"device restore", [&] { RestoreGraphics(); }},
        {"mode change and back",
         [&] {
             ChangeScreenMode(40, 30, 32, 0, 0);
             DrawStillPicture();
             PresentScreen();
             ChangeScreenMode(40, 30, 16, 0, 0);
         }},
        {"forced change to the same mode", [&] { ChangeScreenMode(40, 30, 16, 1, 0); }},
    };
    for (const auto& t : touches) {
        SCOPED_TRACE(t.name);
        DrawStillPicture();
        PresentScreen();
        const uint64_t written = platform::headless::WrittenFrameCount();
        DrawStillPicture();
        PresentScreen();
        ASSERT_EQ(platform::headless::WrittenFrameCount(), written) << "a still frame before";
        t.touch();
        ASSERT_EQ(ScreenDepth(), 16);
        ASSERT_EQ(CurrentDrawTarget(), ScreenBack);
        const uint64_t frames = platform::headless::FrameCount();
        const uint64_t writtenBefore = platform::headless::WrittenFrameCount();
        DrawStillPicture();
        PresentScreen();
        EXPECT_EQ(platform::headless::FrameCount(), frames + 1);
        EXPECT_EQ(platform::headless::WrittenFrameCount(), writtenBefore + 1) << "written in full";
        EXPECT_EQ(ShownPixels(), still);
    }
}

// The millisecond clock wraps: a clock behind the last blank means a blank
// has passed, not that the next one is days away.
TEST_F(PresentTest, VerticalBlankWaitTakesABackwardsClockAsABlankPassed)
{
    StartWindowed(16, 16, 16, 16, 16);
    displaySettings.lastBlankTime = NowMicroseconds(0) + 5000000;
    const int64_t start = platform::QueryPerformanceCounter();
    WaitVerticalBlank();
    const int64_t elapsed = (platform::QueryPerformanceCounter() - start) * 1000 / platform::QueryPerformanceFrequency();
    EXPECT_LT(elapsed, 1000);
    EXPECT_LE(displaySettings.lastBlankTime, NowMicroseconds(0));
}

TEST_F(PresentTest, FullScreenSwitchesTheDisplayModeAndLogsEachStep)
{
    ASSERT_EQ(StartFullScreen(1024, 768, 32), 0);
    EXPECT_TRUE(displaySettings.displayModeSwitched);
    EXPECT_EQ(systemState.logIndent, 0);
    const std::vector<std::string> lines = LogLines();
    const std::vector<std::string> expected = {
        "DirectDraw オブジェクトの取得を行います....  成功",
        "引き続き初期化処理... 初期化に成功しました",
        "IDirect3D9 オブジェクトを取得します.... IDirect3D9 オブジェクトの取得に失敗しました",
        "画面モードの変更処理を開始します 1024 x 768  32 bit ",
        "\t画面解像度を変更します... 成功しました",
    };
    ASSERT_GE(lines.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << i;
    EndGraphics();
    EXPECT_FALSE(displaySettings.displayModeSwitched);
}

TEST_F(PresentTest, FullScreenFailsWithoutAMatchingDisplayMode)
{
    const int cases[][3] = {{640, 480, 16}, {1024, 768, 8}};
    for (const auto& mode : cases) {
        SCOPED_TRACE(mode[2]);
        EXPECT_EQ(StartFullScreen(mode[0], mode[1], mode[2]), -1);
        EXPECT_FALSE(GraphicsStarted());
        EXPECT_EQ(systemState.logIndent, 0);
        const std::string log = ReadFile(dir_ + "/Log.txt");
        if (mode[2] == 16) {
            EXPECT_NE(log.find("画面解像度を変更します... 画面モードの変更に失敗しました"), std::string::npos);
        }
        EXPECT_EQ(log.find("変更します... 成功しました"), std::string::npos);
    }
}

TEST_F(PresentTest, FailedModeChangeFallsBackToThePreviousMode)
{
    ASSERT_EQ(StartFullScreen(1024, 768, 32), 0);
    systemState.initialised = 1;
    SetDrawTarget(ScreenBack);
    EXPECT_EQ(SetScreenMode(640, 480, 16, 0), -1);
    EXPECT_TRUE(GraphicsStarted());
    EXPECT_EQ(ScreenWidth(), 1024);
    EXPECT_EQ(ScreenDepth(), 32);
    EXPECT_EQ(CurrentDrawTarget(), ScreenBack);
    const std::string log = ReadFile(dir_ + "/Log.txt");
    EXPECT_NE(log.find("画面モード変更処理を開始します"), std::string::npos);
    EXPECT_NE(log.find("画面モード変更処理は正常に終了しました"), std::string::npos);
    EXPECT_EQ(systemState.logIndent, 0);
}

}  // namespace
