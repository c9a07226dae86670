// The shell's per-frame pieces: the key and mouse counters (taps included)
// and the position, and the frame-rate figure averaged over 60 frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/battle_data.h"
#include "app/shell.h"
#include "app/shell_state.h"
#include "media/input/input.h"
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

namespace {

// The frame loop with its media calls replaced: a scripted clock, recorded
// waits, and a pump, clear or mouse read that fails on a chosen call.
struct FakeFrameCalls {
    std::vector<int32_t> clock;  // successive values of now(); the last repeats
    size_t clockRead = 0;
    std::vector<uint32_t> sleeps;
    int pumpCalls = 0;
    int pumpFailsAt = 1 << 30;   // index of the pump call that returns -1
    int clearCalls = 0;
    int clearFailsAt = 1 << 30;  // 1-based frame whose clear fails
    int mouseReads = 0;
    int mouseFailsAt = 1 << 30;  // 1-based frame whose mouse read fails
    std::function<void(int)> beforePump;  // what arrives before pump call n
};
FakeFrameCalls* fake = nullptr;

int FakePump()
{
    const int call = fake->pumpCalls++;
    if (fake->beforePump)
        fake->beforePump(call);
    if (call >= fake->pumpFailsAt)
        return -1;
    return media::PumpWindowMessages();
}

int FakeClear(const int* rect)
{
    return ++fake->clearCalls == fake->clearFailsAt ? -1 : media::ClearDrawTarget(rect);
}

int FakeReadMouse(int* x, int* y)
{
    return ++fake->mouseReads == fake->mouseFailsAt ? -1 : media::ReadMousePosition(x, y);
}

int32_t FakeNow()
{
    const size_t i = std::min(fake->clockRead++, fake->clock.size() - 1);
    return fake->clock[i];
}

void RecordSleep(uint32_t milliseconds)
{
    fake->sleeps.push_back(milliseconds);
}

class FrameLoopTest : public MediaLayerTest {
protected:
    void SetUp() override
    {
        MediaLayerTest::SetUp();
        Start();
        DrainMessages();
        LoadPilotData();
        LoadWeaponData();
        LoadSquadData();
        ScreenState = PreparationScreen;
        lastFrameTime = 0;
        buttonImages[0] = buttonImages[1] = -1;
        for (int32_t& counter : KeyPressCounter)
            counter = 0;
        calls_.clock = {100000};
        fake = &calls_;
        saved_ = frameLoopCalls;
        frameLoopCalls = {FakePump, FakeClear, FakeReadMouse, FakeNow, RecordSleep};
    }
    void TearDown() override
    {
        frameLoopCalls = saved_;
        fake = nullptr;
        MediaLayerTest::TearDown();
    }

    // Ends the loop at the pump after frame n.
    void EndAfterFrame(int n) { calls_.pumpFailsAt = n; }

    FakeFrameCalls calls_;
    FrameLoopCalls saved_{};
};

TEST_F(FrameLoopTest, WaitsOutThirtyMillisecondsFromTheLastWaitAcrossTheClocksWrap)
{
    // Two reads a frame: the elapsed time, then the new end of the wait.
    const int32_t nearWrap = 0x7FFFFFF6;  // 10 ms before the 31-bit clock wraps
    calls_.clock = {
        100000, 100000,  // frame 1: last frame time 0, no wait
        100012, 100030,  // frame 2: 12 ms gone, waits 18
        100060, 100060,  // frame 3: exactly 30 ms gone, no wait
        100100, nearWrap,  // frame 4: 40 ms gone (a long frame is not made up for)
        5, 20,           // frame 5: 15 ms gone across the wrap, waits 15
        19, 19,          // frame 6: the clock went back 1 ms: no wait, never a long one
    };
    EndAfterFrame(6);
    RunFrameLoop();
    EXPECT_EQ(calls_.clearCalls, 6);
    EXPECT_EQ(calls_.sleeps, (std::vector<uint32_t>{18, 15}));
    EXPECT_EQ(lastFrameTime, 19);
}

TEST_F(FrameLoopTest, EndsOnAFailingPumpClearOrMouseRead)
{
    struct Case {
        const char* name;
        int pumpFailsAt, clearFailsAt, mouseFailsAt;
        int frames;  // clears made
        int paced;   // frames that reached the pacing
    };
    const Case cases[] = {
        {"pump before the first frame", 0, 1 << 30, 1 << 30, 0, 0},
        {"pump after frame 2", 2, 1 << 30, 1 << 30, 2, 2},
        {"clear of frame 3", 1 << 30, 3, 1 << 30, 3, 2},
        {"mouse read of frame 2", 1 << 30, 1 << 30, 2, 2, 1},
    };
    for (const Case& c : cases) {
        calls_ = FakeFrameCalls{};
        calls_.clock = {100000};
        lastFrameTime = 0;
        calls_.pumpFailsAt = c.pumpFailsAt;
        calls_.clearFailsAt = c.clearFailsAt;
        calls_.mouseFailsAt = c.mouseFailsAt;
        RunFrameLoop();
        EXPECT_EQ(calls_.clearCalls, c.frames) << c.name;
        // Each paced frame reads the clock twice.
        EXPECT_EQ(int(calls_.clockRead), 2 * c.paced) << c.name;
    }
}

TEST_F(FrameLoopTest, EscapeWinsOverBInTheSameFrame)
{
    calls_.beforePump = [this](int call) {
        if (call == 0) {
            Post(platform::WM_KEYDOWN, 0x1B);  // Escape
            Post(platform::WM_KEYDOWN, 0x42);  // B
            // The pump samples the keys once the millisecond clock has moved.
            const uint32_t start = platform::TimeGetTime();
            while (platform::TimeGetTime() == start)
                platform::Sleep(1);
        }
    };
    EndAfterFrame(3);
    RunFrameLoop();
    EXPECT_EQ(calls_.clearCalls, 1);
    EXPECT_EQ(KeyPressCounter[KeyEscape], 1);
    EXPECT_EQ(KeyPressCounter[KeyB], 1);
    EXPECT_EQ(ScreenState, PreparationScreen);
    EXPECT_TRUE(calls_.sleeps.empty());
}

}  // namespace
