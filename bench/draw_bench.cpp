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

// Best of five runs of at least 50 ms each: seconds per call.
double SecondsPerCall(const std::function<void()>& call)
{
    // <chrono> cannot be compiled for the Shift-JIS execution character set.
    const double frequency = double(platform::QueryPerformanceFrequency());
    double best = 1e30;
    for (int run = 0; run < 5; ++run) {
        long calls = 0;
        const int64_t start = platform::QueryPerformanceCounter();
        double elapsed = 0;
        do {
            call();
            ++calls;
            elapsed = double(platform::QueryPerformanceCounter() - start) / frequency;
        } while (elapsed < 0.05);
        best = std::min(best, elapsed / double(calls));
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

void Report(const char* name, int depth, double pixels, double seconds, double memcpySeconds)
{
    std::printf("| %-26s | %2d | %9.1f | %9.1f | %6.2f |\n", name, depth, pixels / seconds / 1e6,
                pixels / memcpySeconds / 1e6, memcpySeconds / seconds);
}

}  // namespace

int main()
{
    std::printf("| operation                  | bits | Mpixel/s | memcpy Mpixel/s | ratio to memcpy |\n");
    std::printf("|---|---|---|---|---|\n");
    for (int depth : {16, 32}) {
        StartScreen(depth);
        const int bytesPerPixel = depth / 8;
        const size_t screenBytes = size_t(ScreenW) * ScreenH * bytesPerPixel;
        std::vector<unsigned char> from(screenBytes, 1), to(screenBytes);
        auto copy = [&](size_t bytes) {
            return SecondsPerCall([&] {
                std::memcpy(to.data(), from.data(), bytes);
                asm volatile("" : : "r"(to.data()) : "memory");
            });
        };

        const double screenPixels = double(ScreenW) * ScreenH;
        const double copyScreen = copy(screenBytes);
        const ColorValue colour = PackColor(10, 200, 30);
        Report("DrawRect fill 640x480", depth, screenPixels,
               SecondsPerCall([&] { DrawRect(0, 0, ScreenW, ScreenH, colour, 1); }), copyScreen);

        const double imagePixels = double(ImageSide) * ImageSide;
        const double copyImage = copy(size_t(ImageSide) * ImageSide * bytesPerPixel);
        const ImageHandle plain = MakeTestImage(false);
        const ImageHandle alpha = MakeTestImage(true);
        Report("DrawImage opaque 256x256", depth, imagePixels, SecondsPerCall([&] { DrawImage(100, 100, plain, 0); }),
               copyImage);
        Report("DrawImage colour key", depth, imagePixels, SecondsPerCall([&] { DrawImage(100, 100, plain, 1); }),
               copyImage);
        Report("DrawImage alpha", depth, imagePixels, SecondsPerCall([&] { DrawImage(100, 100, alpha, 1); }),
               copyImage);
        SetDrawBrightness(255, 128, 0);
        Report("DrawImage alpha, tinted", depth, imagePixels, SecondsPerCall([&] { DrawImage(100, 100, alpha, 1); }),
               copyImage);
        SetDrawBrightness(255, 255, 255);
        systemState.initialised = 0;
        EndGraphics();
    }
    return 0;
}
