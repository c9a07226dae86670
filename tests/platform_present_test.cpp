// Presenting bitmaps into a window: colour widening, copying, stretching,
// clipping, and the headless desktop that keeps the frames.
#include "media/platform/backend.h"
#include "media/platform/bitmap_blit.h"
#include "platform_fixture.h"

#include <functional>

namespace platform_test {
namespace {

using PlatformPresent = HeadlessTest;

BitmapDescription Describe16(int32_t width, int32_t height, uint32_t r = 0xF800, uint32_t g = 0x07E0,
                             uint32_t b = 0x001F)
{
    return BitmapDescription{width, height, 16, width * 2, r, g, b};
}

TEST(PlatformBitReplication, FullIntensityStaysFullAndHalfStepsSpreadTheirBits)
{
    const struct {
        uint32_t value;
        int bits;
        uint8_t expected;
    } cases[] = {
        {0x1F, 5, 0xFF}, {0x3F, 6, 0xFF}, {0x10, 5, 0x84}, {0x20, 6, 0x82}, {0x01, 5, 0x08},
        {0x00, 5, 0x00}, {0x01, 1, 0xFF}, {0x05, 3, 0xB6}, {0xAB, 8, 0xAB}, {0x3FF, 10, 0xFF},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplicateBits(c.value, c.bits), c.expected) << c.value << "/" << c.bits;
}

TEST(PlatformBitReplication, TheFastR5G6B5PathAgreesForEveryValue)
{
    std::vector<uint16_t> all(65536 + 7);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = uint16_t(i);
    std::vector<uint32_t> widened(all.size());
    ExpandRgb565(all.data(), widened.data(), all.size());
    for (uint32_t p = 0; p < 65536; ++p) {
        const uint32_t expected = (uint32_t(ReplicateBits(p >> 11, 5)) << 16) |
                                  (uint32_t(ReplicateBits((p >> 5) & 0x3F, 6)) << 8) | ReplicateBits(p & 0x1F, 5);
        ASSERT_EQ(widened[p], expected) << p;
    }
}

TEST_F(PlatformPresent, SixteenBitFramesShowExactColours)
{
    const WindowHandle window = MakeWindow();
    const uint16_t pixels[] = {0x07E0, 0xF800, 0x001F, 0xFFFF, 0x8410, 0x0000, 0x0841, 0xFFE0};
    const uint32_t expected[] = {0x00FF00, 0xFF0000, 0x0000FF, 0xFFFFFF, 0x848284, 0x000000, 0x080808, 0xFFFF00};
    ASSERT_TRUE(PresentBitmap(window, pixels, Describe16(8, 1), Rect{0, 0, 8, 1}, Rect{0, 0, 8, 1}));
    headless::Frame frame;
    ASSERT_TRUE(headless::LastFrame(&frame));
    EXPECT_EQ(frame.width, 700);
    EXPECT_EQ(frame.height, 400);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(frame.At(x, 0), expected[x]) << x;
}

TEST_F(PlatformPresent, OtherMaskLayoutsAreWidenedToo)
{
    const WindowHandle window = MakeWindow();
    const uint16_t x1r5g5b5[] = {0x7C00, 0x03E0, 0x001F, 0x4210};
    ASSERT_TRUE(PresentBitmap(window, x1r5g5b5, Describe16(4, 1, 0x7C00, 0x03E0, 0x001F), Rect{0, 0, 4, 1},
                              Rect{0, 0, 4, 1}));
    const uint32_t xrgb[] = {0xFF123456, 0x00ABCDEF};
    ASSERT_TRUE(PresentBitmap(window, xrgb, BitmapDescription{2, 1, 32, 8, 0xFF0000, 0xFF00, 0xFF}, Rect{0, 0, 2, 1},
                              Rect{10, 0, 12, 1}));
    const uint32_t xbgr[] = {0x00563412};
    ASSERT_TRUE(PresentBitmap(window, xbgr, BitmapDescription{1, 1, 32, 4, 0xFF, 0xFF00, 0xFF0000}, Rect{0, 0, 1, 1},
                              Rect{20, 0, 21, 1}));
    headless::Frame frame;
    ASSERT_TRUE(headless::LastFrame(&frame));
    EXPECT_EQ(frame.At(0, 0), 0xFF0000u);
    EXPECT_EQ(frame.At(1, 0), 0x00FF00u);
    EXPECT_EQ(frame.At(2, 0), 0x0000FFu);
    EXPECT_EQ(frame.At(3, 0), 0x848484u);
    EXPECT_EQ(frame.At(10, 0), 0x123456u) << "the unused byte is dropped";
    EXPECT_EQ(frame.At(11, 0), 0xABCDEFu);
    EXPECT_EQ(frame.At(20, 0), 0x123456u);
}

TEST_F(PlatformPresent, StretchingRepeatsTheNearestPixel)
{
    const WindowHandle window = MakeWindow();
    const uint16_t pixels[] = {0xF800, 0x07E0, 0x001F, 0xFFFF};  // 2 x 2
    ASSERT_TRUE(PresentBitmap(window, pixels, Describe16(2, 2), Rect{0, 0, 2, 2}, Rect{0, 0, 4, 4}));
    headless::Frame frame;
    ASSERT_TRUE(headless::LastFrame(&frame));
    const uint32_t quadrant[2][2] = {{0xFF0000, 0x00FF00}, {0x0000FF, 0xFFFFFF}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(frame.At(x, y), quadrant[y / 2][x / 2]) << x << "," << y;
    EXPECT_EQ(frame.At(4, 0), 0u);
}

TEST_F(PlatformPresent, PartsOutsideTheWindowOrTheBitmapAreLeftAlone)
{
    const WindowHandle window = MakeWindow();
    std::vector<uint16_t> pixels(16 * 16, 0xFFFF);
    // Destination hanging over the top-left corner of the client area.
    ASSERT_TRUE(PresentBitmap(window, pixels.data(), Describe16(16, 16), Rect{0, 0, 16, 16}, Rect{-8, -8, 8, 8}));
    // Source reaching beyond the bitmap's right and bottom edges.
    ASSERT_TRUE(PresentBitmap(window, pixels.data(), Describe16(16, 16), Rect{8, 8, 24, 24}, Rect{100, 100, 116, 116}));
    // Stretch far beyond the client area.
    ASSERT_TRUE(
        PresentBitmap(window, pixels.data(), Describe16(16, 16), Rect{0, 0, 16, 16}, Rect{690, 390, 2690, 2390}));
    headless::Frame frame;
    ASSERT_TRUE(headless::LastFrame(&frame));
    EXPECT_EQ(frame.At(7, 7), 0xFFFFFFu);
    EXPECT_EQ(frame.At(8, 8), 0u);
    EXPECT_EQ(frame.At(107, 107), 0xFFFFFFu);
    EXPECT_EQ(frame.At(108, 108), 0u);
    EXPECT_EQ(frame.At(699, 399), 0xFFFFFFu);
}

TEST_F(PlatformPresent, UnusableBitmapsAndWindowsFail)
{
    const WindowHandle window = MakeWindow();
    const uint32_t pixels[4] = {};
    const Rect one{0, 0, 1, 1};
    const BitmapDescription bad[] = {
        {1, 1, 24, 4, 0, 0, 0},                       // no 24-bit path
        {1, 1, 16, 2, 0xF800, 0xF800, 0x001F},        // overlapping masks
        {1, 1, 16, 2, 0xF00F, 0x0FF0, 0},             // a mask in two pieces
        {4, 1, 32, 8, 0xFF0000, 0xFF00, 0xFF},        // pitch shorter than a row
        {0, 1, 32, 0, 0, 0, 0},                       // no width
    };
    for (const BitmapDescription& bitmap : bad)
        EXPECT_FALSE(PresentBitmap(window, pixels, bitmap, one, one)) << bitmap.bitsPerPixel;
    EXPECT_FALSE(PresentBitmap(window, nullptr, Describe16(1, 1), one, one));
    EXPECT_FALSE(PresentBitmap(0x7777, pixels, Describe16(1, 1), one, one));
    EXPECT_EQ(headless::FrameCount(), 0u);
}

TEST_F(PlatformPresent, FramesAreCountedButBlackFillsAreNot)
{
    const WindowHandle window = MakeWindow();
    const uint16_t white[4] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    headless::Frame frame;
    EXPECT_FALSE(headless::LastFrame(&frame));
    for (int i = 0; i < 3; ++i)
        PresentBitmap(window, white, Describe16(2, 2), Rect{0, 0, 2, 2}, Rect{0, 0, 2, 2});
    EXPECT_EQ(headless::FrameCount(), 3u);
    FillClientBlack(window, Rect{0, 0, 1, 1});
    EXPECT_EQ(headless::FrameCount(), 3u);
    PresentBitmap(window, white, Describe16(2, 2), Rect{0, 0, 1, 1}, Rect{5, 5, 6, 6});
    ASSERT_TRUE(headless::LastFrame(&frame));
    EXPECT_EQ(frame.At(0, 0), 0u) << "filled black";
    EXPECT_EQ(frame.At(1, 1), 0xFFFFFFu) << "kept from before";
}

TEST_F(PlatformPresent, SameFrameIsCountedWithoutWritingWhileTheClientAreaIsUntouched)
{
    const WindowHandle window = MakeWindow();
    const WindowHandle other = MakeWindow(0, 0);
    const uint16_t white[4] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    const Rect all{0, 0, 2, 2};
    EXPECT_FALSE(PresentSameFrame(window)) << "nothing presented yet";
    EXPECT_FALSE(PresentSameFrame(0x7777));
    EXPECT_EQ(headless::FrameCount(), 0u);

    ASSERT_TRUE(PresentBitmap(window, white, Describe16(2, 2), all, all));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(PresentSameFrame(window)) << i;
    EXPECT_FALSE(PresentSameFrame(other)) << "the frame was presented into another window";
    EXPECT_EQ(headless::FrameCount(), 4u);
    EXPECT_EQ(headless::WrittenFrameCount(), 1u);
    headless::Frame frame;
    ASSERT_TRUE(headless::LastFrame(&frame));
    EXPECT_EQ(frame.At(1, 1), 0xFFFFFFu);
    EXPECT_EQ(frame.At(2, 2), 0u);
}

// The client area may have lost what it showed, or shows something else: the
// next frame has to be written in full.
TEST_F(PlatformPresent, AnythingThatTouchesTheClientAreaEndsTheSameFrames)
{
    const WindowHandle window = MakeWindow();
    const uint16_t white[4] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    const uint16_t black[4] = {};
    const Rect all{0, 0, 2, 2};
    Rect outer;
    ASSERT_TRUE(GetWindowRect(window, &outer));
    const int32_t width = outer.right - outer.left, height = outer.bottom - outer.top;
    const struct {
        const char* name;
        std::function<void()> touch;
    } touches[] = {
        {"repaint", [&] { RepaintBitmap(window, black, Describe16(2, 2), all, all); }},
        {"black fill", [&] { FillClientBlack(window, Rect{0, 0, 1, 1}); }},
        {"failed present", [&] { PresentBitmap(window, white, BitmapDescription{2, 2, 24, 8, 0, 0, 0}, all, all); }},
        {"exposure", [&] { events::Exposed(window); }},
        {"resize", [&] { MoveWindow(window, outer.left, outer.top, width - 10, height, true); }},
        {"resize back", [&] { MoveWindow(window, outer.left, outer.top, width, height, true); }},
        {"minimise and restore", [&] { events::Minimized(window); events::Restored(window); }},
        {"hide and show", [&] { ShowWindow(window, SW_HIDE); ShowWindow(window, SW_SHOW); }},
        {"display mode change", [&] { ChangeDisplayMode(&DisplayModes().at(0)); }},
    };
    for (const auto& t : touches) {
        SCOPED_TRACE(t.name);
        ASSERT_TRUE(PresentBitmap(window, white, Describe16(2, 2), all, all));
        ASSERT_TRUE(PresentSameFrame(window));
        t.touch();
        const uint64_t frames = headless::FrameCount();
        EXPECT_FALSE(PresentSameFrame(window));
        EXPECT_EQ(headless::FrameCount(), frames);
    }
    // Moving keeps the pixels shown.
    ASSERT_TRUE(PresentBitmap(window, white, Describe16(2, 2), all, all));
    MoveWindow(window, outer.left + 5, outer.top, width, height, false);
    EXPECT_TRUE(PresentSameFrame(window));
}

TEST_F(PlatformPresent, HeadlessDesktopIsOneFixedMode)
{
    EXPECT_EQ(CurrentBackend(), Backend::Headless);
    EXPECT_EQ(DesktopWidth(), 1024);
    EXPECT_EQ(DesktopHeight(), 768);
    EXPECT_EQ(DesktopBitsPerPixel(), 32);
    int32_t usableWidth = 0, usableHeight = 0;
    ASSERT_TRUE(DesktopUsableSize(&usableWidth, &usableHeight));
    EXPECT_EQ(usableWidth, 1024);
    EXPECT_EQ(usableHeight, 768);
    const std::vector<DisplayMode> modes = DisplayModes();
    ASSERT_EQ(modes.size(), 1u);
    EXPECT_EQ(modes[0].width, 1024);
    EXPECT_EQ(modes[0].refreshHz, 60);
    EXPECT_DOUBLE_EQ(RefreshRateHz(), 60.0);
    EXPECT_EQ(OemCodePage(), 932);

    const WindowHandle window = MakeWindow();
    TakeAll();
    const DisplayMode other{800, 600, 16, 60};
    EXPECT_FALSE(ChangeDisplayMode(&other));
    EXPECT_TRUE(ChangeDisplayMode(&modes[0]));
    Message message;
    ASSERT_TRUE(TakeUntil(WM_DISPLAYCHANGE, &message));
    EXPECT_EQ(message.window, window);
    EXPECT_EQ(message.wParam, 32u);
    EXPECT_EQ(LowWord(message.lParam), 1024);
    EXPECT_EQ(HighWord(message.lParam), 768);

    const int64_t before = QueryPerformanceCounter();
    WaitForVerticalBlank();
    EXPECT_GT(QueryPerformanceCounter(), before);
}

TEST(PlatformNoBackend, WindowsCannotBeMadeButTheQueueWorks)
{
    CloseBackend();
    EXPECT_EQ(CurrentBackend(), Backend::None);
    ASSERT_TRUE(RegisterClass(WindowClass{"Lonely", RecordingProcedure, 0}));
    EXPECT_EQ(CreateWindowEx(0, "Lonely", "x", WS_POPUP, 0, 0, 10, 10), 0u);
    EXPECT_DOUBLE_EQ(RefreshRateHz(), 60.0);
    PostMessage(0, WM_NULL, 9, 0);
    Message message;
    ASSERT_TRUE(PeekMessage(&message, ThreadOnly, true));
    EXPECT_EQ(message.wParam, 9u);
    CloseBackend();
}

}  // namespace
}  // namespace platform_test
