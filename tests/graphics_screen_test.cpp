// The screen: mode settings before and after start, draw target and draw
// area, clearing, presentation refusals, the clock and the vertical-blank wait.
#include <gtest/gtest.h>

#include "graphics_fixture.h"
#include "media/graphics/device_setup.h"
#include "media/graphics/graphics_hooks.h"

using namespace media;
using namespace testing_support;

namespace {

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EndGraphics();
        systemState = SystemState{};
        displaySettings = DisplaySettings{};
    }
    void TearDown() override { StopSoftwareScreen(); }
};

TEST_F(ScreenTest, SetScreenModeBeforeStartOnlyStores)
{
    EXPECT_EQ(SetScreenMode(700, 400, 16, 60), 0);
    EXPECT_EQ(displaySettings.width, 700);
    EXPECT_EQ(displaySettings.height, 400);
    EXPECT_EQ(displaySettings.depth, 16);
    EXPECT_EQ(displaySettings.refresh, 60);
    EXPECT_FALSE(GraphicsStarted());

    const int refused[][4] = {{700, 400, 24, 60}, {0, 400, 16, 60}, {700, 0, 16, 60}, {-700, 400, 16, 60},
                              {700, 400, 15, 60}};
    for (const auto& mode : refused)
        EXPECT_EQ(SetScreenMode(mode[0], mode[1], mode[2], mode[3]), -1);
    EXPECT_EQ(displaySettings.width, 700);
    EXPECT_EQ(displaySettings.depth, 16);
}

TEST_F(ScreenTest, StartSubstitutesDefaultsAndSelectsTheFrontScreen)
{
    EXPECT_EQ(SetDrawTarget(ScreenBack), -1);
    EXPECT_EQ(CurrentDrawTarget(), 0);
    systemState.windowed = 1;
    systemState.active = 1;
    systemState.usePerformanceCounter = 1;
    ASSERT_EQ(StartGraphics(), 0);
    EXPECT_TRUE(GraphicsStarted());
    EXPECT_EQ(ScreenWidth(), 640);
    EXPECT_EQ(ScreenHeight(), 480);
    EXPECT_EQ(ScreenDepth(), 16);
    EXPECT_FALSE(displaySettings.hardwarePath);
    EXPECT_TRUE(VerticalBlankReady());
    EXPECT_EQ(CurrentDrawTarget(), ScreenFront);
    EXPECT_EQ(displaySettings.drawArea.right, 640);
    EXPECT_EQ(displaySettings.drawArea.bottom, 480);
    ASSERT_NE(ScreenImage(), nullptr);
    EXPECT_EQ(ScreenImage()->width, 640);
    EXPECT_EQ(StartGraphics(), 0);  // already started

    EndGraphics();
    EXPECT_FALSE(GraphicsStarted());
    EXPECT_EQ(ScreenImage(), nullptr);
    EXPECT_FALSE(VerticalBlankReady());
}

TEST_F(ScreenTest, FontHooksRunAtStartAndEnd)
{
    static int started, ended;
    started = ended = 0;
    InitFontSystemHook = [] { return ++started, 0; };
    EndFontSystemHook = [] { return ++ended, 0; };
    StartSoftwareScreen(32, 32, 16);
    EXPECT_EQ(started, 1);
    StopSoftwareScreen();
    EXPECT_GE(ended, 1);
    InitFontSystemHook = nullptr;
    EndFontSystemHook = nullptr;
}

TEST_F(ScreenTest, DrawRegionIsSwappedClampedAndMayBeEmpty)
{
    StartSoftwareScreen(100, 50, 32);
    EXPECT_EQ(SetDrawRegion(80, 60, -10, 20), 0);
    EXPECT_EQ(displaySettings.drawArea.left, 0);
    EXPECT_EQ(displaySettings.drawArea.top, 20);
    EXPECT_EQ(displaySettings.drawArea.right, 80);
    EXPECT_EQ(displaySettings.drawArea.bottom, 50);
    EXPECT_FALSE(displaySettings.drawAreaEmpty);
    EXPECT_EQ(SetDrawRegion(200, 0, 300, 10), 0);
    EXPECT_TRUE(displaySettings.drawAreaEmpty);

    // A target of the same size keeps the area; another size resets it.
    SetDrawRegion(10, 10, 20, 20);
    EXPECT_EQ(SetDrawTarget(ScreenFront), 0);
    EXPECT_EQ(displaySettings.drawArea.right, 20);
    const ImageHandle image = MakeEmptyImage(100, 50, false, true);
    EXPECT_EQ(SetDrawTarget(image), 0);
    EXPECT_EQ(displaySettings.drawArea.right, 20);
    const ImageHandle small = MakeEmptyImage(5, 5, false, true);
    EXPECT_EQ(SetDrawTarget(small), 0);
    EXPECT_EQ(displaySettings.drawArea.right, 5);
    DeleteImage(small);
    EXPECT_EQ(SetDrawRegion(0, 0, 1, 1), -1);
}

TEST_F(ScreenTest, SetDrawTargetRefusesUnknownTargets)
{
    StartSoftwareScreen(32, 32, 16);
    for (int target : {0, -1, -6, 1, 12345})
        EXPECT_EQ(SetDrawTarget(target), -1);
    EXPECT_EQ(CurrentDrawTarget(), ScreenBack);
    EXPECT_EQ(SetDrawTarget(-3), 0);
    EXPECT_EQ(SetDrawTarget(-5), 0);
}

