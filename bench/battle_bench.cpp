// Whole battles of 1,1,1 against 2,2,2 over varying seeds:
//   (a) with the log written (one open, append and close per piece, into a temp dir),
//   (b) with the log not started (lines are never assembled),
//   (c) a bare loop writing the same lines with open/write/close per line.
// Prints battles per second for each, (b)/(a) and (a)/(c). Rounds alternate
// so that both sides of each ratio see the same machine load.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/battle_data.h"
#include "app/battle_driver.h"
#include "app/random.h"
#include "app/shell_state.h"
#include "media/log/log.h"
#include "media/core/system_state.h"

namespace {

// (<chrono> does not build with the CP932 execution character set.)
double Now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void PrepareArmies()
{
    media::systemState.logDirectory[0] = '\0';
    LoadPilotData();
    LoadWeaponData();
    LoadSquadData();
    for (int row = 0; row < 3; ++row) {
        menuArmies[0].squads[row] = squadCatalog[0];
        menuArmies[1].squads[row] = squadCatalog[1];
    }
}

void RunBattle(uint32_t seed)
{
    SeedRandom(seed);
    battleTurn = 0;
    while (!(AdvanceBattle() == 1 && battleTurn > MeleeTurn)) {
    }
}

double Seconds(double start)
{
    return Now() - start;
}

// Battles per second with the log off, over at least minSeconds.
double SilentRate(uint32_t& seed, double minSeconds)
{
    media::systemState.logDirectory[0] = '\0';
    const double start = Now();
    long battles = 0;
    do {
        for (int i = 0; i < 1000; ++i)
            RunBattle(seed++);
        battles += 1000;
    } while (Seconds(start) < minSeconds);
    return battles / Seconds(start);
}

double LoggedRate(const std::string& directory, uint32_t& seed, int battles)
{
    media::SetLogLocation(directory.c_str(), "Log.txt");
    const double start = Now();
    for (int i = 0; i < battles; ++i) {
        media::LogStart();
        RunBattle(seed++);
    }
    const double rate = battles / Seconds(start);
    media::systemState.logDirectory[0] = '\0';
    return rate;
}

double BareWriteRate(const std::string& path, const std::vector<std::string>& lines, int battles)
{
    const double start = Now();
    for (int i = 0; i < battles; ++i) {
        unlink(path.c_str());
        close(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644));
        for (const std::string& line : lines) {
            const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
            if (fd < 0)
                continue;
            if (write(fd, line.data(), line.size()) < 0) {
            }
            close(fd);
        }
    }
    return battles / Seconds(start);
}

// The lines of one logged battle, each with its CR LF.
std::vector<std::string> CaptureLines(const std::string& directory, uint32_t seed)
{
    media::SetLogLocation(directory.c_str(), "Log.txt");
    media::LogStart();
    RunBattle(seed);
    media::systemState.logDirectory[0] = '\0';
    std::ifstream in(directory + "/Log.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string log = text.str();
    std::vector<std::string> lines;
    for (size_t start = 0; start < log.size();) {
        size_t end = log.find("\r\n", start);
        end = end == std::string::npos ? log.size() : end + 2;
        lines.push_back(log.substr(start, end - start));
        start = end;
    }
    return lines;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    char pattern[] = "/tmp/korvanta-battle-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string directory = made;
    PrepareArmies();

    const std::vector<std::string> lines = CaptureLines(directory, 1);
    size_t bytes = 0;
    for (const std::string& line : lines)
        bytes += line.size();
    std::printf("one battle (seed 1): %zu log lines, %zu bytes\n", lines.size(), bytes);

    uint32_t seed = 1000;
    const int loggedBattles = 100;
    std::vector<double> silent, logged, bare, loggedOverBare;
    for (int round = 0; round < rounds; ++round) {
        silent.push_back(SilentRate(seed, 0.3));
        logged.push_back(LoggedRate(directory, seed, loggedBattles));
        bare.push_back(BareWriteRate(directory + "/Bare.txt", lines, loggedBattles));
        loggedOverBare.push_back(bare.back() / logged.back());
    }

    const double a = Median(logged), b = Median(silent), c = Median(bare);
    std::printf("(a) log written:      %10.1f battles/s\n", a);
    std::printf("(b) log not started: %11.1f battles/s (goal >= 50000)\n", b);
    std::printf("(c) bare open/write/close of the same lines: %.1f battles/s\n", c);
    std::printf("(b)/(a) = %.1f\n", b / a);
    std::printf("(a)/(c) time ratio = %.2f (median of %d alternating rounds; goal <= 1.3)\n", Median(loggedOverBare),
                rounds);

    unlink((directory + "/Log.txt").c_str());
    unlink((directory + "/Bare.txt").c_str());
    rmdir(directory.c_str());
    return 0;
}
