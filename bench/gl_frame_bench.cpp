// The hardware path (OpenGL) against the memory path on the display at hand,
// in one run: tools/gl_device_probe shows its picture (a clear and 40
// rectangles, presented every 30 ms) first with KORVANTA_GRAPHICS=software,
// then with KORVANTA_GRAPHICS=gl, alternating for several rounds. For each it
// reports the start-up's processor time and, over the measured seconds, the
// processor share of the probe (all its threads, llvmpipe's included) plus
// that of the X server. It always starts an Xvfb of its own (1024 x 768,
// depth 24), so that the server's time is ours to read.
//
//
// Then the battle screen's frame on both paths, on an Xvfb of depth 24 (the
// hardware screen then is 32 bits, the memory screen 16) and of depth 16
// (both 16 bits): the benchmark runs itself as
// a child (--battle-frames N) with KORVANTA_GRAPHICS=software and =gl, which
// starts the program's screen (a 700 x 400 window asking for 16 bits), fills
// both armies (30 boxes), turns the vertical-blank wait off and draws N
// frames as the program does (clear, RunBattleFrame, the frame-rate figure,
// present). Per frame: processor time of the whole child
// (CLOCK_PROCESS_CPUTIME_ID, llvmpipe's threads included), of the X server
// (/proc/PID/stat over the same frames), wall time, and the renderer's draw
// calls, of the whole frame and of the 30 boxes alone.
//
// Usage: gl_frame_bench [SECONDS] [ROUNDS] [FRAMES]   (defaults 5, 3 and 300)
#include "process_clock.h"
#include "xvfb_server.h"

#include "app/battle_data.h"
#include "full_armies.h"
#include "app/battle_driver.h"
#include "app/battle_screen.h"
#include "app/shell.h"
#include "app/shell_state.h"
#include "media/graphics/draw.h"
#include "media/graphics/gl_renderer.h"
#include "media/graphics/screen.h"
#include "media/platform/platform.h"
#include "media/system/lifecycle.h"
#include "media/system/window.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <string>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

struct Result {
    double startMs = -1;      // processor time until the media layer had started
    double probeShare = -1;   // % of one core while showing frames
    double serverShare = -1;
    bool hardware = false;
};

Result RunOnce(const std::string& probe, const std::string& folder, const char* graphics, pid_t server,
               double seconds)
{
    Result result;
    const std::string output = folder + "/" + graphics + ".txt";
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(127);
        setenv("KORVANTA_GRAPHICS", graphics, 1);
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        const std::string hold = std::to_string(int(seconds + 4));
        execl(probe.c_str(), probe.c_str(), "--depth", "16", "--picture", "--hold", hold.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    SleepSeconds(2.5);  // start-up and warm-up
    const double probeStart = ProcessorSeconds(pid), serverStart = ProcessorSeconds(server);
    const double wallStart = MonotonicSeconds();
    SleepSeconds(seconds);
    const double probeEnd = ProcessorSeconds(pid), serverEnd = ProcessorSeconds(server);
    const double wall = MonotonicSeconds() - wallStart;
    int status = 0;
    waitpid(pid, &status, 0);
    if (probeStart >= 0 && probeEnd >= 0) {
        result.probeShare = 100.0 * (probeEnd - probeStart) / wall;
        result.serverShare = 100.0 * (serverEnd - serverStart) / wall;
    }
    FILE* file = std::fopen(output.c_str(), "r");
    char line[256];
    while (file && std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, "started hardware", 16) == 0)
            result.hardware = true;
        std::sscanf(line, "start cpu %lf ms", &result.startMs);
    }
    if (file)
        std::fclose(file);
    return result;
}

// ------------------------------------------------------------ battle frames

double ProcessCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The child: draws the frames and prints one line
// "battle <path> depth <d> boxes <n> frames <n> cpu_us <x> server_us <x> wall_us <x> calls <x> box_calls <x>".
int BattleFrames(int frames)
{
    std::string error;
    if (!media::platform::SelectSdlBackend(&error)) {
        std::fprintf(stderr, "gl_frame_bench: %s\n", error.c_str());
        return 1;
    }
    media::SetScreenMode(700, 400, 16, 60);
    media::SetWindowTitle("GlFrameBench");
    media::ChangeWindowMode(1);
    if (media::InitMediaLibrary() != 0) {
        std::fprintf(stderr, "gl_frame_bench: the media layer did not start\n");
        media::platform::CloseBackend();
        return 1;
    }
    const bool hardware = media::displaySettings.hardwarePath;
    media::SetDrawTarget(media::ScreenBack);
    media::SetWaitVSync(0);
    whiteColor = media::PackColor(255, 255, 255);
    FillFullArmies();
    int live = 0;
    for (const Army& army : battleArmies)
        live += CountLiveMachines(army);
    battleTurn = 100;  // over: the frame draws and counts, the battle is not stepped
    frameRate.averageFrameTime = 30;
    const char* serverText = std::getenv("KORVANTA_BENCH_SERVER_PID");
    const pid_t server = serverText ? pid_t(std::atoi(serverText)) : 0;

    const auto frame = [] {
        media::PumpWindowMessages();
        media::ClearDrawTarget(nullptr);
        RunBattleFrame();
        DrawFrameRate();
        media::PresentScreen();
    };
    for (int i = 0; i < 30; ++i)
        frame();
    const uint64_t callsStart = media::GlDrawCallCount();
    const double cpuStart = ProcessCpuSeconds(), wallStart = MonotonicSeconds();
    const double serverStart = server > 0 ? ProcessorSeconds(server) : -1;
    for (int i = 0; i < frames; ++i)
        frame();
    if (hardware)
        media::GlFlush();
    const double serverEnd = server > 0 ? ProcessorSeconds(server) : -1;
    const double cpu = ProcessCpuSeconds() - cpuStart, wall = MonotonicSeconds() - wallStart;
    const double calls = double(media::GlDrawCallCount() - callsStart) / frames;
    // The boxes alone, between two flushes.
    double boxCalls = 0;
    if (hardware) {
        media::GlFlush();
        const uint64_t before = media::GlDrawCallCount();
        DrawArmy(battleArmies[0], true);
        DrawArmy(battleArmies[1], false);
        media::GlFlush();
        boxCalls = double(media::GlDrawCallCount() - before);
    }
    std::printf("battle %s depth %d boxes %d frames %d cpu_us %.1f server_us %.1f wall_us %.1f calls %.2f "
                "box_calls %.0f\n",
                hardware ? "hardware" : "software", media::ScreenDepth(), live, frames, cpu * 1e6 / frames,
                serverStart >= 0 && serverEnd >= 0 ? (serverEnd - serverStart) * 1e6 / frames : -1.0,
                wall * 1e6 / frames, calls, boxCalls);
    std::fflush(stdout);
    media::EndMediaLibrary();
    media::platform::CloseBackend();
    return 0;
}

