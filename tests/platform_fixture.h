// Shared set-up for the platform tests: a headless desktop of this test
// process's own, a window class whose procedure records what it receives,
// and small helpers to drain the queue.
#pragma once

#include "media/platform/headless.h"
#include "media/platform/platform.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace platform_test {

using namespace media::platform;

struct Received {
    WindowHandle window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

inline std::vector<Received>& ReceivedMessages()
{
    static std::vector<Received> received;
    return received;
}

inline intptr_t RecordingProcedure(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    ReceivedMessages().push_back({window, message, wParam, lParam});
    return DefWindowProc(window, message, wParam, lParam);
}

inline std::vector<uint32_t> MessageIds(const std::vector<Received>& received)
{
    std::vector<uint32_t> ids;
    for (const Received& r : received)
        ids.push_back(r.message);
    return ids;
}

// Milliseconds since a QueryPerformanceCounter reading.
inline int64_t ElapsedMilliseconds(int64_t start)
{
    return (QueryPerformanceCounter() - start) * 1000 / QueryPerformanceFrequency();
}

inline int32_t LowWord(intptr_t value) { return int16_t(uintptr_t(value) & 0xFFFF); }
inline int32_t HighWord(intptr_t value) { return int16_t((uintptr_t(value) >> 16) & 0xFFFF); }

// The style of the program's own window and its 700 x 400 client area.
constexpr uint32_t windowedStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr uint32_t windowedExStyle = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ReceivedMessages().clear();
        HeadlessOptions options;
        options.desktopId = DesktopId();
        std::string error;
        ASSERT_TRUE(SelectHeadlessBackend(options, &error)) << error;
        ASSERT_TRUE(RegisterClass(WindowClass{"TestClass", RecordingProcedure, 0}));
    }
    void TearDown() override { CloseBackend(); }

    static std::string DesktopId() { return "test-" + std::to_string(getpid()); }

    // A window with a 700 x 400 client area whose client origin is (left, top).
    WindowHandle MakeWindow(int32_t left = 100, int32_t top = 80, bool show = true)
    {
        Rect rect{left, top, left + 700, top + 400};
        AdjustWindowRectEx(&rect, windowedStyle, windowedExStyle);
        const WindowHandle window = CreateWindowEx(windowedExStyle, "TestClass", "Test", windowedStyle, rect.left,
                                                   rect.top, rect.right - rect.left, rect.bottom - rect.top);
        if (show && window)
            ShowWindow(window, SW_SHOW);
        return window;
    }

    // Takes every waiting message (removing them), without dispatching.
    std::vector<Message> TakeAll(WindowHandle filter = 0)
    {
        std::vector<Message> taken;
        Message message;
        while (taken.size() < 1000 && PeekMessage(&message, filter, true)) {
            if (message.message == WM_PAINT) {
                Rect dirty;
                BeginPaint(message.window, &dirty);
                EndPaint(message.window);
            }
            taken.push_back(message);
        }
        return taken;
    }

    // Takes messages until one with this id comes, or gives up.
    bool TakeUntil(uint32_t id, Message* found)
    {
        for (int i = 0; i < 1000; ++i) {
            if (!PeekMessage(found, 0, true))
                return false;
            if (found->message == id)
                return true;
        }
        return false;
    }
};

}  // namespace platform_test
