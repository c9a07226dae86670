// Presentation cost, measured side by side in one run:
//  1. widening a 700 x 400 R5G6B5 frame to X8R8G8B8: our bit-replicating
//     table against SDL_ConvertPixels (which does not replicate the bits);
//  2. one present of that frame: PresentBitmap against a bare SDL present of
//     the same buffer (blit to the window surface, update).
// Starts its own Xvfb when DISPLAY is not set. Prints medians and ratios.
#include "xvfb_server.h"
#include "media/platform/bitmap_blit.h"
#include "media/platform/platform.h"

#include <SDL.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace media::platform;

constexpr int32_t width = 700, height = 400;
constexpr int rounds = 300;

double Microseconds(int64_t ticks)
{
    return double(ticks) * 1e6 / double(QueryPerformanceFrequency());
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void MeasureExpansion(const std::vector<uint16_t>& frame)
{
    std::vector<uint32_t> ours(frame.size()), sdl(frame.size());
    std::vector<double> oursTimes, sdlTimes;
    for (int i = 0; i < rounds; ++i) {
        int64_t start = QueryPerformanceCounter();
        ExpandRgb565(frame.data(), ours.data(), frame.size());
        oursTimes.push_back(Microseconds(QueryPerformanceCounter() - start));
        start = QueryPerformanceCounter();
        SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB565, frame.data(), width * 2, SDL_PIXELFORMAT_RGB888,
                          sdl.data(), width * 4);
        sdlTimes.push_back(Microseconds(QueryPerformanceCounter() - start));
    }
    size_t differ = 0;
    for (size_t i = 0; i < frame.size(); ++i)
        differ += (ours[i] & 0xFFFFFF) != (sdl[i] & 0xFFFFFF);
    const uint16_t green = 0x07E0;
    uint32_t sdlGreen = 0;
    SDL_ConvertPixels(1, 1, SDL_PIXELFORMAT_RGB565, &green, 2, SDL_PIXELFORMAT_RGB888, &sdlGreen, 4);
    const double a = Median(oursTimes), b = Median(sdlTimes);
    std::printf("16->32 widening, 700x400, median of %d:\n", rounds);
    std::printf("  ours (bit replication)   %8.1f us\n", a);
    std::printf("  SDL_ConvertPixels        %8.1f us\n", b);
    std::printf("  ratio ours/SDL           %8.2f\n", a / b);
    std::printf("  pixels SDL gets wrong    %zu of %zu (0x07E0 -> green %u, ours 255)\n", differ, frame.size(),
                unsigned((sdlGreen >> 8) & 0xFF));
}

intptr_t Procedure(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    return DefWindowProc(window, message, wParam, lParam);
}

void Pump()
{
    Message message;
    while (PeekMessage(&message, 0, true))
        DispatchMessage(message);
}

bool MeasurePresent(const std::vector<uint16_t>& frame)
{
    std::string error;
    if (!SelectSdlBackend(&error)) {
        std::fprintf(stderr, "present_bench: %s\n", error.c_str());
        return false;
    }
    RegisterClass(WindowClass{"PresentBench", Procedure, 0});
    const WindowHandle window = CreateWindowEx(0, "PresentBench", "ours", WS_POPUP, 0, 0, width, height);
    ShowWindow(window, SW_SHOW);

    // The bare SDL side: its own window, the frame blitted through SDL's converter.
    SDL_Window* bare = SDL_CreateWindow("bare SDL", 0, 0, width, height, SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS);
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint16_t*>(frame.data()), width, height, 16,
                                                             width * 2, SDL_PIXELFORMAT_RGB565);
    if (!window || !bare || !source) {
        std::fprintf(stderr, "present_bench: cannot make the windows: %s\n", SDL_GetError());
        CloseBackend();
        return false;
    }
    const BitmapDescription bitmap{width, height, 16, width * 2, 0xF800, 0x07E0, 0x001F};
    const Rect all{0, 0, width, height};
    std::vector<double> oursTimes, sdlTimes;
    for (int i = 0; i < rounds + 20; ++i) {
        Pump();
        int64_t start = QueryPerformanceCounter();
        PresentBitmap(window, frame.data(), bitmap, all, all);
        const double ours = Microseconds(QueryPerformanceCounter() - start);
        start = QueryPerformanceCounter();
        SDL_Surface* surface = SDL_GetWindowSurface(bare);
        SDL_BlitSurface(source, nullptr, surface, nullptr);
        SDL_UpdateWindowSurface(bare);
        const double sdl = Microseconds(QueryPerformanceCounter() - start);
        if (i >= 20) {  // the first rounds map the windows and fill caches
            oursTimes.push_back(ours);
            sdlTimes.push_back(sdl);
        }
    }
    const double a = Median(oursTimes), b = Median(sdlTimes);
    std::printf("present of a 700x400 16-bit frame (%s), median of %d:\n", SDL_GetCurrentVideoDriver(), rounds);
    std::printf("  PresentBitmap            %8.1f us\n", a);
    std::printf("  bare SDL blit + update   %8.1f us\n", b);
    std::printf("  ratio ours/SDL           %8.2f\n", a / b);
    SDL_FreeSurface(source);
    SDL_DestroyWindow(bare);
    CloseBackend();
    return true;
}

}  // namespace

int main()
{
    const pid_t xvfb = bench::StartXvfbWhenNeeded();
    if (xvfb < 0)
        std::fprintf(stderr, "present_bench: no DISPLAY and Xvfb did not start; measuring the widening only\n");
    // A frame that uses every 16-bit value, repeated.
    std::vector<uint16_t> frame(size_t(width) * height);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = uint16_t(i * 40503u);
    SDL_Init(0);
    MeasureExpansion(frame);
    const bool presented = MeasurePresent(frame);
    SDL_Quit();
    bench::StopXvfb(xvfb);
    return presented ? 0 : 1;
}
