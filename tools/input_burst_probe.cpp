// Runs the media layer's frame loop in a real window (30 ms frames, the pump
// taking at most five messages per frame) and reports, by frame number, when
// the pointer first moves, when the left button is first seen down and when
// the A key is first seen down. A test sends a burst of pointer moves and then
// a click and a key, and bounds the frames between them.
//
//   input_burst_probe [--seconds N]
#include "media/graphics/screen.h"
#include "media/input/input.h"
#include "media/platform/platform.h"
#include "media/system/lifecycle.h"
#include "media/system/window.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    int seconds = 60;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: input_burst_probe [--seconds N]\n");
            return 2;
        }
    }
    std::string error;
    if (!media::platform::SelectSdlBackend(&error)) {
        std::fprintf(stderr, "input_burst_probe: %s\n", error.c_str());
        return 1;
    }
    media::SetScreenMode(700, 400, 16, 60);
    media::SetWindowTitle("Korvanta input probe");
    media::ChangeWindowMode(1);
    if (media::InitMediaLibrary() == -1) {
        media::platform::CloseBackend();
        return 1;
    }
    media::SetDrawTarget(media::ScreenBack);

    const uint32_t start = media::platform::TimeGetTime();
    int firstX = -100000, firstY = -100000;
    bool moved = false, clicked = false, keyed = false;
    int exitCode = 1;
    for (int frame = 0;; ++frame) {
        const uint32_t frameStart = media::platform::TimeGetTime();
        if (media::PumpWindowMessages() != 0)
            break;
        int x = 0, y = 0;
        media::ReadMousePosition(&x, &y);
        if (frame == 10) {
            firstX = x;
            firstY = y;
            std::printf("ready\n");
        } else if (frame > 10 && !moved && (x != firstX || y != firstY)) {
            moved = true;
            std::printf("moved %d\n", frame);
        }
        if (frame > 10 && !clicked && (media::ReadMouseButtons() & 1)) {
            clicked = true;
            std::printf("button %d\n", frame);
        }
        if (frame > 10 && !keyed && media::ReadKeyState(30)) {
            keyed = true;
            std::printf("key %d\n", frame);
        }
        std::fflush(stdout);
        if (clicked && keyed) {
            exitCode = 0;
            break;
        }
        if (media::platform::TimeGetTime() - start > uint32_t(seconds) * 1000u) {
            std::fprintf(stderr, "input_burst_probe: no click and key within %d seconds\n", seconds);
            break;
        }
        media::ClearDrawTarget(nullptr);
        const uint32_t spent = media::platform::TimeGetTime() - frameStart;
        if (spent < 30)
            media::platform::Sleep(30 - spent);
        media::PresentScreen();
    }
    media::EndMediaLibrary();
    media::platform::CloseBackend();
    return exitCode;
}
