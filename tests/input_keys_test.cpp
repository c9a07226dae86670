// Keyboard and mouse on the headless desktop: virtual keys into key codes,
// the any-input test, the mouse position with the window's size rates, the
// wheel, and reads made before start-up.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "media_fixture.h"
#include "media/input/input.h"
#include "media/input/virtual_key_map.h"

namespace {

using testing_support::MediaLayerTest;
namespace platform = media::platform;

class InputTest : public MediaLayerTest {
protected:
    // Presses a virtual key, pumps, and gives the key codes that read as down.
    std::set<int> CodesDownFor(uint8_t virtualKey)
    {
        Post(platform::WM_KEYDOWN, virtualKey);
        PumpOnNextMillisecond();
        std::set<int> down = CodesDown();
        Post(platform::WM_KEYUP, virtualKey);
        PumpOnNextMillisecond();
        return down;
    }

    std::set<int> CodesDown()
    {
        uint8_t states[256];
        std::memset(states, 0xEE, sizeof states);
        EXPECT_EQ(media::ReadKeyStates(states), 0);
        std::set<int> down;
        for (int code = 0; code < 256; ++code) {
            EXPECT_TRUE(states[code] == 0 || states[code] == 1) << "code " << code;
            if (states[code] == 1)
                down.insert(code);
        }
        return down;
    }
};

TEST(VirtualKeyMapTable, HasEveryRowOnceWithDistinctKeyCodes)
{
    std::set<int> codes;
    for (const media::VirtualKeyRow& row : media::VirtualKeyMap) {
        EXPECT_TRUE(codes.insert(row.keyCode).second) << "code " << int(row.keyCode) << " twice";
        EXPECT_NE(row.keyCode, 0);
    }
    EXPECT_EQ(codes.size(), 99u);
    // Every letter and digit key is there.
    for (int virtualKey = 'A'; virtualKey <= 'Z'; ++virtualKey) {
        bool found = false;
        for (const media::VirtualKeyRow& row : media::VirtualKeyMap)
            found = found || row.virtualKey == virtualKey;
        EXPECT_TRUE(found) << char(virtualKey);
    }
}

TEST_F(InputTest, VirtualKeysFillTheirKeyCodes)
{
    Start();
    DrainMessages();
    struct Case {
        uint8_t virtualKey;
        std::set<int> codes;
    };
    const std::vector<Case> cases = {
        {0x1B, {1}},         // Escape
        {0x42, {48}},        // B
        {0x4E, {49}},        // N
        {0x52, {19}},        // R
        {0x41, {30}},        // A
        {0x30, {11}},        // 0 of the main block
        {0x0D, {28, 156}},   // Enter fills both Enter codes
        {0x79, {68}},        // F10
        {0x7B, {88}},        // F12
        {0x6F, {181}},       // numeric-pad divide
        {0x60, {82}},        // numeric-pad 0
        {0x26, {200}},       // cursor up
        {0xDC, {125}},       // yen key
        {0x13, {197}},       // Pause
        {0x5D, {}},          // the menu key has no row
    };
    for (const Case& c : cases)
        EXPECT_EQ(CodesDownFor(c.virtualKey), c.codes) << "virtual key 0x" << std::hex << int(c.virtualKey);
    EXPECT_TRUE(CodesDown().empty());
}

TEST_F(InputTest, ReadsOutsideThePumpGiveThePumpsSample)
{
    Start();
    DrainMessages();
    Post(platform::WM_KEYDOWN, 0x42);
    // Taken from the queue, but not yet sampled by a pump's refresh.
    platform::Message message;
    ASSERT_TRUE(platform::PeekMessage(&message, 0, true));
    platform::DispatchMessage(message);
    EXPECT_EQ(media::ReadKeyState(48), 0);
    PumpOnNextMillisecond();
    EXPECT_EQ(media::ReadKeyState(48), 1);
    EXPECT_EQ(media::ReadKeyState(0), 0);
    EXPECT_EQ(media::ReadKeyState(-3), 0);
    EXPECT_EQ(media::ReadKeyState(300), 0);
}

// A press whose release the same pump takes reads down in that pump's
// sample only; the window system's keyboard state is not touched by it.
TEST_F(InputTest, TapTakenInOnePumpReadsDownInThatPumpsSampleOnly)
{
    Start();
    DrainMessages();
    constexpr intptr_t Repeat = intptr_t(1) << 30;
    constexpr intptr_t Release = intptr_t(uint32_t(3u << 30));
    constexpr intptr_t LeftShiftScan = intptr_t(0x2A) << 16;
    struct Message {
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
    };
    struct Case {
        const char* name;
        std::vector<Message> messages;
        std::set<int> codes;
        int buttons;
    };
    const std::vector<Case> cases = {
        {"B", {{platform::WM_KEYDOWN, 0x42, 0}, {platform::WM_KEYUP, 0x42, Release}}, {48}, 0},
        {"Enter", {{platform::WM_KEYDOWN, 0x0D, 0}, {platform::WM_KEYUP, 0x0D, Release}}, {28, 156}, 0},
        {"left Shift",
         {{platform::WM_KEYDOWN, 0x10, LeftShiftScan}, {platform::WM_KEYUP, 0x10, LeftShiftScan | Release}},
         {42},
         0},
        {"F10", {{platform::WM_SYSKEYDOWN, 0x79, 0}, {platform::WM_SYSKEYUP, 0x79, Release}}, {68}, 0},
        {"auto-repeat alone", {{platform::WM_KEYDOWN, 0x42, Repeat}, {platform::WM_KEYUP, 0x42, Release}}, {}, 0},
        {"left click",
         {{platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, ClientPoint(30, 30)},
          {platform::WM_LBUTTONUP, 0, ClientPoint(30, 30)}},
         {},
         1},
        // Above the client area, as a captured mouse reports it: the
        // position's high word sets lParam's bit 30, which is no repeat here.
        {"right click above",
         {{platform::WM_RBUTTONDOWN, platform::MK_RBUTTON, ClientPoint(30, -5)},
          {platform::WM_RBUTTONUP, 0, ClientPoint(30, -5)}},
         {},
         2},
        {"middle and left click",
         {{platform::WM_MBUTTONDOWN, platform::MK_MBUTTON, ClientPoint(30, 30)},
          {platform::WM_MBUTTONUP, 0, ClientPoint(30, 30)},
          {platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, ClientPoint(30, 30)},
          {platform::WM_LBUTTONUP, 0, ClientPoint(30, 30)}},
         {},
         5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const Message& m : c.messages)
            Post(m.message, m.wParam, m.lParam);
        PumpOnNextMillisecond();
        EXPECT_EQ(CodesDown(), c.codes);
        EXPECT_EQ(media::ReadMouseButtons(), c.buttons);
        EXPECT_EQ(media::CheckAnyInput(1), c.codes.empty() ? 0 : *c.codes.begin());
        uint8_t states[256];
        ASSERT_TRUE(platform::GetKeyboardState(states));
        for (int virtualKey = 0; virtualKey < 256; ++virtualKey)
            ASSERT_EQ(states[virtualKey] & 0x80, 0) << "virtual key " << virtualKey;
        // Reads between pumps keep the pump's sample.
        EXPECT_EQ(CodesDown(), c.codes);
        PumpOnNextMillisecond();
        EXPECT_TRUE(CodesDown().empty());
        EXPECT_EQ(media::ReadMouseButtons(), 0);
    }
}

// A tap is kept until a pump really samples the keyboard: not by a read
// outside the pump, nor by a pump while a graphics restore has ended input.
TEST_F(InputTest, TapWaitsForAPumpsSampleAcrossReadsAndAGraphicsRestore)
{
    Start();
    DrainMessages();
    for (const bool restore : {false, true}) {
        SCOPED_TRACE(restore ? "restore" : "read outside the pump");
        Post(platform::WM_KEYDOWN, 0x42);
        Post(platform::WM_KEYUP, 0x42, intptr_t(uint32_t(3u << 30)));
        Post(platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, ClientPoint(30, 30));
        Post(platform::WM_LBUTTONUP, 0, ClientPoint(30, 30));
        // Taken as the pump takes them, without its refresh.
        platform::Message message;
        while (platform::PeekMessage(&message, 0, true))
            platform::DispatchMessage(message);
        EXPECT_EQ(media::ReadKeyState(48), 0);
        EXPECT_EQ(media::ReadMouseButtons(), 0);
        if (restore) {
            // As the window procedure restores on activation: input ends
            // inside the pump, the pump's refresh follows, and the next read
            // brings input up again and fills nothing.
            media::RestoreGraphics();
            PumpOnNextMillisecond();
            uint8_t states[256];
            std::memset(states, 0xAB, sizeof states);
            EXPECT_EQ(media::ReadKeyStates(states), 0);
            EXPECT_EQ(states[48], 0xAB);
        }
        PumpOnNextMillisecond();
        EXPECT_EQ(media::ReadKeyState(48), 1);
        EXPECT_EQ(media::ReadMouseButtons(), 1);
        PumpOnNextMillisecond();
        EXPECT_EQ(media::ReadKeyState(48), 0);
        EXPECT_EQ(media::ReadMouseButtons(), 0);
    }
}

TEST_F(InputTest, AnyInputFindsKeysFunctionTenAndButtonsInsideTheWindow)
{
    Start();
    DrainMessages();
    EXPECT_EQ(media::CheckAnyInput(7), 0);

    // Caps Lock alone is no press; a letter is its key code.
    Post(platform::WM_KEYDOWN, 0x14);
    PumpOnNextMillisecond();
    EXPECT_EQ(media::CheckAnyInput(7), 0);
    Post(platform::WM_KEYDOWN, 0x41);
    PumpOnNextMillisecond();
    EXPECT_EQ(media::CheckAnyInput(7), 30);
    EXPECT_EQ(media::CheckAnyInput(4), 0);  // keys are not asked for
    Post(platform::WM_KEYUP, 0x41);
    Post(platform::WM_KEYUP, 0x14);
    PumpOnNextMillisecond();

    Post(platform::WM_F10_PRIVATE, 1);
    PumpOnNextMillisecond();
    EXPECT_EQ(media::CheckAnyInput(7), 68);
    Post(platform::WM_F10_PRIVATE, 0);
    PumpOnNextMillisecond();
    EXPECT_EQ(media::CheckAnyInput(7), 0);

    struct Case {
        int x, y;
        int expected;
    };
    const std::vector<Case> clicks = {
        {10, 10, -1},    // inside
        {700, 400, -1},  // the far corner counts as inside
        {701, 10, 0},    // right of the client area
        {10, -5, 0},     // above it
    };
    for (const Case& click : clicks) {
        Post(platform::WM_MOUSEMOVE, 0, ClientPoint(click.x, click.y));
        Post(platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, ClientPoint(click.x, click.y));
        PumpOnNextMillisecond();
        EXPECT_EQ(media::CheckAnyInput(7), click.expected) << click.x << ", " << click.y;
        EXPECT_EQ(media::CheckAnyInput(1), 0);  // the mouse is not asked for
        EXPECT_EQ(media::ReadMouseButtons(), 1);
        Post(platform::WM_LBUTTONUP, 0, ClientPoint(click.x, click.y));
        PumpOnNextMillisecond();
        EXPECT_EQ(media::ReadMouseButtons(), 0);
    }
}

TEST_F(InputTest, MouseButtonsAreBitsLeftRightMiddle)
{
    Start();
    DrainMessages();
    Post(platform::WM_RBUTTONDOWN, platform::MK_RBUTTON, ClientPoint(5, 5));
    PumpOnNextMillisecond();
    EXPECT_EQ(media::ReadMouseButtons(), 2);
    Post(platform::WM_MBUTTONDOWN, platform::MK_RBUTTON | platform::MK_MBUTTON, ClientPoint(5, 5));
    PumpOnNextMillisecond();
    EXPECT_EQ(media::ReadMouseButtons(), 6);
    Post(platform::WM_LBUTTONDOWN, platform::MK_LBUTTON | platform::MK_RBUTTON | platform::MK_MBUTTON,
         ClientPoint(5, 5));
    PumpOnNextMillisecond();
    EXPECT_EQ(media::ReadMouseButtons(), 7);
}

TEST_F(InputTest, MousePositionIsRelativeToTheClientAreaAndNotClamped)
{
    Start();
    DrainMessages();
    struct Case {
        int x, y;
    };
    for (const Case& c : std::vector<Case>{{0, 0}, {123, 45}, {699, 399}, {-20, 10}, {800, 500}}) {
        Post(platform::WM_MOUSEMOVE, 0, ClientPoint(c.x, c.y));
        media::PumpWindowMessages();
        int x = 9999, y = 9999;
        EXPECT_EQ(media::ReadMousePosition(&x, &y), 0);
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
    }
    // Either pointer may be left out.
    int y = 0;
    EXPECT_EQ(media::ReadMousePosition(nullptr, &y), 0);
    EXPECT_EQ(y, 500);
    EXPECT_EQ(media::ReadMousePosition(nullptr, nullptr), 0);
}

TEST_F(InputTest, MousePositionFollowsTheWindowsSizeRates)
{
    media::systemState.windowSizeRateX = 0.5;
    media::systemState.windowSizeRateY = 0.5;
    Start();
    DrainMessages();
    platform::Rect client;
    ASSERT_TRUE(platform::GetClientRect(media::systemState.mainWindow, &client));
    EXPECT_EQ(client.right, 350);
    EXPECT_EQ(client.bottom, 200);
    Post(platform::WM_MOUSEMOVE, 0, ClientPoint(100, 30));
    media::PumpWindowMessages();
    int x = 0, y = 0;
    media::ReadMousePosition(&x, &y);
    EXPECT_EQ(x, 200);
    EXPECT_EQ(y, 60);
    Post(platform::WM_MOUSEMOVE, 0, ClientPoint(-3, 0));
    media::PumpWindowMessages();
    media::ReadMousePosition(&x, &y);
    EXPECT_EQ(x, -6);
}

TEST_F(InputTest, WheelCountsOneNotchPerMessage)
{
    Start();
    DrainMessages();
    media::TakeWheelRotation(1);
    for (int16_t delta : {120, 240, 120, -120})
        Post(platform::WM_MOUSEWHEEL, uintptr_t(uint16_t(delta)) << 16);
    media::PumpWindowMessages();
    EXPECT_EQ(media::TakeWheelRotation(0), 2);
    EXPECT_EQ(media::TakeWheelRotation(1), 2);
    EXPECT_EQ(media::TakeWheelRotation(1), 0);
    // A zero rotation counts as a notch back.
    Post(platform::WM_MOUSEWHEEL, 0);
    media::PumpWindowMessages();
    EXPECT_EQ(media::TakeWheelRotation(1), -1);
}

TEST_F(InputTest, ReadBeforeStartBringsInputUpAndLeavesTheBufferAlone)
{
    uint8_t states[256];
    std::memset(states, 0xAB, sizeof states);
    EXPECT_EQ(media::ReadKeyStates(states), 0);
    for (uint8_t state : states)
        ASSERT_EQ(state, 0xAB);
    // Input is up now: the next read does its work.
    EXPECT_EQ(media::ReadKeyStates(states), 0);
    EXPECT_EQ(states[1], 0);
    media::EndInput();
}

TEST_F(InputTest, EndedInputComesBackWithItsLinesOnTheNextRead)
{
    Start();
    DrainMessages();
    const size_t before = Lines().size();
    media::EndInput();
    uint8_t states[256] = {};
    EXPECT_EQ(media::ReadKeyStates(states), 0);
    auto lines = Lines();
    ASSERT_GT(lines.size(), before);
    EXPECT_EQ(testing_support::FirstMissingInOrder(
                  std::vector<std::string>(lines.begin() + long(before) - 1, lines.end()),
                  {"入力関連の終了処理... 完了", "\tパッドの数は 0 個です", "入力関連の初期化をしました"}),
              -1)
        << Log();
}

}  // namespace