TEST_F(ScreenTest, ClearPaintsTheBackgroundOverTheTargetOrARectangle)
{
    StartSoftwareScreen(20, 10, 32);
    const ColorValue white = PackColor(255, 255, 255);
    DrawRect(0, 0, 20, 10, white, 1);
    const int rect[] = {2, 3, 5, 4};
    EXPECT_EQ(ClearDrawTarget(rect), 0);
    const PixelRegion s = ScreenPixels();
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(WordAt(s, x, y), (x >= 2 && x < 5 && y == 3) ? PackColor(0, 0, 0) : white);

    const int beyond[] = {15, 8, 400, 400};  // cut to the target
    EXPECT_EQ(ClearDrawTarget(beyond), 0);
    EXPECT_EQ(WordAt(s, 19, 9), PackColor(0, 0, 0));
    EXPECT_EQ(WordAt(s, 14, 9), white);

    const int negative[] = {-1, 0, 1, 1};  // counts as none
    EXPECT_EQ(ClearDrawTarget(negative), 0);
    for (uint32_t word : Snapshot(s))
        EXPECT_EQ(word, PackColor(0, 0, 0));

    displaySettings.background[0] = 255;
    ClearDrawTarget(nullptr);
    EXPECT_EQ(WordAt(s, 7, 7), PackColor(255, 0, 0));
}

TEST_F(ScreenTest, PresentRefusesBeforeInitialisationAndAfterQuit)
{
    EXPECT_EQ(PresentScreen(), -1);
    StartSoftwareScreen(32, 32, 16);
    SetWaitVSync(0);
    EXPECT_EQ(PresentScreen(), 0);  // no window: nothing shown, not an error
    systemState.quitRequested = 1;
    EXPECT_EQ(PresentScreen(), -1);
}

TEST_F(ScreenTest, SetWaitVSyncBeforeStartAlsoSetsPresentOnVSync)
{
    EXPECT_EQ(SetWaitVSync(0), 0);
    EXPECT_FALSE(displaySettings.waitVSync);
    EXPECT_FALSE(displaySettings.presentOnVSync);
    EXPECT_EQ(SetWaitVSync(1), 0);
    EXPECT_TRUE(displaySettings.presentOnVSync);
    systemState.initialised = 1;
    SetWaitVSync(0);
    EXPECT_FALSE(displaySettings.waitVSync);
    EXPECT_TRUE(displaySettings.presentOnVSync);
}

TEST_F(ScreenTest, ScreenModeChangeAfterStartRestartsTheGraphics)
{
    StartSoftwareScreen(64, 48, 16);
    const ImageHandle image = MakeEmptyImage(4, 4, false, true);
    EXPECT_EQ(SetScreenMode(64, 48, 16, 0), 0);  // nothing to change
    EXPECT_NE(FindImage(image), nullptr);
    EXPECT_EQ(SetScreenMode(80, 40, 32, 0), 0);
    EXPECT_EQ(FindImage(image), nullptr);  // images do not survive a mode change
    EXPECT_EQ(ScreenImage()->width, 80);
    EXPECT_EQ(ScreenImage()->format.bitDepth, 32);
    EXPECT_EQ(PackColor(255, 255, 255), 0xFFFFFFFFu);
    EXPECT_EQ(CurrentDrawTarget(), ScreenBack);  // the target before the change
    EXPECT_EQ(displaySettings.drawArea.right, 80);
}

TEST_F(ScreenTest, MicrosecondClockNeverGoesBack)
{
    for (int source = 0; source < 2; ++source) {
        systemState.usePerformanceCounter = source;
        systemState.performanceFrequency = platform::QueryPerformanceFrequency();
        uint64_t last = NowMicroseconds(0);
        for (int i = 0; i < 1000; ++i) {
            const uint64_t now = NowMicroseconds(0);
            EXPECT_GE(now, last);
            last = now;
        }
    }
}

TEST_F(ScreenTest, VerticalBlankWaitHoldsAtLeastTheThreshold)
{
    systemState.usePerformanceCounter = 1;
    systemState.performanceFrequency = platform::QueryPerformanceFrequency();
    displaySettings.refreshPeriod = -1;  // unknown: 4000 microseconds
    displaySettings.lastBlankTime = NowMicroseconds(0);
    const uint64_t start = displaySettings.lastBlankTime;
    WaitVerticalBlank();
    EXPECT_GE(displaySettings.lastBlankTime - start, 4000u);

    displaySettings.refreshPeriod = 16000;  // known: up to 3 ms before the blank
    const uint64_t second = displaySettings.lastBlankTime;
    WaitVerticalBlank();
    EXPECT_GE(displaySettings.lastBlankTime - second, 13000u);
}

TEST_F(ScreenTest, MeasuredRefreshPeriodIsUnknownOrPlausible)
{
    StartSoftwareScreen(32, 32, 16);
    const int64_t period = displaySettings.refreshPeriod;
    if (period != -1) {
        EXPECT_GT(period, 1000);
        EXPECT_LT(period, 200000);
    }
    EXPECT_NE(displaySettings.lastBlankTime, 0u);
}

}  // namespace