// Runs the child for one path in the folder; its result line, or empty.
std::string RunBattleChild(const std::string& folder, const char* graphics, pid_t server, int frames)
{
    const std::string output = folder + "/battle-" + graphics + ".txt";
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(127);
        setenv("KORVANTA_GRAPHICS", graphics, 1);
        setenv("KORVANTA_BENCH_SERVER_PID", std::to_string(server).c_str(), 1);
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        const std::string self = ProgramDirectory() + "/gl_frame_bench";
        const std::string count = std::to_string(frames);
        execl(self.c_str(), self.c_str(), "--battle-frames", count.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    FILE* file = std::fopen(output.c_str(), "r");
    char line[512];
    std::string result;
    while (file && std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, "battle ", 7) == 0)
            result = line;
    }
    if (file)
        std::fclose(file);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--battle-frames") == 0)
        return BattleFrames(std::max(1, std::atoi(argv[2])));
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const int frames = argc > 3 ? std::atoi(argv[3]) : 300;
    if (seconds <= 0 || rounds <= 0 || frames <= 0) {
        std::fprintf(stderr, "usage: gl_frame_bench [SECONDS] [ROUNDS] [FRAMES]\n");
        return 2;
    }
    const std::string probe = ProgramDirectory() + "/../tools/gl_device_probe";
    if (access(probe.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "gl_frame_bench: %s not found\n", probe.c_str());
        return 1;
    }
    unsetenv("DISPLAY");
    const pid_t server = bench::StartXvfbWhenNeeded();
    if (server <= 0) {
        std::fprintf(stderr, "gl_frame_bench: Xvfb could not be started\n");
        return 1;
    }
    char folder[] = "/tmp/korvanta-glbench-XXXXXX";
    if (!mkdtemp(folder)) {
        bench::StopXvfb(server);
        return 1;
    }
    SleepSeconds(1.0);
    std::printf("700 x 400 window, clear + 40 rectangles + present every 30 ms, %.0f s per measurement\n", seconds);
    std::printf("%-6s %-9s %10s %12s %12s %12s\n", "round", "path", "start ms", "process %", "X server %", "sum %");
    for (int round = 1; round <= rounds; ++round) {
        for (const char* graphics : {"software", "gl"}) {
            const Result r = RunOnce(probe, folder, graphics, server, seconds);
            std::printf("%-6d %-9s %10.1f %12.2f %12.2f %12.2f%s\n", round, graphics, r.startMs, r.probeShare,
                        r.serverShare, r.probeShare + r.serverShare,
                        std::strcmp(graphics, "gl") == 0 && !r.hardware ? "  (hardware path not taken)" : "");
            std::fflush(stdout);
        }
    }
    bench::StopXvfb(server);
    for (int serverDepth : {24, 16}) {
        unsetenv("DISPLAY");
        const pid_t battleServer = bench::StartXvfbWhenNeeded(serverDepth);
        if (battleServer <= 0)
            continue;
        SleepSeconds(1.0);
        std::printf("\nbattle-screen frame on Xvfb depth %d (700 x 400 window asking for 16 bits, vertical-blank "
                    "wait off), %d frames, per frame:\n",
                    serverDepth, frames);
        std::printf("%-6s %-9s %6s %6s %12s %12s %12s %10s %10s\n", "round", "path", "depth", "boxes",
                    "process us", "X server us", "wall us", "calls", "box calls");
        for (int round = 1; round <= rounds; ++round) {
            for (const char* graphics : {"software", "gl"}) {
                const std::string line = RunBattleChild(folder, graphics, battleServer, frames);
                char path[16] = {};
                int depth = 0, boxes = 0, count = 0;
                double cpu = -1, serverUs = -1, wall = -1, calls = -1, boxCalls = -1;
                if (std::sscanf(line.c_str(),
                                "battle %15s depth %d boxes %d frames %d cpu_us %lf server_us %lf wall_us %lf "
                                "calls %lf box_calls %lf",
                                path, &depth, &boxes, &count, &cpu, &serverUs, &wall, &calls, &boxCalls) != 9) {
                    std::printf("%-6d %-9s  (no result)\n", round, graphics);
                    continue;
                }
                std::printf("%-6d %-9s %6d %6d %12.1f %12.1f %12.1f %10.2f %10.0f%s\n", round, graphics, depth,
                            boxes, cpu, serverUs, wall, calls, boxCalls,
                            std::strcmp(graphics, "gl") == 0 && std::strcmp(path, "hardware") != 0
                                ? "  (hardware path not taken)"
                                : "");
                std::fflush(stdout);
            }
        }
        bench::StopXvfb(battleServer);
    }
    const std::string cleanup = std::string("rm -rf '") + folder + "'";
    if (std::system(cleanup.c_str()) != 0) {
    }
    return 0;
}
