// Processor time of the idle frame loop: korvanta showing its window at one
// frame per 30 ms, next to a plain SDL loop that lets SDL convert a 16-bit
// surface into the window each frame at the same pace. Both run in the same
// session of this program, each for the same time, on the same X display
// (an Xvfb of its own when there is no DISPLAY); their processor time is read
// from /proc/PID/stat.
//
// Usage: idle_cpu_bench [SECONDS]   (default 10)
#include "process_clock.h"
#include "xvfb_server.h"
#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <string>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

// Lets a process run for the warm-up, then measures its processor share over
// the measuring time; ends it afterwards.
double MeasureShare(pid_t pid, double warmUpSeconds, double seconds)
{
    SleepSeconds(warmUpSeconds);
    const double startCpu = ProcessorSeconds(pid);
    const double startWall = MonotonicSeconds();
    SleepSeconds(seconds);
    const double endCpu = ProcessorSeconds(pid);
    const double endWall = MonotonicSeconds();
    int status = 0;
    const bool ended = waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) {
        kill(pid, SIGTERM);
        waitpid(pid, &status, 0);
    }
    if (ended || startCpu < 0 || endCpu < 0)
        return -1;  // a program that ended early measured nothing
    return 100.0 * (endCpu - startCpu) / (endWall - startWall);
}

pid_t StartKorvanta(const std::string& program, const std::string& folder)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(127);
        const int output = open("output.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(output, 1);
        dup2(output, 2);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// The plain loop: a 700 x 400 window, a 16-bit surface converted by SDL into
// the window surface every frame, frames paced to 30 ms.
[[noreturn]] void RunPlainSdlLoop()
{
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        _exit(1);
    SDL_Window* window = SDL_CreateWindow("plain", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 700, 400, 0);
    SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, 700, 400, 16, SDL_PIXELFORMAT_RGB565);
    if (!window || !screen)
        _exit(1);
    uint32_t next = SDL_GetTicks();
    for (;;) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT)
                _exit(0);
        }
        SDL_FillRect(screen, nullptr, 0);
        SDL_BlitSurface(screen, nullptr, SDL_GetWindowSurface(window), nullptr);
        SDL_UpdateWindowSurface(window);
        next += 30;
        const uint32_t now = SDL_GetTicks();
        if (int32_t(next - now) > 0)
            SDL_Delay(next - now);
        else
            next = now;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: idle_cpu_bench [SECONDS]\n");
        return 2;
    }
    const std::string program = ProgramDirectory() + "/../app/korvanta";
    if (access(program.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "idle_cpu_bench: %s not found\n", program.c_str());
        return 1;
    }
    const pid_t xvfb = bench::StartXvfbWhenNeeded();
    if (xvfb < 0) {
        std::fprintf(stderr, "idle_cpu_bench: no DISPLAY and Xvfb could not be started\n");
        return 1;
    }

    char folder[] = "/tmp/korvanta-idle-XXXXXX";
    if (!mkdtemp(folder)) {
        std::fprintf(stderr, "idle_cpu_bench: no temporary folder\n");
        return 1;
    }

    const double warmUp = 2.0;
    // A display that has only just come up may turn the first client away:
    // a start that ends at once is tried again.
    pid_t korvanta = -1;
    for (int attempt = 0; attempt < 10; ++attempt) {
        korvanta = StartKorvanta(program, folder);
        SleepSeconds(1.0);
        if (waitpid(korvanta, nullptr, WNOHANG) == 0)
            break;
        korvanta = -1;
    }
    const double korvantaShare = korvanta > 0 ? MeasureShare(korvanta, warmUp, seconds) : -1;

    const pid_t plain = fork();
    if (plain == 0)
        RunPlainSdlLoop();
    const double plainShare = MeasureShare(plain, warmUp, seconds);

    bench::StopXvfb(xvfb);
    if (korvantaShare >= 0) {
        const std::string cleanup = std::string("rm -rf '") + folder + "'";
        if (std::system(cleanup.c_str()) != 0) {
        }
    } else {
        std::fprintf(stderr, "idle_cpu_bench: korvanta's log is kept in %s\n", folder);
    }

    if (korvantaShare < 0 || plainShare < 0) {
        std::fprintf(stderr, "idle_cpu_bench: a loop ended early or its processor time could not be read "
                             "(korvanta %.2f, plain SDL %.2f)\n", korvantaShare, plainShare);
        return 1;
    }
    std::printf("Idle frame loop over %.0f s (30 ms frames, 700 x 400, 16-bit screen):\n", seconds);
    std::printf("  korvanta            %6.2f %% of one core\n", korvantaShare);
    std::printf("  plain SDL loop      %6.2f %% of one core\n", plainShare);
    std::printf("  ratio korvanta/SDL  %6.2f\n", plainShare > 0 ? korvantaShare / plainShare : 0.0);
    std::printf("  goal: korvanta under 2 %%: %s\n", korvantaShare < 2.0 ? "met" : "NOT met");
    return 0;
}
