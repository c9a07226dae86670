// Battle statistics on several cores. Prints, measured side by side in one run
// (rounds alternate, medians):
//   (1) processor time per battle with 2 workers against 1 (user + system of
//       this process and its reaped workers; goal <= 1.1: the work does not
//       grow with workers),
//   (2) wall clock with 1 worker against 2 (goal >= 1.8 on an idle 2-core machine),
//   (3) battles per second of --runs (RunBattles with 1 worker: outcome, tally)
//       against the engine benchmark's log-off loop (bench/battle_bench.cpp)
//       on the same battles (goal: the loop at most 1.1 times faster),
// then times the full 27 x 27 matrix with 1000 battles per pair once by
// running korvanta-battle itself (found next to this program's build folder,
// or given as the second argument), and
//   (4) a sweep of 5 values of a weapon's damage, 1,0,0 against 0,2,0 at
//       10,000 battles each, against five separate --runs commands on data
//       files holding those values (goal <= 1.2).
//
// Usage: stats_bench [battles per round, default 100000] [path of korvanta-battle]
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/battle_data.h"
#include "app/battle_data_file.h"
#include "app/battle_driver.h"
#include "app/battle_outcome.h"
#include "app/battle_stats.h"
#include "app/battle_stats_workers.h"
#include "app/random.h"
#include "app/shell_state.h"
#include "media/core/system_state.h"

namespace {

double Now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double Seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) * 1e-6;
}

// Processor time of this process and of its reaped children.
double ProcessorSeconds()
{
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return Seconds(self.ru_utime) + Seconds(self.ru_stime) + Seconds(children.ru_utime) + Seconds(children.ru_stime);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Measure {
    double wall = 0;
    double processor = 0;
};

// The --runs path: RunBattles with the given workers, outcomes tallied in order.
Measure TimeRuns(uint32_t firstSeed, uint64_t battles, int jobs)
{
    BattleWork work;
    work.pairs = {{ArmySetup{1, 1, 1}, ArmySetup{2, 2, 2}}};
    work.firstSeed = firstSeed;
    work.battlesPerPair = battles;
    OutcomeTally tally;
    const OutcomeSink sink = [&](uint64_t, const BattleOutcome* outcomes, size_t count) {
        for (size_t k = 0; k < count; ++k)
            tally.Add(outcomes[k]);
    };
    std::string error;
    const double cpu0 = ProcessorSeconds();
    const double start = Now();
    if (!RunBattles(work, jobs, sink, nullptr, &error)) {
        std::fprintf(stderr, "stats_bench: %s\n", error.c_str());
        std::exit(1);
    }
    Measure m{Now() - start, ProcessorSeconds() - cpu0};
    if (tally.battles != int64_t(battles))
        std::exit(1);
    return m;
}

// The engine benchmark's log-off loop over the same battles.
double TimeEngineLoop(uint32_t firstSeed, uint64_t battles)
{
    SetUpMenuArmies({1, 1, 1}, {2, 2, 2});
    const double start = Now();
    for (uint64_t i = 0; i < battles; ++i) {
        SeedRandom(uint32_t(firstSeed + i));
        battleTurn = 0;
        while (!(AdvanceBattle() == 1 && battleTurn > MeleeTurn)) {
        }
    }
    return Now() - start;
}

std::string DefaultCommandPath(const char* argv0)
{
    std::string self = argv0;
    const size_t slash = self.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : self.substr(0, slash);
    return folder + "/../app/korvanta-battle";
}

// Wall clock of one run of the command, its standard output thrown away.
double TimeCommand(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    const double start = Now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout))
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double elapsed = Now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "stats_bench: %s failed\n", args[0].c_str());
        return -1;
    }
    return elapsed;
}

}  // namespace