namespace {

// A mouse that reports a thousand moves between two frames does not hold up
// the click and the key behind them: both are seen within two frames.
TEST_F(InputTest, ClickAndKeyAfterABurstOfMovesAreSeenWithinTwoFrames)
{
    std::string script = "wait 3 frames\n";
    for (int i = 0; i < 1000; ++i)
        script += "mouse move " + std::to_string(i % 700) + " " + std::to_string(i % 400) + "\n";
    script += "button down left\nkey down A\n";
    Start(script);
    int burstFrame = -1, clickFrame = -1, keyFrame = -1;
    for (int frame = 0; frame < 400 && (clickFrame < 0 || keyFrame < 0); ++frame) {
        ASSERT_EQ(media::PumpWindowMessages(), 0);
        if (burstFrame < 0 && platform::headless::ScriptFinished())
            burstFrame = frame;
        if (clickFrame < 0 && (media::ReadMouseButtons() & 1))
            clickFrame = frame;
        if (keyFrame < 0 && media::ReadKeyState(30))
            keyFrame = frame;
        media::PresentScreen();
        media::platform::Sleep(1);
    }
    ASSERT_GE(burstFrame, 0) << "the script never ran";
    EXPECT_GE(clickFrame, 0);
    EXPECT_GE(keyFrame, 0);
    EXPECT_LE(clickFrame - burstFrame, 2);
    EXPECT_LE(keyFrame - burstFrame, 2);
    int x = 0, y = 0;
    media::ReadMousePosition(&x, &y);
    EXPECT_EQ(x, 999 % 700);
    EXPECT_EQ(y, 999 % 400);
}

}  // namespace
