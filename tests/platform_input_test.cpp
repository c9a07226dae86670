// Keyboard state, key messages and the mouse, driven by the headless script.
#include "media/platform/backend.h"
#include "media/platform/keymap.h"
#include "platform_fixture.h"

#include <SDL_scancode.h>

namespace platform_test {
namespace {

using PlatformInput = HeadlessTest;

void Play(const std::string& script)
{
    std::string error;
    ASSERT_TRUE(headless::LoadScript(script, &error)) << error;
}

bool Down(uint8_t virtualKey)
{
    uint8_t states[256];
    GetKeyboardState(states);
    return states[virtualKey] & 0x80;
}

TEST_F(PlatformInput, KeyboardStateChangesWhenTheMessageIsRemoved)
{
    MakeWindow();
    TakeAll();
    Play("key down B\n");
    Message message;
    ASSERT_TRUE(PeekMessage(&message, 0, false));
    EXPECT_EQ(message.message, uint32_t(WM_KEYDOWN));
    EXPECT_EQ(message.wParam, 0x42u);
    EXPECT_FALSE(Down(0x42)) << "only looked at";
    ASSERT_TRUE(PeekMessage(&message, 0, true));
    EXPECT_TRUE(Down(0x42));
    Play("key up B\n");
    ASSERT_TRUE(PeekMessage(&message, 0, false));
    EXPECT_EQ(message.message, uint32_t(WM_KEYUP));
    EXPECT_TRUE(Down(0x42));
    ASSERT_TRUE(PeekMessage(&message, 0, true));
    EXPECT_FALSE(Down(0x42));
}

struct KeyCase {
    const char* name;
    uint32_t message;         // what pressing it posts
    uintptr_t messageKey;     // the wParam
    uint8_t sided;            // state entry set
    uint8_t generic;          // second state entry set (or the same)
};

TEST_F(PlatformInput, KeysSetTheVirtualKeysOfAJapaneseKeyboard)
{
    const KeyCase cases[] = {
        {"A", WM_KEYDOWN, 0x41, 0x41, 0x41},
        {"ESC", WM_KEYDOWN, 0x1B, 0x1B, 0x1B},
        {"LSHIFT", WM_KEYDOWN, 0x10, 0xA0, 0x10},
        {"RSHIFT", WM_KEYDOWN, 0x10, 0xA1, 0x10},
        {"RCTRL", WM_KEYDOWN, 0x11, 0xA3, 0x11},
        {"LALT", WM_SYSKEYDOWN, 0x12, 0xA4, 0x12},
        {"F10", WM_SYSKEYDOWN, 0x79, 0x79, 0x79},
        {"KPENTER", WM_KEYDOWN, 0x0D, 0x0D, 0x0D},
        {"KP7", WM_KEYDOWN, 0x67, 0x67, 0x67},
        {"AT", WM_KEYDOWN, 0xC0, 0xC0, 0xC0},
        {"COLON", WM_KEYDOWN, 0xBA, 0xBA, 0xBA},
        {"BACKSLASH", WM_KEYDOWN, 0xE2, 0xE2, 0xE2},
    };
    MakeWindow();
    TakeAll();
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        Play(std::string("key down ") + c.name + "\n");
        Message message;
        ASSERT_TRUE(PeekMessage(&message, 0, true));
        EXPECT_EQ(message.message, c.message);
        EXPECT_EQ(message.wParam, c.messageKey);
        EXPECT_TRUE(Down(c.sided));
        EXPECT_TRUE(Down(c.generic));
        TakeAll();
        Play(std::string("key up ") + c.name + "\n");
        TakeAll();
        EXPECT_FALSE(Down(c.sided));
        EXPECT_FALSE(Down(c.generic));
    }
}

TEST_F(PlatformInput, F10AlsoPostsThePrivateMessage)
{
    const WindowHandle window = MakeWindow();
    TakeAll();
    Play("key down F10\nkey up F10\n");
    const std::vector<Message> taken = TakeAll();
    std::vector<std::pair<uint32_t, uintptr_t>> seen;
    for (const Message& m : taken) {
        EXPECT_EQ(m.window, window);
        seen.push_back({m.message, m.wParam});
    }
    const std::vector<std::pair<uint32_t, uintptr_t>> expected{
        {WM_SYSKEYDOWN, 0x79}, {WM_F10_PRIVATE, 1}, {WM_SYSKEYUP, 0x79}, {WM_F10_PRIVATE, 0}};
    EXPECT_EQ(seen, expected);
}

TEST_F(PlatformInput, GenericModifierStaysDownWhileEitherSideIs)
{
    MakeWindow();
    TakeAll();
    Play("key down LSHIFT\nkey down RSHIFT\nkey up LSHIFT\n");
    TakeAll();
    EXPECT_FALSE(Down(0xA0));
    EXPECT_TRUE(Down(0xA1));
    EXPECT_TRUE(Down(0x10));
}

TEST_F(PlatformInput, PhysicalKeysMapFromSdlScancodes)
{
    const std::pair<int, uint8_t> cases[] = {
        {SDL_SCANCODE_A, 0x41},           {SDL_SCANCODE_ESCAPE, 0x1B},     {SDL_SCANCODE_SEMICOLON, 0xBB},
        {SDL_SCANCODE_APOSTROPHE, 0xBA},  {SDL_SCANCODE_COMMA, 0xBC},      {SDL_SCANCODE_MINUS, 0xBD},
        {SDL_SCANCODE_PERIOD, 0xBE},      {SDL_SCANCODE_SLASH, 0xBF},      {SDL_SCANCODE_LEFTBRACKET, 0xC0},
        {SDL_SCANCODE_RIGHTBRACKET, 0xDB}, {SDL_SCANCODE_INTERNATIONAL3, 0xDC}, {SDL_SCANCODE_BACKSLASH, 0xDD},
        {SDL_SCANCODE_INTERNATIONAL1, 0xE2}, {SDL_SCANCODE_LSHIFT, 0xA0},  {SDL_SCANCODE_RALT, 0xA5},
        {SDL_SCANCODE_KP_0, 0x60},        {SDL_SCANCODE_KP_DIVIDE, 0x6F},  {SDL_SCANCODE_KP_ENTER, 0x0D},
        {SDL_SCANCODE_RETURN, 0x0D},      {SDL_SCANCODE_F12, 0x7B},
    };
    for (const auto& [scancode, virtualKey] : cases) {
        const PhysicalKey* key = KeyFromScancode(scancode);
        ASSERT_NE(key, nullptr) << scancode;
        EXPECT_EQ(key->virtualKey, virtualKey) << scancode;
    }
    EXPECT_EQ(KeyFromScancode(SDL_SCANCODE_UNKNOWN), nullptr);
}

TEST_F(PlatformInput, TranslateGivesTheCharacterOfAJisKeyboardNext)
{
    struct CharCase {
        const char* script;  // leaves the key of interest down last
        uint8_t character;
    };
    const CharCase cases[] = {
        {"key down A\n", 'a'},
        {"key down SHIFT\nkey down A\n", 'A'},
        {"key down SHIFT\nkey down 2\n", '"'},
        {"key down SHIFT\nkey down 7\n", '\''},
        {"key down COLON\n", ':'},
        {"key down SHIFT\nkey down SEMICOLON\n", '+'},
        {"key down CTRL\nkey down C\n", 0x03},
        {"key down KP5\n", '5'},
    };
    MakeWindow();
    TakeAll();
    for (const CharCase& c : cases) {
        SCOPED_TRACE(c.script);
        Play(c.script);
        Message message{}, last{};
        while (PeekMessage(&message, 0, true))
            last = message;
        ASSERT_EQ(last.message, uint32_t(WM_KEYDOWN));
        PostMessage(last.window, WM_NULL, 0, 0);
        EXPECT_TRUE(TranslateMessage(last));
        ASSERT_TRUE(PeekMessage(&message, 0, true));
        EXPECT_EQ(message.message, uint32_t(WM_CHAR)) << "ahead of the message posted before";
        EXPECT_EQ(message.wParam, c.character);
        // Let every key go before the next case.
        Play("key up SHIFT\nkey up CTRL\nkey up A\nkey up 2\nkey up 7\nkey up COLON\nkey up SEMICOLON\nkey up C\n"
             "key up KP5\n");
        TakeAll();
    }
    EXPECT_TRUE(TranslateMessage(Message{0, WM_KEYUP, 0x41, 0, 0}));
    EXPECT_FALSE(TranslateMessage(Message{0, WM_MOUSEMOVE, 0, 0, 0}));
}

TEST_F(PlatformInput, MouseButtonsAndCursorFollowRemovedMessages)
{
    const WindowHandle window = MakeWindow(100, 80);
    TakeAll();
    Play("mouse move 10 20\nbutton down right\n");
    Message message;
    ASSERT_TRUE(PeekMessage(&message, 0, true));
    EXPECT_EQ(message.message, uint32_t(WM_MOUSEMOVE));
    EXPECT_EQ(message.window, window);
    EXPECT_EQ(LowWord(message.lParam), 10);
    EXPECT_EQ(HighWord(message.lParam), 20);
    int32_t x = 0, y = 0;
    GetCursorPos(&x, &y);
    EXPECT_EQ(x, 110);
    EXPECT_EQ(y, 100);
    EXPECT_FALSE(Down(VK_RBUTTON));
    ASSERT_TRUE(PeekMessage(&message, 0, true));
    EXPECT_EQ(message.message, uint32_t(WM_RBUTTONDOWN));
    EXPECT_EQ(message.wParam & MK_RBUTTON, uintptr_t(MK_RBUTTON));
    EXPECT_TRUE(Down(VK_RBUTTON));

    Play("button down left\nbutton down middle\nbutton up right\nmouse move -5 500\n");
    TakeAll();
    EXPECT_TRUE(Down(VK_LBUTTON));
    EXPECT_TRUE(Down(VK_MBUTTON));
    EXPECT_FALSE(Down(VK_RBUTTON));
    GetCursorPos(&x, &y);
    EXPECT_EQ(x, 95) << "outside the client area the position goes on";
    EXPECT_EQ(y, 580);
}

TEST_F(PlatformInput, WheelPostsOneMessagePerNotchWithTheSignedDeltaInTheHighWord)
{
    MakeWindow();
    TakeAll();
    Play("wheel 1\nwheel -3\n");
    std::vector<int32_t> deltas;
    for (const Message& message : TakeAll())
        if (message.message == WM_MOUSEWHEEL)
            deltas.push_back(HighWord(intptr_t(message.wParam)));
    EXPECT_EQ(deltas, (std::vector<int32_t>{120, -120, -120, -120}));
}

TEST_F(PlatformInput, MovesWaitingAtTheTailMergeAndTheCursorIsTheLatest)
{
    const WindowHandle window = MakeWindow(100, 80);
    TakeAll();
    std::string script;
    for (int i = 0; i < 1000; ++i)
        script += "mouse move " + std::to_string(i % 600) + " " + std::to_string(i % 300) + "\n";
    script += "button down left\nmouse move 7 8\nmouse move 9 10\nkey down A\n";
    Play(script);
    Message message;
    ASSERT_TRUE(PeekMessage(&message, 0, false));
    int32_t x = 0, y = 0;
    GetCursorPos(&x, &y);
    EXPECT_EQ(x, 109) << "the cursor is where the latest event put it, not where the queue is";
    EXPECT_EQ(y, 90);
    const std::vector<Message> taken = TakeAll();
    std::vector<uint32_t> ids;
    for (const Message& m : taken)
        ids.push_back(m.message);
    EXPECT_EQ(ids, (std::vector<uint32_t>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_KEYDOWN}));
    ASSERT_EQ(taken.size(), 4u);
    EXPECT_EQ(LowWord(taken[0].lParam), 999 % 600);
    EXPECT_EQ(LowWord(taken[2].lParam), 9);
    EXPECT_EQ(taken[2].wParam & MK_LBUTTON, uintptr_t(MK_LBUTTON));
    GetCursorPos(&x, &y);
    EXPECT_EQ(x, 109) << "taking the older messages does not move the cursor back";

