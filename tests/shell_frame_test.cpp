// The shell's per-frame pieces: the mouse counters and position, and the
// frame-rate figure averaged over 60 frames.
#include <gtest/gtest.h>

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
    void SetUp() override { frameRate = FrameRateState{}; }
};

TEST_F(FrameRateTest, AverageIsTakenOnTheSixtiethFrameAndKeptForSixty)
{
    // The first entry of the first lap counts from the previous overlay
    // time; a long one makes the first average large.
    frameRate.lastOverlayTime = media::NowMilliseconds() - 6000;
    for (int frame = 0; frame < 59; ++frame)
        DrawFrameRate();
    EXPECT_EQ(frameRate.averageFrameTime, 0);
    EXPECT_EQ(frameRate.frameSlot, 59);

    DrawFrameRate();
    const int32_t first = frameRate.averageFrameTime;
    EXPECT_GE(first, 100);  // at least 6000 / 60
    EXPECT_EQ(frameRate.frameSlot, 0);

    // The next 59 frames keep the figure; the 60th computes a new one
    // (1200 ms over this lap: 20 ms a frame at least).
    frameRate.lastOverlayTime -= 1200;
    for (int frame = 0; frame < 59; ++frame) {
        DrawFrameRate();
        ASSERT_EQ(frameRate.averageFrameTime, first);
    }
    DrawFrameRate();
    EXPECT_GE(frameRate.averageFrameTime, 20);
    EXPECT_LT(frameRate.averageFrameTime, first);
}

}  // namespace
