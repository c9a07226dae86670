#include "app/battle_options.h"

#include <sys/stat.h>

#include <algorithm>
#include <iterator>
#include <utility>
#include <cstdlib>
#include <cstring>

#include "app/battle_data.h"
#include "app/random.h"

namespace {

constexpr int MostJobs = 256;

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

// Without --matrix each army is one setup, given.
void RequireOneSetupPerArmy(const Options& options)
{
    for (int a = 0; a < 2; ++a) {
        if (!options.armyGiven[a])
            throw ArgumentError{std::string(a == 0 ? "--army1" : "--army2") + " is missing (see --help)"};
        if (options.armies[a].size() != 1)
            throw ArgumentError{std::string(a == 0 ? "--army1" : "--army2") + ": a list of setups needs --matrix"};
    }
}

// True when both names reach one file: the same text, or the same existing file.
bool SameFile(const std::string& a, const std::string& b)
{
    struct stat first {}, second {};
    return a == b || (stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
                      first.st_dev == second.st_dev && first.st_ino == second.st_ino &&
                      S_ISREG(first.st_mode));
}

// An output written over another output, or over a file the run reads (a
// mistyped --csv naming the --data file), would lose that file.
void CheckFilesApart(const Options& options)
{
    const std::pair<const char*, const std::string*> outputs[] = {
        {"--csv", &options.csvPath}, {"--chart", &options.chartPath}, {"--part", &options.partPath},
        {"--dump-data", &options.dumpPath}};
    std::vector<std::pair<std::string, std::string>> inputs;
    if (!options.dataPath.empty())
        inputs.emplace_back("--data", options.dataPath);
    for (const std::string& part : options.parts)
        inputs.emplace_back("--merge", part);
    for (size_t i = 0; i < std::size(outputs); ++i) {
        const std::string& path = *outputs[i].second;
        if (path.empty())
            continue;
        for (size_t j = i + 1; j < std::size(outputs); ++j) {
            if (!outputs[j].second->empty() && SameFile(path, *outputs[j].second))
                throw ArgumentError{std::string(outputs[i].first) + " and " + outputs[j].first + " name the same file '" +
                                    path + "'"};
        }
        for (const auto& [option, input] : inputs) {
            // --dump-data may rewrite its own --data file: it is read before it is written.
            if (SameFile(path, input) && !(std::string(outputs[i].first) == "--dump-data" && option == "--data"))
                throw ArgumentError{std::string(outputs[i].first) + " '" + path + "' would overwrite the " + option +
                                    " file it reads"};
        }
    }
}

void CheckCombination(const Options& options)
{
    CheckFilesApart(options);
    if (options.merge) {
        if (options.armyGiven[0] || options.armyGiven[1] || options.Statistics() || options.seedGiven ||
            !options.variations.empty() || !options.dataPath.empty() || options.shards || !options.partPath.empty() ||
            options.logGiven || options.restartGiven || options.utf8 || !options.dumpPath.empty())
            throw ArgumentError{"--merge takes the parts and the output options --json, --csv, --chart and --timing "
                                "only (what was run comes from the parts)"};
        if (options.parts.empty())
            throw ArgumentError{"--merge needs the part files"};
        return;
    }
    if (options.shards && options.partPath.empty())
        throw ArgumentError{"--shard needs --part FILE"};
    if (!options.shards && !options.partPath.empty())
        throw ArgumentError{"--part needs --shard K/N"};
    if (options.shards && (options.json || !options.chartPath.empty()))
        throw ArgumentError{"--shard writes a part only: give --json and --chart to --merge"};
    if (!options.dumpPath.empty()) {
        if (options.armyGiven[0] || options.armyGiven[1] || options.Statistics() || options.statisticsOption ||
            options.logGiven || options.restartGiven || options.seedGiven || options.utf8)
            throw ArgumentError{"--dump-data takes no other option than --data"};
        return;
    }
    if (!options.Statistics()) {
        if (options.statisticsOption)
            throw ArgumentError{
                "--json, --csv, --chart, --jobs, --timing, --vary, --shard and --part need --runs or --matrix (see "
                "--help)"};
        RequireOneSetupPerArmy(options);
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
    if (options.variations.size() > 1 && !options.chartPath.empty())
        throw ArgumentError{"--chart draws a sweep of one --vary, not a grid"};
    uint64_t points = 1;
    for (const Variation& variation : options.variations) {
        points *= variation.Values().size();
        if (points > MostSweepValues)
            throw ArgumentError{"--vary: the grid has more than " + std::to_string(MostSweepValues) + " values"};
    }
    if (!options.matrix)
        RequireOneSetupPerArmy(options);
}

}  // namespace

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
        // As korvanta does: --help and --version answer at once, whatever follows.
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        } else if (arg == "--version") {
            options.version = true;
            return options;
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
        } else if (arg == "--shard") {
            const std::string text = value();
            const size_t slash = text.find('/');
            if (slash == std::string::npos)
                throw ArgumentError{"--shard: '" + text + "' is not K/N"};
            options.shards = ParseCount("--shard", text.substr(slash + 1).c_str(), 100000);
            const std::string k = text.substr(0, slash);
            options.shard = k == "0" ? 0 : ParseCount("--shard", k.c_str(), 100000);
            if (options.shard >= options.shards)
                throw ArgumentError{"--shard: K counts from 0 to N-1, got '" + text + "'"};
            options.statisticsOption = true;
        } else if (arg == "--part") {
            options.partPath = value();
            if (options.partPath.empty() || options.partPath.back() == '/')
                throw ArgumentError{"--part: '" + options.partPath + "' does not name a file"};
            options.statisticsOption = true;
        } else if (arg == "--merge") {
            options.merge = true;
            while (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0)
                options.parts.push_back(argv[++i]);
        } else if (arg == "--vary") {
            Variation variation;
            std::string error;
            if (!ParseVariation(value(), &variation, &error))
                throw ArgumentError{"--vary: " + error};
            options.variations.push_back(variation);
            options.statisticsOption = true;
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
    if (!options.help && !options.version)
        CheckCombination(options);
    return options;
}

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