    // Moves of a posted message are not merged into, and a posted move still
    // places the cursor when it is taken.
    PostMessage(window, WM_MOUSEMOVE, 0, intptr_t((uint32_t(40) << 16) | 30));
    Play("mouse move 1 2\n");
    EXPECT_EQ(TakeAll().size(), 2u);
}

TEST_F(PlatformInput, ButtonReleasedOverAnotherProgramReachesTheInputWindow)
{
    const WindowHandle window = MakeWindow();
    TakeAll();
    Play("mouse move 5 6\nbutton down left\n");
    TakeAll();
    ASSERT_TRUE(Down(VK_LBUTTON));
    // The backend reports the release over no window of ours.
    events::MouseButton(0, 0, false, 0, 0);
    Message message;
    ASSERT_TRUE(TakeUntil(WM_LBUTTONUP, &message));
    EXPECT_EQ(message.window, window);
    EXPECT_EQ(LowWord(message.lParam), 5);
    EXPECT_FALSE(Down(VK_LBUTTON));
    // A press over another program stays there.
    events::MouseButton(0, 0, true, 0, 0);
    EXPECT_TRUE(TakeAll().empty());
}

TEST_F(PlatformInput, CursorVisibilityCountsLikeTheOtherSystem)
{
    EXPECT_EQ(ShowCursor(false), -1);
    EXPECT_EQ(ShowCursor(false), -2);
    EXPECT_EQ(ShowCursor(true), -1);
    EXPECT_EQ(ShowCursor(true), 0);
}

}  // namespace
}  // namespace platform_test
