// korvanta-battle: runs one battle without a window and writes its log, or
// many battles without a log and prints their statistics.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/battle_data.h"
#include "app/battle_data_file.h"
#include "app/battle_outcome.h"
#include "app/battle_stats.h"
#include "app/battle_stats_chart.h"
#include "app/battle_stats_files.h"
#include "app/battle_stats_progress.h"
#include "app/battle_stats_workers.h"
#include "app/random.h"
#include "app/shift_jis_text.h"
#include "media/log/log.h"
#include "media/system/memory.h"
#include "media/system/system_state.h"

namespace {

constexpr int Failed = 1;
constexpr int BadArguments = 2;
constexpr int MostJobs = 256;

const char UsageText[] =
    "Usage: korvanta-battle --army1 X,Y,Z --army2 X,Y,Z [options]\n"
    "       korvanta-battle --runs N --army1 X,Y,Z --army2 X,Y,Z [statistics options]\n"
    "       korvanta-battle --matrix --runs N [--army1 LIST] [--army2 LIST] [statistics options]\n"
    "       korvanta-battle --dump-data FILE [--data FILE]\n"
    "\n"
    "Runs one battle without a window and writes its log (Shift-JIS, CR LF), or\n"
    "runs many battles without a log and prints how they came out.\n"
    "\n"
    "  --army1 X,Y,Z        squad rows 1 to 3 of the first army (army A)\n"
    "  --army2 X,Y,Z        squad rows 1 to 3 of the second army (army B)\n"
    "                       each row: 0 empty, 1 the first catalogue squad (three\n"
    "                       Volte), 2 the second (three Duga), and so on up to the\n"
    "                       number of squads a --data file holds\n"
    "  --data FILE          battle data (JSON; see docs/BATTLE_DATA.md) in place of\n"
    "                       the built-in pilots, machine types and squads; a file\n"
    "                       with a fault is named with the place and the fault, and\n"
    "                       the command ends with status 2 before any battle\n"
    "  --dump-data FILE     write the data in use (the built-in data without --data)\n"
    "                       as a battle data file, and run nothing\n"
    "  --seed S             seed of the random generator; any integer, its low\n"
    "                       32 bits are used (default: the current time in seconds;\n"
    "                       1 with --runs)\n"
    "  --log PATH           the log file (default: Log.txt in the current directory);\n"
    "                       it is emptied first. A log that cannot be written loses\n"
    "                       its text and is named once on standard error; the\n"
    "                       battle still runs and the exit status stays 0\n"
    "  --restart-at F1,F2   hold R (restart the battle) during these frames,\n"
    "                       counted from 0; the command runs at least until the last\n"
    "  --utf8               also print the log on standard output in UTF-8 (even\n"
    "                       when the file cannot be written)\n"
    "  --log-echo           also print the log on standard error in UTF-8 (likewise)\n"
    "                       (or set KORVANTA_LOG_ECHO=1)\n"
    "  --help               show this text\n"
    "\n"
    "Statistics (the log is not started; --log, --utf8 and --restart-at are refused):\n"
    "  --runs N             N battles per pair of setups, with seeds S, S+1, ...,\n"
    "                       S+N-1 (modulo 2^32); each plays exactly as the single\n"
    "                       battle with that seed. N is 1 to 4294967295\n"
    "  --matrix             every army-1 setup against every army-2 setup: all 27\n"
    "                       of each, or the lists given as --army1 1,0,0:2,2,2\n"
    "                       (setups separated by colons, each at most once); needs\n"
    "                       --runs. Every setup is taken only up to 4 squads (125\n"
    "                       setups); a larger catalogue needs both lists\n"
    "  --json               print the summary as JSON instead of text\n"
    "  --csv FILE           write a CSV file: one row per battle with --runs, one\n"
    "                       row per pair of setups with --matrix\n"
    "  --chart FILE.png     draw a chart: the ending turns of a single setup, or a\n"
    "                       heat map of army 1's share of wins for --matrix (at\n"
    "                       most 125 setups a side)\n"
    "  --jobs J             battles spread over J worker processes (default: the\n"
    "                       number of processors); the output is the same for any J\n"
    "  --timing             print battles per second and the time taken on standard\n"
    "                       error even when it is not a terminal\n"
    "\n"
    "The summary goes to standard output; a progress line and the timing go to\n"
    "standard error when it is a terminal. Files are written under a temporary\n"
    "name and renamed when complete. See docs/STATISTICS.md for the outcomes.\n"
    "\n"
    "The battle runs one turn per frame until it is over. Exit status: 0 when the\n"
    "battle (or every battle) ran, 1 when an output could not be written, 2 for\n"
    "bad arguments.\n";

struct Options {
    uint32_t seed = 0;
    bool seedGiven = false;
    std::vector<ArmySetup> armies[2];
    bool armyGiven[2] = {false, false};
    std::string logPath;
    bool logGiven = false;
    std::vector<int32_t> restartFrames;
    bool restartGiven = false;
    bool utf8 = false;
    bool help = false;
    std::string dataPath;
    std::string dumpPath;