int main(int argc, char** argv)
{
    const uint64_t battles = argc > 1 ? std::max(1000ull, std::strtoull(argv[1], nullptr, 10)) : 100000;
    const std::string command = argc > 2 ? argv[2] : DefaultCommandPath(argv[0]);
    const int rounds = 5;

    media::systemState.logDirectory[0] = '\0';
    LoadPilotData();
    LoadWeaponData();
    LoadSquadData();
    std::printf("%d processors; %llu battles of 1,1,1 against 2,2,2 per measurement, %d alternating rounds\n",
                AvailableProcessors(), (unsigned long long)battles, rounds);

    std::vector<double> cpuRatio, wallRatio, loopRatio, rate1, rate2, loopRate;
    uint32_t seed = 1;
    for (int round = 0; round < rounds; ++round) {
        const Measure one = TimeRuns(seed, battles, 1);
        const Measure two = TimeRuns(seed, battles, 2);
        const double loop = TimeEngineLoop(seed, battles);
        seed += uint32_t(battles);
        cpuRatio.push_back(two.processor / one.processor);
        wallRatio.push_back(one.wall / two.wall);
        loopRatio.push_back(one.wall / loop);
        rate1.push_back(double(battles) / one.wall);
        rate2.push_back(double(battles) / two.wall);
        loopRate.push_back(double(battles) / loop);
    }
    std::printf("--runs, 1 worker:           %10.0f battles/s\n", Median(rate1));
    std::printf("--runs, 2 workers:          %10.0f battles/s\n", Median(rate2));
    std::printf("engine loop, log off:       %10.0f battles/s\n", Median(loopRate));
    std::printf("(1) processor time per battle, 2 workers / 1 worker = %.3f (goal <= 1.1)\n", Median(cpuRatio));
    std::printf("(2) wall clock, 1 worker / 2 workers = %.2f (goal >= 1.8 on an idle 2-core machine)\n",
                Median(wallRatio));
    std::printf("(3) time of --runs (1 worker) / engine loop = %.3f (goal <= 1.1)\n", Median(loopRatio));

    const double matrix = TimeCommand({command, "--matrix", "--runs", "1000", "--seed", "1"});
    if (matrix < 0)
        return 1;
    std::printf("full matrix, 27 x 27 pairs x 1000 battles (729000), default jobs: %.2f s, %.0f battles/s\n", matrix,
                729000.0 / matrix);

    // (4) The five data files of the separate runs, in a private folder.
    char folder[] = "/tmp/korvanta-sweep-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    nlohmann::ordered_json document;
    std::string error;
    if (!DocumentFromCatalog(BuiltInCatalog(), &document, &error))
        return 1;
    const std::vector<std::string> pair = {"--runs", "10000", "--army1", "1,0,0", "--army2", "0,2,0"};
    std::vector<std::string> files;
    for (int value = 1; value <= 5; ++value) {
        document["machines"][1]["weapons"][0]["damage"] = value;
        files.push_back(std::string(folder) + "/damage" + std::to_string(value) + ".json");
        FILE* file = std::fopen(files.back().c_str(), "w");
        const std::string text = DataFileText(document);
        if (!file || std::fwrite(text.data(), 1, text.size(), file) != text.size() || std::fclose(file) != 0)
            return 1;
    }
    std::vector<double> sweepRatio;
    for (int round = 0; round < 3; ++round) {
        std::vector<std::string> sweep = {command, "--vary", "/machines/1/weapons/0/damage=1:5:1"};
        sweep.insert(sweep.end(), pair.begin(), pair.end());
        const double swept = TimeCommand(sweep);
        double separate = 0;
        for (const std::string& file : files) {
            std::vector<std::string> run = {command, "--data", file};
            run.insert(run.end(), pair.begin(), pair.end());
            separate += TimeCommand(run);
        }
        if (swept < 0 || separate < 0)
            return 1;
        sweepRatio.push_back(swept / separate);
    }
    for (const std::string& file : files)
        std::remove(file.c_str());
    rmdir(folder);
    std::printf("(4) sweep of 5 values / 5 separate --runs = %.2f (goal <= 1.2)\n", Median(sweepRatio));
    return 0;
}
