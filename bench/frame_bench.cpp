// Cost of one battle-screen frame, side by side in one run with a bare frame
// of the same screen:
//  (a) ClearDrawTarget, RunBattleFrame of a finished battle (the two
//      prompts, the turn counter, the boxes of 30 machines), the frame-rate
//      text, PresentScreen;
//  (b) ClearDrawTarget and PresentScreen alone.
// The program's screen (700 x 400, 16 bits) on the headless backend, with the
// vertical-blank wait off. Prints medians of wall time, their ratio (goal:
// at most 1.5), and the processor time of (a) against the 30 ms frame.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/battle_data.h"
#include "full_armies.h"
#include "app/battle_driver.h"
#include "app/battle_screen.h"
#include "app/shell.h"
#include "app/shell_state.h"
#include "media/graphics/draw.h"
#include "media/graphics/screen.h"
#include "media/platform/platform.h"
#include "media/system/lifecycle.h"
#include "media/system/window.h"

namespace {

constexpr int Rounds = 2000;
constexpr int WarmUp = 50;

double ClockMicroseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BattleFrame()
{
    media::ClearDrawTarget(nullptr);
    RunBattleFrame();
    DrawFrameRate();
    media::PresentScreen();
}

void BareFrame()
{
    media::ClearDrawTarget(nullptr);
    media::PresentScreen();
}

}  // namespace

int main()
{
    // A folder of its own: the log of the start goes there.
    char folder[] = "/tmp/frame-bench-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) {
        std::perror("frame_bench: temporary folder");
        return 1;
    }
    media::platform::HeadlessOptions options;
    options.desktopId = "frame-bench-" + std::to_string(getpid());
    std::string error;
    if (!media::platform::SelectHeadlessBackend(options, &error)) {
        std::fprintf(stderr, "frame_bench: %s\n", error.c_str());
        return 1;
    }
    media::SetScreenMode(700, 400, 16, 60);
    media::SetWindowTitle("FrameBench");
    media::ChangeWindowMode(1);
    if (media::InitMediaLibrary() != 0) {
        std::fprintf(stderr, "frame_bench: the media layer did not start\n");
        return 1;
    }
    media::SetDrawTarget(media::ScreenBack);
    media::SetWaitVSync(0);
    whiteColor = media::PackColor(255, 255, 255);
    FillFullArmies();
    int live = 0;
    for (const Army& army : battleArmies)
        live += CountLiveMachines(army);
    battleTurn = 100;  // over: the frame draws and counts, the battle is not stepped
    frameRate.averageFrameTime = 30;  // the figure shows from here on

    std::vector<double> battleWall, bareWall, battleCpu;
    for (int i = 0; i < WarmUp + Rounds; ++i) {
        media::PumpWindowMessages();
        double wall = ClockMicroseconds(CLOCK_MONOTONIC);
        const double cpu = ClockMicroseconds(CLOCK_PROCESS_CPUTIME_ID);
        BattleFrame();
        const double battleCpuTime = ClockMicroseconds(CLOCK_PROCESS_CPUTIME_ID) - cpu;
        const double battleTime = ClockMicroseconds(CLOCK_MONOTONIC) - wall;
        media::PumpWindowMessages();
        wall = ClockMicroseconds(CLOCK_MONOTONIC);
        BareFrame();
        const double bareTime = ClockMicroseconds(CLOCK_MONOTONIC) - wall;
        if (i >= WarmUp) {
            battleWall.push_back(battleTime);
            battleCpu.push_back(battleCpuTime);
            bareWall.push_back(bareTime);
        }
    }
    media::EndMediaLibrary();
    media::platform::CloseBackend();
    std::string command = std::string("rm -rf '") + folder + "'";
    if (std::system(command.c_str()) != 0) {
    }

    const double a = Median(battleWall), b = Median(bareWall), cpu = Median(battleCpu);
    std::printf("700x400x16 headless frame, vertical-blank wait off, median of %d:\n", Rounds);
    std::printf("  (a) battle-screen frame (%d boxes, prompts, figure)  %8.1f us\n", live, a);
    std::printf("  (b) clear + present                                 %8.1f us\n", b);
    std::printf("  ratio (a)/(b)                                       %8.2f   goal <= 1.5\n", a / b);
    std::printf("  (a) processor time                                  %8.1f us = %.2f %% of the 30 ms frame\n",
                cpu, cpu / 300.0);
    return 0;
}
