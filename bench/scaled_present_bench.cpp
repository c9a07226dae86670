// The present of korvanta --scale 2, side by side in one run:
//  (a) PresentScreen of the battle screen (700 x 400, 16 bits, memory path)
//      into the 1400 x 800 window the window-size rates make: widened and
//      stretched (nearest) by the platform layer;
//  (b) a bare SDL present of the same frame: a 16-bit surface stretched with
//      SDL_BlitScaled onto a 1400 x 800 window surface, then
//      SDL_UpdateWindowSurface;
//  (c) the same in two SDL steps: widened onto a 700 x 400 surface in the
//      window's format, then stretched with SDL_BlitScaled (same formats:
//      SDL's own stretch), then SDL_UpdateWindowSurface.
// Two frames alternate (the frame-rate figure differs), so that neither side
// shows a still frame. Starts its own Xvfb (1600 x 900, depth 24) when
// DISPLAY is not set. Prints medians and their ratio.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/battle_data.h"
#include "app/battle_driver.h"
#include "app/battle_screen.h"
#include "app/shell.h"
#include "app/shell_state.h"
#include "full_armies.h"
#include "media/graphics/draw.h"
#include "media/graphics/screen.h"
#include "media/platform/platform.h"
#include "media/system/lifecycle.h"
#include "media/system/window.h"
#include "xvfb_server.h"

namespace {

constexpr int Width = 700, Height = 400, Scale = 2;
constexpr int Rounds = 300;
constexpr int WarmUp = 20;

double Microseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Takes the windows' messages (the bare window's events too) without the
// media layer's pump, which would hold the loop if focus moved away.
void Pump()
{
    media::platform::Message message;
    while (media::platform::PeekMessage(&message, 0, true))
        media::platform::DispatchMessage(message);
}

// Draws battle frame `variant` (0 or 1: the figure's two values) on the back
// screen.
void DrawBattleFrame(int variant)
{
    frameRate.averageFrameTime = 30 + variant;
    media::ClearDrawTarget(nullptr);
    RunBattleFrame();
    DrawFrameRate();
}

bool ReadFrame(std::vector<uint16_t>* frame)
{
    std::vector<uint32_t> words(size_t(Width) * Height);
    if (!media::ReadTargetWords(media::ScreenBack, 0, 0, Width, Height, words.data()))
        return false;
    frame->resize(words.size());
    for (size_t i = 0; i < words.size(); ++i)
        (*frame)[i] = uint16_t(words[i]);
    return true;
}

int Run()
{
    // The bare window first: a window made later takes the focus, and the
    // media layer's calls hold while its window is inactive.
    SDL_Window* bare = SDL_CreateWindow("bare SDL", 0, 0, Width * Scale, Height * Scale,
                                        SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS);
    media::SetScreenMode(Width, Height, 16, 60);
    media::SetWindowTitle("ScaledPresentBench");
    media::ChangeWindowMode(1);
    media::SetWindowSizeRate(Scale, Scale);
    if (media::InitMediaLibrary() != 0) {
        std::fprintf(stderr, "scaled_present_bench: the media layer did not start\n");
        return 1;
    }
    media::SetDrawTarget(media::ScreenBack);
    media::SetWaitVSync(0);
    whiteColor = media::PackColor(255, 255, 255);
    FillFullArmies();
    battleTurn = 100;  // over: the frame draws, the battle is not stepped

    std::vector<uint16_t> frames[2];
    for (int variant = 0; variant < 2; ++variant) {
        DrawBattleFrame(variant);
        if (!ReadFrame(&frames[variant])) {
            std::fprintf(stderr, "scaled_present_bench: the screen cannot be read\n");
            return 1;
        }
    }
    SDL_Surface* sources[2] = {};
    for (int variant = 0; variant < 2; ++variant)
        sources[variant] = SDL_CreateRGBSurfaceWithFormatFrom(frames[variant].data(), Width, Height, 16, Width * 2,
                                                              SDL_PIXELFORMAT_RGB565);
    if (!bare || !sources[0] || !sources[1]) {
        std::fprintf(stderr, "scaled_present_bench: cannot make the bare side: %s\n", SDL_GetError());
        return 1;
    }

    SDL_Surface* widened = SDL_CreateRGBSurfaceWithFormat(0, Width, Height, 32,
                                                          SDL_GetWindowSurface(bare)->format->format);
    if (!widened) {
        std::fprintf(stderr, "scaled_present_bench: cannot make the widened surface: %s\n", SDL_GetError());
        return 1;
    }
    std::vector<double> oursTimes, sdlTimes, twoStepTimes;
    for (int i = 0; i < WarmUp + Rounds; ++i) {
        const int variant = i & 1;
        Pump();
        DrawBattleFrame(variant);
        double start = Microseconds();
        media::PresentScreen();
        const double ours = Microseconds() - start;
        start = Microseconds();
        SDL_Surface* surface = SDL_GetWindowSurface(bare);
        SDL_BlitScaled(sources[variant], nullptr, surface, nullptr);
        SDL_UpdateWindowSurface(bare);
        const double sdl = Microseconds() - start;
        start = Microseconds();
        surface = SDL_GetWindowSurface(bare);
        SDL_BlitSurface(sources[variant], nullptr, widened, nullptr);
        SDL_BlitScaled(widened, nullptr, surface, nullptr);
        SDL_UpdateWindowSurface(bare);
        const double twoSteps = Microseconds() - start;
        if (i >= WarmUp) {  // the first rounds map the windows and fill caches
            oursTimes.push_back(ours);
            sdlTimes.push_back(sdl);
            twoStepTimes.push_back(twoSteps);
        }
    }
    const double a = Median(oursTimes), b = Median(sdlTimes), c = Median(twoStepTimes);
    std::printf("scale-2 present of the battle screen (700x400x16 into 1400x800, %s), median of %d:\n",
                SDL_GetCurrentVideoDriver(), Rounds);
    std::printf("  PresentScreen (memory path, rates 2)   %8.1f us\n", a);
    std::printf("  bare SDL_BlitScaled + update           %8.1f us\n", b);
    std::printf("  ratio ours/SDL                         %8.2f\n", a / b);
    std::printf("  bare SDL widen, BlitScaled + update    %8.1f us\n", c);
    std::printf("  ratio ours/SDL two steps               %8.2f\n", a / c);
    SDL_FreeSurface(widened);
    for (SDL_Surface* source : sources)
        SDL_FreeSurface(source);
    SDL_DestroyWindow(bare);
    media::EndMediaLibrary();
    return 0;
}

}  // namespace

int main()
{
    const pid_t xvfb = bench::StartXvfbWhenNeeded(24, "1600x900");
    if (xvfb < 0) {
        std::fprintf(stderr, "scaled_present_bench: no DISPLAY and Xvfb did not start\n");
        return 1;
    }
    // The memory path: the one whose present the platform layer stretches.
    setenv("KORVANTA_GRAPHICS", "software", 1);
    // A folder of its own: the log of the start goes there.
    char folder[] = "/tmp/scaled-present-bench-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) {
        std::perror("scaled_present_bench: temporary folder");
        bench::StopXvfb(xvfb);
        return 1;
    }
    std::string error;
    int result = 1;
    if (media::platform::SelectSdlBackend(&error))
        result = Run();
    else
        std::fprintf(stderr, "scaled_present_bench: %s\n", error.c_str());
    media::platform::CloseBackend();
    const std::string command = std::string("rm -rf '") + folder + "'";
    if (std::system(command.c_str()) != 0) {
    }
    bench::StopXvfb(xvfb);
    return result;
}
