// The shell's per-frame pieces: the mouse counters and position, and the
// frame-rate figure averaged over 60 frames.
#include <gtest/gtest.h>

#include <vector>

#include "app/shell.h"
#include "app/shell_state.h"
#include "media_fixture.h"
#include "media/system/lifecycle.h"

namespace {

using testing_support::MediaLayerTest;
namespace platform = media::platform;

class ShellMouseTest : public MediaLayerTest {};

TEST_F(ShellMouseTest, ButtonCountersCountHeldFramesAndPositionIsInClientCoordinates)
{
    Start();
    DrainMessages();
    for (int32_t& counter : MouseButtonCounter)
        counter = 0;

    Post(platform::WM_MOUSEMOVE, 0, ClientPoint(40, 25));
    Post(platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, ClientPoint(40, 25));
    PumpOnNextMillisecond();
    ASSERT_EQ(UpdateMouse(), 0);
    EXPECT_EQ(mouseX, 40);
    EXPECT_EQ(mouseY, 25);
    EXPECT_EQ(MouseButtonCounter[0], 1);
    EXPECT_EQ(UpdateMouse(), 0);
    EXPECT_EQ(MouseButtonCounter[0], 2);

    Post(platform::WM_RBUTTONDOWN, platform::MK_LBUTTON | platform::MK_RBUTTON, ClientPoint(41, 25));
    PumpOnNextMillisecond();
    UpdateMouse();
    EXPECT_EQ(MouseButtonCounter[0], 3);
    EXPECT_EQ(MouseButtonCounter[1], 1);
    EXPECT_EQ(MouseButtonCounter[2], 0);

    Post(platform::WM_LBUTTONUP, platform::MK_RBUTTON, ClientPoint(41, 25));
    PumpOnNextMillisecond();
    UpdateMouse();
    EXPECT_EQ(MouseButtonCounter[0], 0);
    EXPECT_EQ(MouseButtonCounter[1], 2);
    EXPECT_EQ(mouseX, 41);
}

class FrameRateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frameRate = FrameRateState{};
        shellHooks = ShellHooks{};
        shown.clear();
        shellHooks.drawFrameRateText = [](double framesPerSecond, int32_t milliseconds) {
            shown.push_back({framesPerSecond, milliseconds});
        };
    }
    void TearDown() override { shellHooks = ShellHooks{}; }

    struct Figure {
        double framesPerSecond;
        int32_t milliseconds;
    };
    static inline std::vector<Figure> shown;
};

TEST_F(FrameRateTest, FigureAppearsFromTheSixtiethFrameAndChangesEverySixty)
{
    // The first entry of the first lap counts from the previous overlay
    // time; a long one makes the first average large.
    frameRate.lastOverlayTime = media::NowMilliseconds() - 6000;
    for (int frame = 0; frame < 59; ++frame)
        DrawFrameRate();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(frameRate.frameSlot, 59);

    DrawFrameRate();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_GE(shown[0].milliseconds, 100);  // at least 6000 / 60
    EXPECT_DOUBLE_EQ(shown[0].framesPerSecond, 1000.0 / shown[0].milliseconds);
    EXPECT_EQ(frameRate.frameSlot, 0);
    EXPECT_EQ(frameRate.averageFrameTime, shown[0].milliseconds);

    // The next 59 frames show the same figure; the 60th computes a new one
    // (1200 ms over this lap: 20 ms a frame at least).
    frameRate.lastOverlayTime -= 1200;
    for (int frame = 0; frame < 59; ++frame)
        DrawFrameRate();
    ASSERT_EQ(shown.size(), 60u);
    for (const Figure& figure : shown)
        EXPECT_EQ(figure.milliseconds, shown[0].milliseconds);
    DrawFrameRate();
    ASSERT_EQ(shown.size(), 61u);
    EXPECT_GE(shown.back().milliseconds, 20);
    EXPECT_LT(shown.back().milliseconds, shown[0].milliseconds);
}

TEST_F(FrameRateTest, NothingIsDrawnWithoutATextHook)
{
    shellHooks.drawFrameRateText = nullptr;
    frameRate.lastOverlayTime = media::NowMilliseconds() - 600;
    for (int frame = 0; frame < 60; ++frame)
        DrawFrameRate();
    EXPECT_TRUE(shown.empty());
    EXPECT_GE(frameRate.averageFrameTime, 10);
}

}  // namespace
