// The shell's per-frame pieces: the key and mouse counters (taps included)
// and the position, and the frame-rate figure averaged over 60 frames.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/shell.h"
#include "app/shell_state.h"
#include "media_fixture.h"
#include "media/graphics/screen.h"
#include "media/platform/headless.h"
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

// Frames as the shell runs them: a pump, the key and button counters, a
// present (the script's waits count presents).
class ShellFrameCountersTest : public MediaLayerTest {
protected:
    struct Counts {
        std::vector<int32_t> key, button;  // the counter's nonzero values, frame by frame
    };

    Counts RunFrames(const std::string& script, int key, int button, int frames)
    {
        std::string error;
        EXPECT_TRUE(platform::headless::LoadScript(script, &error)) << error;
        Counts counts;
        for (int frame = 0; frame < frames; ++frame) {
            PumpOnNextMillisecond();
            CountHeldKeys();
            EXPECT_EQ(UpdateMouse(), 0);
            if (KeyPressCounter[key] != 0)
                counts.key.push_back(KeyPressCounter[key]);
            if (MouseButtonCounter[button] != 0)
                counts.button.push_back(MouseButtonCounter[button]);
            media::PresentScreen();
        }
        EXPECT_TRUE(platform::headless::ScriptFinished());
        return counts;
    }
};

// A press released before the pump takes it (a touchpad's tap, xdotool key,
// a short press while a frame runs late) counts for exactly one frame; a
// held key counts on, and its auto-repeat adds nothing.
TEST_F(ShellFrameCountersTest, TapsCountForOneFrameAndHeldPressesForEachFrameHeld)
{
    Start();
    DrainMessages();
    struct Case {
        const char* script;
        int key, button;
        std::vector<int32_t> keyCounts, buttonCounts;
    } const cases[] = {
        {"wait 2 frames\nkey down B\nkey up B\n", KeyB, 0, {1}, {}},
        {"wait 2 frames\nkey down ESC\nkey up ESC\n", KeyEscape, 0, {1}, {}},
        {"wait 2 frames\nkey down LSHIFT\nkey up LSHIFT\n", 42, 0, {1}, {}},
        {"mouse move 40 25\nwait 2 frames\nbutton down left\nbutton up left\n", KeyB, 0, {}, {1}},
        {"mouse move 40 25\nwait 2 frames\nbutton down right\nbutton up right\n", KeyB, 1, {}, {1}},
        {"mouse move 40 25\nwait 2 frames\nbutton down middle\nbutton up middle\n", KeyB, 2, {}, {1}},
        // A key and a button tapped together.
        {"wait 2 frames\nkey down N\nbutton down left\nkey up N\nbutton up left\n", KeyN, 0, {1}, {1}},
        // Held over two presents: two frames see it down.
        {"wait 2 frames\nkey down R\nwait 2 frames\nkey up R\n", KeyR, 0, {1, 2}, {}},
        // The second down is the auto-repeat; released at once, it is no new press.
        {"wait 2 frames\nkey down R\nwait 2 frames\nkey down R\nkey up R\n", KeyR, 0, {1, 2}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const Counts counts = RunFrames(c.script, c.key, c.button, 8);
        EXPECT_EQ(counts.key, c.keyCounts);
        EXPECT_EQ(counts.button, c.buttonCounts);
    }
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
