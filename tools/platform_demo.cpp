// Opens a 700 x 400 window through the platform layer's SDL backend and keeps
// presenting a 16-bit test picture: eight stripes of known colours copied,
// and below them four colours stretched from a 4 x 1 bitmap. Prints what it
// is told about the desktop and every key it receives; Escape ends it.
//
// With --modes it first tries display modes (the first listed mode as it is,
// with a refresh rate it does not have, and with refresh 0) and prints
// "change WxHxB@R ok" or "... refused" for each.
//
//   platform_demo [--seconds N] [--modes]
#include "media/platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace media::platform;

constexpr int32_t width = 700, height = 400;
constexpr uint16_t stripes[8] = {0x07E0, 0xF800, 0x001F, 0xFFFF, 0x8410, 0x0841, 0xFFE0, 0x0000};
constexpr uint16_t band[4] = {0xF81F, 0x07FF, 0x4208, 0xAD55};
bool quit = false;

intptr_t DemoProcedure(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        std::printf("keydown 0x%02X scan 0x%02X%s\n", unsigned(wParam), unsigned((uintptr_t(lParam) >> 16) & 0xFF),
                    (uintptr_t(lParam) >> 24) & 1 ? " extended" : "");
        std::fflush(stdout);
        if (wParam == 0x1B)
            quit = true;
        return 0;
    case WM_DESTROY:
        quit = true;
        return 0;
    default:
        return DefWindowProc(window, message, wParam, lParam);
    }
}

void Present(WindowHandle window, const std::vector<uint16_t>& picture)
{
    const BitmapDescription full{width, height, 16, width * 2, 0xF800, 0x07E0, 0x001F};
    PresentBitmap(window, picture.data(), full, Rect{0, 0, width, 300}, Rect{0, 0, width, 300});
    const BitmapDescription small{4, 1, 16, 8, 0xF800, 0x07E0, 0x001F};
    PresentBitmap(window, band, small, Rect{0, 0, 4, 1}, Rect{0, 300, width, height});
}

void TryModes()
{
    const std::vector<DisplayMode> modes = DisplayModes();
    if (modes.empty()) {
        std::printf("no modes\n");
        return;
    }
    const DisplayMode listed = modes.front();
    for (int32_t refresh : {listed.refreshHz, listed.refreshHz + 7, 0}) {
        DisplayMode mode = listed;
        mode.refreshHz = refresh;
        const bool changed = ChangeDisplayMode(&mode);
        std::printf("change %dx%dx%d@%d %s\n", mode.width, mode.height, mode.bitsPerPixel, mode.refreshHz,
                    changed ? "ok" : "refused");
        if (changed)
            ChangeDisplayMode(nullptr);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    int seconds = 30;
    bool tryModes = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--modes") == 0) {
            tryModes = true;
        } else {
            std::fprintf(stderr, "usage: platform_demo [--seconds N] [--modes]\n");
            return 2;
        }
    }
    std::string error;
    if (!SelectSdlBackend(&error)) {
        std::fprintf(stderr, "platform_demo: %s\n", error.c_str());
        return 1;
    }
    std::printf("desktop %dx%d %d-bit\nrefresh %.0f Hz\n", DesktopWidth(), DesktopHeight(), DesktopBitsPerPixel(),
                RefreshRateHz());

    const uint32_t style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const uint32_t exStyle = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;
    Rect rect{100, 100, 100 + width, 100 + height};
    AdjustWindowRectEx(&rect, style, exStyle);
    RegisterClass(WindowClass{"KorvantaPlatformDemo", DemoProcedure, 0});
    const WindowHandle window = CreateWindowEx(exStyle, "KorvantaPlatformDemo", "Korvanta platform demo", style,
                                               rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    if (!window) {
        std::fprintf(stderr, "platform_demo: cannot create the window\n");
        CloseBackend();
        return 1;
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    if (tryModes)
        TryModes();
    EnableInputMethod(window, false);

    std::vector<uint16_t> picture(size_t(width) * height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            picture[size_t(y) * width + x] = stripes[x * 8 / width];

    const uint32_t start = TimeGetTime();
    bool announced = false;
    int exitCode = 0;
    while (!quit) {
        Message message;
        while (PeekMessage(&message, 0, true)) {
            TranslateMessage(message);
            DispatchMessage(message);
        }
        if (quit)
            break;
        Present(window, picture);
        WaitForVerticalBlank();
        const uint32_t elapsed = TimeGetTime() - start;
        if (!announced && elapsed > 500) {
            std::printf("ready\n");
            std::fflush(stdout);
            announced = true;
        }
        if (elapsed > uint32_t(seconds) * 1000) {
            std::fprintf(stderr, "platform_demo: no Escape within %d seconds\n", seconds);
            exitCode = 1;
            break;
        }
    }
    if (IsWindow(window))
        DestroyWindow(window);
    CloseBackend();
    return exitCode;
}
