// The hardware path (OpenGL) against the memory path on the display at hand,
// in one run: tools/gl_device_probe shows its picture (a clear and 40
// rectangles, presented every 30 ms) first with KORVANTA_GRAPHICS=software,
// then with KORVANTA_GRAPHICS=gl, alternating for several rounds. For each it
// reports the start-up's processor time and, over the measured seconds, the
// processor share of the probe (all its threads, llvmpipe's included) plus
// that of the X server. It always starts an Xvfb of its own (1024 x 768,
// depth 24), so that the server's time is ours to read.
//
// Usage: gl_frame_bench [SECONDS] [ROUNDS]   (defaults 5 and 3)
#include "process_clock.h"
#include "xvfb_server.h"

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

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (seconds <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: gl_frame_bench [SECONDS] [ROUNDS]\n");
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
    const std::string cleanup = std::string("rm -rf '") + folder + "'";
    if (std::system(cleanup.c_str()) != 0) {
    }
    return 0;
}