    // Statistics.
    uint32_t runs = 0;
    bool matrix = false;
    bool json = false;
    bool timing = false;
    std::string csvPath;
    std::string chartPath;
    int jobs = 0;  // 0: one per processor
    bool statisticsOption = false;

    bool Statistics() const { return runs > 0 || matrix; }
};

struct ArgumentError {
    std::string message;
};

uint32_t ParseSeed(const char* text)
{
    uint32_t seed = 0;
    if (!ParseSeedText(text, &seed))
        throw ArgumentError{"--seed: '" + std::string(text) + "' is not an integer"};
    return seed;
}

// A whole number from 1 to the limit, in plain decimal digits.
uint64_t ParseCount(const char* option, const char* text, uint64_t limit)
{
    const std::string value = text;
    bool digits = !value.empty() && value.size() <= 20;
    for (char c : value)
        digits = digits && c >= '0' && c <= '9';
    const unsigned long long number = digits ? std::strtoull(text, nullptr, 10) : 0;
    if (!digits || value.size() > 19 || number > limit)
        throw ArgumentError{std::string(option) + ": '" + value + "' is not a whole number from 1 to " +
                            std::to_string(limit)};
    if (number == 0)
        throw ArgumentError{std::string(option) + ": must be at least 1, got '" + value + "'"};
    return number;
}

std::vector<std::string> Split(const char* text, char separator)
{
    std::vector<std::string> parts;
    std::string current;
    for (const char* p = text;; ++p) {
        if (*p == separator || *p == '\0') {
            parts.push_back(current);
            current.clear();
            if (*p == '\0')
                break;
        } else {
            current += *p;
        }
    }
    return parts;
}

ArmySetup ParseArmy(const std::string& option, const std::string& text)
{
    const std::vector<std::string> parts = Split(text.c_str(), ',');
    if (parts.size() != 3)
        throw ArgumentError{option + ": expected three rows X,Y,Z, got '" + text + "'"};
    ArmySetup rows{};
    for (int i = 0; i < 3; ++i) {
        // Digits only, no leading zero: a setup has one spelling, so a list names each setup once.
        bool number = !parts[i].empty() && parts[i].size() <= 2 && (parts[i] == "0" || parts[i][0] != '0');
        for (char c : parts[i])
            number = number && c >= '0' && c <= '9';
        if (!number || std::atoi(parts[i].c_str()) > MostCatalogSquads)
            throw ArgumentError{option + ": row " + std::to_string(i + 1) + " must be 0 (empty) or a squad number, got '" +
                                parts[i] + "'"};
        rows[i] = std::atoi(parts[i].c_str());
    }
    return rows;
}

// One setup, or with --matrix a colon-separated list of them. A setup listed
// twice would play its pairs twice and weigh twice in the ranking.
std::vector<ArmySetup> ParseArmyList(const std::string& option, const char* text)
{
    std::vector<ArmySetup> setups;
    for (const std::string& part : Split(text, ':')) {
        const ArmySetup setup = ParseArmy(option, part);
        if (std::find(setups.begin(), setups.end(), setup) != setups.end())
            throw ArgumentError{option + ": setup " + SetupText(setup) + " is listed twice"};
        setups.push_back(setup);
    }
    return setups;
}

std::vector<int32_t> ParseFrames(const char* text)
{
    std::vector<int32_t> frames;
    for (const std::string& part : Split(text, ',')) {
        bool digitsOnly = !part.empty() && part.size() <= 10;
        for (char c : part)
            digitsOnly = digitsOnly && c >= '0' && c <= '9';
        const long long value = digitsOnly ? std::atoll(part.c_str()) : -1;
        if (value < 0 || value > INT32_MAX)
            throw ArgumentError{"--restart-at: '" + part + "' is not a frame number (0 to 2147483647)"};
        frames.push_back(int32_t(value));
    }
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return frames;
}

void CheckCombination(const Options& options)
{
    if (!options.dumpPath.empty()) {
        if (options.armyGiven[0] || options.armyGiven[1] || options.Statistics() || options.statisticsOption ||
            options.logGiven || options.restartGiven || options.seedGiven || options.utf8)
            throw ArgumentError{"--dump-data takes no other option than --data"};
        return;
    }
    if (!options.Statistics()) {
        if (options.statisticsOption)
            throw ArgumentError{"--json, --csv, --chart, --jobs and --timing need --runs or --matrix (see --help)"};
        for (int a = 0; a < 2; ++a) {
            if (!options.armyGiven[a])
                throw ArgumentError{std::string(a == 0 ? "--army1" : "--army2") + " is missing (see --help)"};
            if (options.armies[a].size() != 1)
                throw ArgumentError{std::string(a == 0 ? "--army1" : "--army2") +
                                    ": a list of setups needs --matrix"};
        }
        return;
    }
    if (options.logGiven)
        throw ArgumentError{"--log cannot be used with --runs or --matrix (their battles write no log)"};
    if (options.utf8)
        throw ArgumentError{"--utf8 cannot be used with --runs or --matrix (their battles write no log)"};
    if (options.restartGiven)
        throw ArgumentError{"--restart-at cannot be used with --runs or --matrix"};
    if (options.runs == 0)
        throw ArgumentError{"--matrix needs --runs N, the number of battles per pair"};
    if (!options.matrix) {
        for (int a = 0; a < 2; ++a) {
            if (!options.armyGiven[a])
                throw ArgumentError{std::string(a == 0 ? "--army1" : "--army2") + " is missing (see --help)"};
            if (options.armies[a].size() != 1)
                throw ArgumentError{std::string(a == 0 ? "--army1" : "--army2") +
                                    ": a list of setups needs --matrix"};
        }
    }
}

Options ParseArguments(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc)
                throw ArgumentError{arg + " needs a value"};
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--seed") {
            options.seed = ParseSeed(value());
            options.seedGiven = true;
        } else if (arg == "--army1" || arg == "--army2") {
            const int index = arg == "--army1" ? 0 : 1;
            options.armies[index] = ParseArmyList(arg, value());
            options.armyGiven[index] = true;
        } else if (arg == "--log") {
            options.logPath = value();
            options.logGiven = true;
            if (options.logPath.empty() || options.logPath.back() == '/')
                throw ArgumentError{"--log: '" + options.logPath + "' does not name a file"};
        } else if (arg == "--restart-at") {
            options.restartFrames = ParseFrames(value());
            options.restartGiven = true;
        } else if (arg == "--data" || arg == "--dump-data") {
            std::string& path = arg == "--data" ? options.dataPath : options.dumpPath;
            path = value();
            if (path.empty() || path.back() == '/')
                throw ArgumentError{arg + ": '" + path + "' does not name a file"};
        } else if (arg == "--utf8") {
            options.utf8 = true;
        } else if (arg == "--runs") {
            options.runs = uint32_t(ParseCount("--runs", value(), UINT32_MAX));
        } else if (arg == "--matrix") {
            options.matrix = true;
        } else if (arg == "--json") {
            options.json = true;
            options.statisticsOption = true;
        } else if (arg == "--timing") {
            options.timing = true;
            options.statisticsOption = true;
        } else if (arg == "--jobs") {
            options.jobs = int(ParseCount("--jobs", value(), MostJobs));
            options.statisticsOption = true;
        } else if (arg == "--csv" || arg == "--chart") {
            std::string& path = arg == "--csv" ? options.csvPath : options.chartPath;
            path = value();
            if (path.empty() || path.back() == '/')
                throw ArgumentError{arg + ": '" + path + "' does not name a file"};
            options.statisticsOption = true;
        } else {
            throw ArgumentError{"unknown argument '" + arg + "' (see --help)"};
        }
    }
    if (!options.help)
        CheckCombination(options);
    return options;
}

