// Drawing speed against memcpy: a full-screen DrawRect fill and DrawImage of
// a 256 x 256 image (opaque, colour key, alpha), in pixels per second, each
// beside a memcpy of the same number of bytes measured in the same run.
//
// The software screen is started without a window, as the tests do.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "media/graphics/draw.h"
#include "media/graphics/image_table.h"
#include "media/graphics/screen.h"
#include "media/platform/platform.h"
#include "media/system/system_state.h"

using namespace media;

namespace {

constexpr int ScreenW = 640, ScreenH = 480;
constexpr int ImageSide = 256;

// Seconds per call of one run of at least 50 ms.
double TimeRun(const std::function<void()>& call)
{
    // <chrono> cannot be compiled for the Shift-JIS execution character set.
    const double frequency = double(platform::QueryPerformanceFrequency());
    long calls = 0;
    const int64_t start = platform::QueryPerformanceCounter();
    double elapsed = 0;
    do {
        call();
        ++calls;
        elapsed = double(platform::QueryPerformanceCounter() - start) / frequency;
    } while (elapsed < 0.05);
    return elapsed / double(calls);
}

// The operation and its memcpy in alternating runs, best of seven each, so
// that both see the same machine load.
struct Pair {
    double operation, copy;
};
Pair SideBySide(const std::function<void()>& operation, const std::function<void()>& copy)
{
    Pair best{1e30, 1e30};
    for (int run = 0; run < 7; ++run) {
        best.operation = std::min(best.operation, TimeRun(operation));
        best.copy = std::min(best.copy, TimeRun(copy));
    }
    return best;
}

void StartScreen(int depth)
{
    EndGraphics();
    systemState = SystemState{};
    displaySettings = DisplaySettings{};
    systemState.windowed = 1;
    systemState.active = 1;
    systemState.usePerformanceCounter = 1;
    systemState.performanceFrequency = platform::QueryPerformanceFrequency();
    SetScreenMode(ScreenW, ScreenH, depth, 0);
    StartGraphics();
    systemState.initialised = 1;
    SetDrawTarget(ScreenBack);
}

ImageHandle MakeTestImage(bool alpha)
{
    const ImageHandle image = MakeEmptyImage(ImageSide, ImageSide, alpha, false);
    PixelRegion pixels;
    GetImagePixels(image, &pixels);
    std::mt19937 random(7);
    for (int y = 0; y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x) {
            // A quarter of the pixels black (keyed out), alpha spread over 0..255.
            const bool black = random() % 4 == 0;
            const Rgba c{uint8_t(black ? 0 : 1 + random() % 255), uint8_t(random()), uint8_t(random()),
                         uint8_t(random())};
            WritePixel(*pixels.format, pixels.At(x, y), c);
        }
    }
    return image;
}

void Report(const char* name, int depth, double pixels, Pair seconds)
{
    std::printf("| %-26s | %2d | %9.1f | %9.1f | %5.2f |\n", name, depth, pixels / seconds.operation / 1e6,
                pixels / seconds.copy / 1e6, seconds.copy / seconds.operation);
}

}  // namespace

int main()
{
    std::printf("| operation | bits | Mpixel/s | memcpy of the same bytes, Mpixel/s | time of memcpy / time of operation |\n");
    std::printf("|---|---|---|---|---|\n");
    for (int depth : {16, 32}) {
        StartScreen(depth);
        const int bytesPerPixel = depth / 8;
        const size_t screenBytes = size_t(ScreenW) * ScreenH * bytesPerPixel;
        std::vector<unsigned char> from(screenBytes, 1), to(screenBytes);
        auto copy = [&](size_t bytes) {
            return [&, bytes] {
                std::memcpy(to.data(), from.data(), bytes);
                asm volatile("" : : "r"(to.data()) : "memory");
            };
        };

        const double screenPixels = double(ScreenW) * ScreenH;
        const ColorValue colour = PackColor(10, 200, 30);
        Report("DrawRect fill 640x480", depth, screenPixels,
               SideBySide([&] { DrawRect(0, 0, ScreenW, ScreenH, colour, 1); }, copy(screenBytes)));

        const double imagePixels = double(ImageSide) * ImageSide;
        const size_t imageBytes = size_t(ImageSide) * ImageSide * bytesPerPixel;
        const ImageHandle plain = MakeTestImage(false);
        const ImageHandle alpha = MakeTestImage(true);
        Report("DrawImage opaque 256x256", depth, imagePixels,
               SideBySide([&] { DrawImage(100, 100, plain, 0); }, copy(imageBytes)));
        Report("DrawImage colour key", depth, imagePixels,
               SideBySide([&] { DrawImage(100, 100, plain, 1); }, copy(imageBytes)));
        Report("DrawImage alpha", depth, imagePixels,
               SideBySide([&] { DrawImage(100, 100, alpha, 1); }, copy(imageBytes)));
        SetDrawBrightness(255, 128, 0);
        Report("DrawImage alpha, tinted", depth, imagePixels,
               SideBySide([&] { DrawImage(100, 100, alpha, 1); }, copy(imageBytes)));
        SetDrawBrightness(255, 255, 255);
        systemState.initialised = 0;
        EndGraphics();
    }
    return 0;
}
