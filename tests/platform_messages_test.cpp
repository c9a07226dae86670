// The message queue and the window procedure calls of the platform layer.
#include "platform_fixture.h"

namespace platform_test {
namespace {

using PlatformMessages = HeadlessTest;

TEST_F(PlatformMessages, CreateShowUpdateDestroySendInTheOrderTheMediaLayerExpects)
{
    const WindowHandle window = MakeWindow(100, 80, false);
    ASSERT_NE(window, 0u);
    const auto& received = ReceivedMessages();
    ASSERT_EQ(MessageIds(received), (std::vector<uint32_t>{WM_CREATE, WM_SIZE, WM_MOVE}));
    EXPECT_EQ(received[1].wParam, uintptr_t(SIZE_RESTORED));
    EXPECT_EQ(LowWord(received[1].lParam), 700);
    EXPECT_EQ(HighWord(received[1].lParam), 400);
    EXPECT_EQ(LowWord(received[2].lParam), 100);
    EXPECT_EQ(HighWord(received[2].lParam), 80);

    ReceivedMessages().clear();
    EXPECT_TRUE(ShowWindow(window, SW_SHOW));
    EXPECT_EQ(MessageIds(received), (std::vector<uint32_t>{WM_ACTIVATEAPP, WM_ACTIVATE, WM_SIZE, WM_MOVE}));
    EXPECT_EQ(received[0].wParam, 1u);
    EXPECT_EQ(received[1].wParam & 0xFFFF, uintptr_t(WA_ACTIVE));

    ReceivedMessages().clear();
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_EQ(MessageIds(received), (std::vector<uint32_t>{WM_PAINT}));
    Message message;
    EXPECT_FALSE(PeekMessage(&message, 0, false)) << "the default procedure validated the window";

    // A second show of a visible window changes nothing.
    ReceivedMessages().clear();
    ShowWindow(window, SW_SHOW);
    EXPECT_TRUE(received.empty());

    PostMessage(window, WM_NULL, 0, 0);
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(MessageIds(received), (std::vector<uint32_t>{WM_DESTROY}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(PeekMessage(&message, 0, false)) << "messages of a destroyed window are dropped";
    EXPECT_FALSE(DestroyWindow(window));
}

TEST_F(PlatformMessages, WindowRectanglesFollowTheFrameOfTheStyle)
{
    const WindowHandle window = MakeWindow(100, 80);
    Rect client, outer;
    ASSERT_TRUE(GetClientRect(window, &client));
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(client.right, 700);
    EXPECT_EQ(client.bottom, 400);
    int32_t x = 0, y = 0;
    ASSERT_TRUE(ClientToScreen(window, &x, &y));
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 80);
    EXPECT_LT(outer.left, 100);
    EXPECT_LT(outer.top, 80);

    // Moving sends WM_MOVE only; resizing WM_SIZE too; no change, nothing.
    ReceivedMessages().clear();
    MoveWindow(window, outer.left + 10, outer.top, outer.right - outer.left, outer.bottom - outer.top, false);
    EXPECT_EQ(MessageIds(ReceivedMessages()), (std::vector<uint32_t>{WM_MOVE}));
    ReceivedMessages().clear();
    MoveWindow(window, outer.left + 10, outer.top, outer.right - outer.left + 20, outer.bottom - outer.top, false);
    EXPECT_EQ(MessageIds(ReceivedMessages()), (std::vector<uint32_t>{WM_SIZE}));
    EXPECT_EQ(LowWord(ReceivedMessages()[0].lParam), 720);
    ReceivedMessages().clear();
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(ReceivedMessages().empty());
}

TEST_F(PlatformMessages, PeekFiltersByWindowAndKeepsMessagesWithoutRemove)
{
    const WindowHandle first = MakeWindow();
    const WindowHandle second = MakeWindow(200, 100);
    TakeAll();
    ASSERT_TRUE(PostMessage(first, WM_NULL, 1, 0));
    ASSERT_TRUE(PostMessage(second, WM_NULL, 2, 0));
    ASSERT_TRUE(PostMessage(0, WM_NULL, 3, 0));
    EXPECT_FALSE(PostMessage(0x7777, WM_NULL, 4, 0)) << "no such window";

    Message message;
    ASSERT_TRUE(PeekMessage(&message, ThreadOnly, true));
    EXPECT_EQ(message.wParam, 3u);
    EXPECT_EQ(message.window, 0u);
    ASSERT_TRUE(PeekMessage(&message, second, true));
    EXPECT_EQ(message.wParam, 2u);
    ASSERT_TRUE(PeekMessage(&message, 0, false));
    EXPECT_EQ(message.wParam, 1u);
    ASSERT_TRUE(PeekMessage(&message, 0, true));
    EXPECT_EQ(message.wParam, 1u) << "not removed by the first look";
    EXPECT_FALSE(PeekMessage(&message, ThreadOnly, true));
}

TEST_F(PlatformMessages, QuitComesNextAsAThreadMessage)
{
    const WindowHandle window = MakeWindow();
    TakeAll();
    PostMessage(window, WM_NULL, 0, 0);
    PostQuitMessage(7);
    Message message;
    EXPECT_TRUE(PeekMessage(&message, window, true));
    EXPECT_EQ(message.message, uint32_t(WM_NULL)) << "a window filter does not take the quit";
    ASSERT_TRUE(PeekMessage(&message, 0, true));
    EXPECT_EQ(message.message, uint32_t(WM_QUIT));
    EXPECT_EQ(message.window, 0u);
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_FALSE(PeekMessage(&message, 0, true)) << "one quit per PostQuitMessage";
}

TEST_F(PlatformMessages, DispatchCallsTheProcedureOfTheMessagesWindowOnly)
{
    const WindowHandle window = MakeWindow();
    TakeAll();
    ReceivedMessages().clear();
    EXPECT_EQ(DispatchMessage(Message{0, WM_NULL, 0, 0, 0}), 0);
    EXPECT_TRUE(ReceivedMessages().empty());
    DispatchMessage(Message{window, WM_TIMER, 5, 0, 0});
    ASSERT_EQ(ReceivedMessages().size(), 1u);
    EXPECT_EQ(ReceivedMessages()[0].message, uint32_t(WM_TIMER));
}

TEST_F(PlatformMessages, DefaultProcedureClosesWindows)
{
    const WindowHandle window = MakeWindow();
    TakeAll();
    DefWindowProc(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(IsWindow(window));
    Message message;
    ASSERT_TRUE(TakeUntil(WM_CLOSE, &message));
    ReceivedMessages().clear();
    DispatchMessage(message);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(MessageIds(ReceivedMessages()), (std::vector<uint32_t>{WM_CLOSE, WM_DESTROY}));
}

TEST_F(PlatformMessages, PaintIsOfferedUntilTheWindowIsValidated)
{
    const WindowHandle window = MakeWindow();
    Message message;
    ASSERT_TRUE(TakeUntil(WM_PAINT, &message));
    ASSERT_TRUE(PeekMessage(&message, window, true));
    EXPECT_EQ(message.message, uint32_t(WM_PAINT)) << "taking it does not validate";
    Rect dirty;
    ASSERT_TRUE(BeginPaint(window, &dirty));
    EndPaint(window);
    EXPECT_EQ(dirty.right, 700);
    EXPECT_EQ(dirty.bottom, 400);
    EXPECT_FALSE(PeekMessage(&message, window, true));
    InvalidateWindow(window);
    ASSERT_TRUE(PeekMessage(&message, window, false));
    EXPECT_EQ(message.message, uint32_t(WM_PAINT));
}

TEST_F(PlatformMessages, TimersPostTimerMessagesEveryPeriodUntilKilled)
{
    const WindowHandle window = MakeWindow();
    TakeAll();
    const int64_t start = QueryPerformanceCounter();
    ASSERT_TRUE(SetTimer(window, 32767, 32));
    Message message{};
    bool got = false;
    while (!got && ElapsedMilliseconds(start) < 10000) {
        got = PeekMessage(&message, 0, true) && message.message == WM_TIMER;
        if (!got)
            Sleep(1);
    }
    ASSERT_TRUE(got);
    EXPECT_GE(ElapsedMilliseconds(start), 32);
    EXPECT_EQ(message.window, window);
    EXPECT_EQ(message.wParam, 32767u);
    EXPECT_FALSE(PeekMessage(&message, 0, false) && message.message == WM_TIMER) << "one message per period";

    EXPECT_TRUE(KillTimer(window, 32767));
    EXPECT_FALSE(KillTimer(window, 32767));
    Sleep(50);
    EXPECT_FALSE(PeekMessage(&message, 0, true));
    EXPECT_FALSE(SetTimer(0x7777, 1, 10)) << "no such window";
}

TEST_F(PlatformMessages, ActivationFollowsFocusAndTheCloseButton)
{
    const WindowHandle window = MakeWindow();
    TakeAll();
    std::string error;
    ASSERT_TRUE(headless::LoadScript("focus lost\nfocus gained\nfocus gained\nclose\n", &error)) << error;
    const std::vector<Message> taken = TakeAll();
    std::vector<std::pair<uint32_t, uintptr_t>> seen;
    for (const Message& m : taken) {
        EXPECT_EQ(m.window, window);
        seen.push_back({m.message, m.wParam});
    }
    const std::vector<std::pair<uint32_t, uintptr_t>> expected{
        {WM_ACTIVATE, WA_INACTIVE}, {WM_ACTIVATEAPP, 0}, {WM_ACTIVATEAPP, 1}, {WM_ACTIVATE, WA_ACTIVE}, {WM_CLOSE, 0}};
    EXPECT_EQ(seen, expected);
}

// The program minimises its full-screen window when it loses the focus. A
// desktop without a window manager never does it and sends no restore: the
// focus coming back shows the window is on the screen, so it is activated as
// a shown window (the full-screen restore runs only then).
TEST_F(PlatformMessages, FocusRegainedByAWindowMinimisedMeanwhileActivatesItAsShown)
{
    const WindowHandle window = MakeWindow();
    std::string error;
    ASSERT_TRUE(headless::LoadScript("focus lost\n", &error)) << error;
    ShowWindow(window, SW_MINIMIZE);
    TakeAll();
    ASSERT_TRUE(headless::LoadScript("focus gained\n", &error)) << error;
    std::vector<uintptr_t> activations;
    for (const Message& m : TakeAll())
        if (m.message == WM_ACTIVATE)
            activations.push_back(m.wParam);
    EXPECT_EQ(activations, std::vector<uintptr_t>{WA_ACTIVE}) << "active, and not minimised (high word 0)";
}

TEST_F(PlatformMessages, CreationFailsForUnknownClassesAndRefusingProcedures)
{
    EXPECT_EQ(CreateWindowEx(0, "NoSuchClass", "x", WS_POPUP, 0, 0, 10, 10), 0u);
    ASSERT_TRUE(RegisterClass(WindowClass{"Refusing",
                                          [](WindowHandle, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
                                              return message == WM_CREATE ? -1 : 0;
                                          },
                                          0}));
    EXPECT_EQ(CreateWindowEx(0, "Refusing", "x", WS_POPUP, 0, 0, 10, 10), 0u);
    EXPECT_FALSE(FindWindow("Refusing"));
}

}  // namespace
}  // namespace platform_test