std::string CurrentDirectory()
{
    std::vector<char> buffer(4096);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return ".";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// The working directory as the log's folder. One too deep for the log's field
// is named relatively: the command never changes directory, and valid
// arguments must not fail because of where the command was started.
std::string WorkingDirectoryForLog()
{
    const std::string directory = CurrentDirectory();
    return directory.size() < sizeof media::systemState.logDirectory ? directory : ".";
}

// Points the log at the chosen file; false when the folder does not fit the log's field.
bool SetUpLog(const std::string& logPath)
{
    std::string directory;
    std::string fileName;
    if (logPath.empty()) {
        directory = WorkingDirectoryForLog();
        fileName = "Log.txt";
    } else {
        const size_t slash = logPath.rfind('/');
        if (slash == std::string::npos) {
            directory = WorkingDirectoryForLog();
            fileName = logPath;
        } else {
            directory = slash == 0 ? "/" : logPath.substr(0, slash);
            fileName = logPath.substr(slash + 1);
        }
    }
    return media::SetLogLocation(directory.c_str(), fileName.c_str());
}

void LoadBattleData()
{
    LoadPilotData();
    LoadWeaponData();
    LoadSquadData();
}

int RunSingleBattle(const Options& options)
{
    if (!SetUpLog(options.logPath)) {
        std::fprintf(stderr, "korvanta-battle: --log: the folder of the log path is too long (at most 255 bytes)\n");
        return BadArguments;
    }
    if (options.utf8)
        media::SetLogMirror(stdout);

    media::LogStart();
    LoadBattleData();
    // As the preparation screen does: each chosen row is a copy of a catalogue squad.
    SetUpMenuArmies(options.armies[0][0], options.armies[1][0]);
    PlayBattle(options.seedGiven ? options.seed : uint32_t(std::time(nullptr)), options.restartFrames);

    media::LogMemoryDump();
    if (options.utf8)
        media::SetLogMirror(nullptr);
    return 0;
}

// Every setup of the catalogue, as --matrix takes them without lists.
constexpr int MostMatrixSetups = 125;

std::vector<ArmySetup> AllSetups(int squads)
{
    std::vector<ArmySetup> setups;
    for (int number = 0; number < SetupCount(squads); ++number)
        setups.push_back(SetupFromNumber(number, squads));
    return setups;
}

// The setups against the catalogue in use, once it is known.
void CheckSetups(const Options& options, int squads)
{
    for (int a = 0; a < 2; ++a) {
        const char* option = a == 0 ? "--army1" : "--army2";
        for (const ArmySetup& setup : options.armies[a]) {
            for (int row = 0; row < 3; ++row) {
                if (setup[row] > squads)
                    throw ArgumentError{std::string(option) + ": row " + std::to_string(row + 1) + " must be 0 to " +
                                        std::to_string(squads) + " (the catalogue holds " + std::to_string(squads) +
                                        " squads), got '" + std::to_string(setup[row]) + "'"};
            }
        }
        if (options.matrix && !options.armyGiven[a] && SetupCount(squads) > MostMatrixSetups)
            throw ArgumentError{std::string("--matrix: the catalogue's ") + std::to_string(squads) + " squads make " +
                                std::to_string(SetupCount(squads)) + " setups, more than the " +
                                std::to_string(MostMatrixSetups) + " taken without a list; give " + option +
                                " a list of setups"};
        const size_t count = options.armyGiven[a] ? options.armies[a].size() : size_t(SetupCount(squads));
        if (options.matrix && !options.chartPath.empty() && count > size_t(MostMatrixSetups))
            throw ArgumentError{std::string("--chart: the heat map holds at most ") +
                                std::to_string(MostMatrixSetups) + " setups a side, " + option + " has " +
                                std::to_string(count)};
    }
}

std::vector<SquadLabel> SquadLabels(const std::vector<Squad>& squads)
{
    std::vector<SquadLabel> labels;
    for (const Squad& squad : squads) {
        SquadLabel label;
        label.name = squad.machines[0].name;
        for (const Machine& machine : squad.machines) {
            if (machine.typeId == 0)
                continue;
            ++label.machines;
            label.mixed = label.mixed || machine.name != label.name;
        }
        labels.push_back(label);
    }
    return labels;
}

int Report(const char* what, const std::string& message)
{
    std::fprintf(stderr, "korvanta-battle: %s%s\n", what, message.c_str());
    return Failed;
}

int RunStatistics(const Options& options)
{
    RunDescription run;
    run.firstSeed = options.seedGiven ? options.seed : 1u;
    run.battlesPerPair = options.runs;
    for (int a = 0; a < 2; ++a) {
        std::vector<ArmySetup>& list = a == 0 ? run.army1 : run.army2;
        list = options.armyGiven[a] ? options.armies[a] : AllSetups(int(ActiveCatalog().squads.size()));
    }
    run.squads = SquadLabels(ActiveCatalog().squads);

    // Outputs are claimed before the work, so that a place that cannot be
    // written is reported at once.
    OutputFile csv, chart;
    std::string error;
    if (!options.csvPath.empty() && !csv.Open(options.csvPath, &error))
        return Report("--csv: ", error);
    if (!options.chartPath.empty() && !chart.Open(options.chartPath, &error))
        return Report("--chart: ", error);

    LoadBattleData();

    BattleWork work;
    work.firstSeed = run.firstSeed;
    work.battlesPerPair = run.battlesPerPair;
    for (const ArmySetup& army1 : run.army1) {
        for (const ArmySetup& army2 : run.army2)
            work.pairs.emplace_back(army1, army2);
    }

    std::vector<OutcomeTally> tallies(work.pairs.size());
    const bool battleRows = csv.IsOpen() && !options.matrix;
    if (battleRows)
        csv.Write(BattleCsvHeader());
    std::string rows;
    const OutcomeSink sink = [&](uint64_t first, const BattleOutcome* outcomes, size_t count) {
        rows.clear();
        for (size_t k = 0; k < count; ++k) {
            const uint64_t battle = first + k;
            const uint64_t pair = battle / run.battlesPerPair;
            tallies[pair].Add(outcomes[k]);
            if (battleRows)
                rows += BattleCsvRow(SeedOfBattle(run.firstSeed, battle % run.battlesPerPair), work.pairs[pair].first,
                                     work.pairs[pair].second, outcomes[k]);
        }
        if (battleRows)
            csv.Write(rows);
    };
    ProgressBar progressBar;
    const ProgressSink progress = [&](uint64_t done, uint64_t total) { progressBar.Update(done, total); };

    const double start = MonotonicSeconds();
    const int jobs = options.jobs > 0 ? options.jobs : AvailableProcessors();
    const bool ran = RunBattles(work, jobs, sink, progress, &error);
    const double elapsed = MonotonicSeconds() - start;
    progressBar.Finish();
    if (!ran)
        return Report("", error);

    if (csv.IsOpen() && options.matrix)
        csv.Write(MatrixCsv(run, tallies));
    if (chart.IsOpen()) {
        const std::string& path = chart.ReleaseTemporaryPath();
        const bool drawn = options.matrix ? DrawMatrixChart(run, tallies, path, &error)
                                          : DrawEndTurnChart(run, tallies[0], path, &error);
        if (!drawn)
            return Report("--chart: ", error);
    }

    std::string summary;
    if (options.matrix)
        summary = options.json ? FormatMatrixJson(run, tallies) : FormatMatrixText(run, tallies);
    else
        summary = options.json ? FormatRunsJson(run, tallies[0]) : FormatRunsText(run, tallies[0]);
    std::fwrite(summary.data(), 1, summary.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return Report("cannot write the summary to standard output: ", std::strerror(errno));

    if (csv.IsOpen() && !csv.Commit(&error))
        return Report("--csv: ", error);
    if (!options.chartPath.empty() && !chart.Commit(&error))
        return Report("--chart: ", error);

    if (options.timing || isatty(STDERR_FILENO) == 1) {
        const double battles = double(work.Total());
        std::fprintf(stderr, "korvanta-battle: %.0f battles in %.3f s, %.0f battles/s, %d job%s\n", battles, elapsed,
                     elapsed > 0 ? battles / elapsed : 0.0, jobs, jobs == 1 ? "" : "s");
    }
    return 0;
}

int DumpData(const std::string& path)
{
    nlohmann::ordered_json document;
    std::string error;
    if (!DocumentFromCatalog(ActiveCatalog(), &document, &error))
        return Report("--dump-data: ", error);
    OutputFile file;
    if (!file.Open(path, &error))
        return Report("--dump-data: ", error);
    file.Write(DataFileText(document));
    if (!file.Commit(&error))
        return Report("--dump-data: ", error);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    argc = media::ConfigureLogEchoFromCommandLine(argc, argv);

    Options options;
    try {
        options = ParseArguments(argc, argv);
    } catch (const ArgumentError& error) {
        std::fprintf(stderr, "korvanta-battle: %s\n", error.message.c_str());
        return BadArguments;
    }
    if (options.help) {
        std::fputs(UsageText, stdout);
        return 0;
    }
    if (!options.dataPath.empty()) {
        BattleCatalog catalog;
        std::string error;
        if (!LoadBattleDataFile(options.dataPath, &catalog, &error)) {
            std::fprintf(stderr, "korvanta-battle: --data: %s\n", error.c_str());
            return BadArguments;
        }
        UseBattleCatalog(catalog);
    }
    if (!options.dumpPath.empty())
        return DumpData(options.dumpPath);
    try {
        CheckSetups(options, int(ActiveCatalog().squads.size()));
    } catch (const ArgumentError& error) {
        std::fprintf(stderr, "korvanta-battle: %s\n", error.message.c_str());
        return BadArguments;
    }
    return options.Statistics() ? RunStatistics(options) : RunSingleBattle(options);
}
