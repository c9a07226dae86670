// Drawing speed against memcpy: a full-screen DrawRect fill and DrawImage of
// a 256 x 256 image (opaque, colour key, alpha), in pixels per second, each
// beside a memcpy of the same number of bytes measured in the same run.
//
// Then the blending blits against SDL_BlitSurface on the same pixels: an
// ARGB8888 surface holding the image's colours and alphas blitted onto an
// RGB565 or XRGB8888 surface of the screen's size, alternating run by run
// with our DrawImage; the ratio is SDL's time over ours (above 1.0: ours is
// faster).
//
// The software screen is started without a window, as the tests do.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "media/graphics/blend_rows.h"
#include "media/graphics/draw.h"
#include "media/graphics/image_table.h"
#include "media/graphics/screen.h"
#include "media/platform/platform.h"
#include "media/core/system_state.h"

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

// An ARGB8888 surface with the colours and alphas of an image.
SDL_Surface* SurfaceOf(ImageHandle image)
{
    PixelRegion pixels;
    GetImagePixels(image, &pixels);
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, pixels.width, pixels.height, 32, SDL_PIXELFORMAT_ARGB8888);
    for (int y = 0; y < pixels.height; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch);
        for (int x = 0; x < pixels.width; ++x) {
            const Rgba c = ReadPixel(*pixels.format, pixels.At(x, y));
            row[x] = uint32_t(c.a) << 24 | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
        }
    }
    return surface;
}

const char* LevelName(BlitKernelLevel level)
{
    return level == BlitKernelLevel::Avx2 ? "AVX2" : level == BlitKernelLevel::Sse2 ? "SSE2" : "per pixel";
}

struct SdlCase {
    const char* name;
    int mode;                 // our blend mode
    bool tinted;              // draw brightness (255, 128, 0) / SDL colour mod
    SDL_BlendMode sdlMode;    // SDL_BLENDMODE_INVALID: ours only
};

// Best times of our blit at the processor's level, with the SSE2 rows and
// with the per-pixel loop.
struct Timings {
    double best = 1e30, sse2 = 1e30, reference = 1e30;
};
void MeasureOurs(const std::function<void()>& ours, Timings* t)
{
    t->best = std::min(t->best, TimeRun(ours));
    SetBlitKernelLevel(BlitKernelLevel::Sse2);
    t->sse2 = std::min(t->sse2, TimeRun(ours));
    SetBlitKernelLevel(BlitKernelLevel::Scalar);
    t->reference = std::min(t->reference, TimeRun(ours));
    SetBlitKernelLevel(SupportedBlitKernelLevel());
}

void CompareWithSdl(int depth)
{
    StartScreen(depth);
    const ImageHandle alpha = MakeTestImage(true);
    SDL_Surface* source = SurfaceOf(alpha);
    SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(
        0, ScreenW, ScreenH, depth, depth == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888);
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 40, 90, 160));
    DrawRect(0, 0, ScreenW, ScreenH, PackColor(40, 90, 160), 1);

    const SdlCase cases[] = {
        {"alpha", 0, false, SDL_BLENDMODE_BLEND},
        {"alpha, tinted", 0, true, SDL_BLENDMODE_BLEND},
        {"add (mode 2)", 2, false, SDL_BLENDMODE_ADD},
        {"modulate (mode 4)", 4, false, SDL_BLENDMODE_MOD},
        {"subtract (mode 3)", 3, false, SDL_BLENDMODE_INVALID},
    };
    const double imagePixels = double(ImageSide) * ImageSide;
    for (const SdlCase& c : cases) {
        SetBlendState(c.mode, 255);
        SetDrawBrightness(255, c.tinted ? 128 : 255, c.tinted ? 0 : 255);
        SDL_SetSurfaceColorMod(source, 255, c.tinted ? 128 : 255, c.tinted ? 0 : 255);
        auto ours = [&] { DrawImage(100, 100, alpha, 1); };
        if (c.sdlMode == SDL_BLENDMODE_INVALID) {
            Timings t;
            for (int run = 0; run < 7; ++run)
                MeasureOurs(ours, &t);
            std::printf("| %-18s | %2d | %8.1f | %8.1f | %8.1f | (SDL has none) | |\n", c.name, depth,
                        imagePixels / t.best / 1e6, imagePixels / t.sse2 / 1e6, imagePixels / t.reference / 1e6);
            continue;
        }
        SDL_SetSurfaceBlendMode(source, c.sdlMode);
        auto sdl = [&] {
            SDL_Rect at{100, 100, ImageSide, ImageSide};
            SDL_BlitSurface(source, nullptr, screen, &at);
        };
        Timings t;
        double sdlBest = 1e30;
        for (int run = 0; run < 7; ++run) {
            MeasureOurs(ours, &t);
            sdlBest = std::min(sdlBest, TimeRun(sdl));
        }
        std::printf("| %-18s | %2d | %8.1f | %8.1f | %8.1f | %8.1f | %5.2f |\n", c.name, depth,
                    imagePixels / t.best / 1e6, imagePixels / t.sse2 / 1e6, imagePixels / t.reference / 1e6,
                    imagePixels / sdlBest / 1e6, sdlBest / t.best);
    }
    SetBlendState(0, 255);
    SetDrawBrightness(255, 255, 255);
    SDL_FreeSurface(screen);
    SDL_FreeSurface(source);
    systemState.initialised = 0;
    EndGraphics();
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

    std::printf("\nBlending blits of the 256x256 alpha image, ours (%s rows) against SDL_BlitSurface %d.%d.%d:\n\n",
                LevelName(SupportedBlitKernelLevel()), SDL_MAJOR_VERSION, SDL_MINOR_VERSION, SDL_PATCHLEVEL);
    std::printf("| blit | bits | ours, Mpixel/s | ours SSE2, Mpixel/s | ours per pixel, Mpixel/s | SDL, Mpixel/s | "
                "ours/SDL (time of SDL / time of ours) |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (int depth : {16, 32})
        CompareWithSdl(depth);
    return 0;
}
