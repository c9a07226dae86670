// korvanta-battle's command line: the options, their checks, and the setups
// they name once the catalogue is known.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/battle_outcome.h"
#include "app/battle_sweep.h"

constexpr int Failed = 1;
constexpr int BadArguments = 2;

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
    bool version = false;
    std::string dataPath;
    std::string dumpPath;
    std::vector<Variation> variations;
    uint64_t shard = 0, shards = 0;  // shards 0: no --shard
    std::string partPath;
    bool merge = false;
    std::vector<std::string> parts;

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


// Reads the arguments (argv[0] is skipped); throws ArgumentError.
Options ParseArguments(int argc, char** argv);

// Every setup of the catalogue, as --matrix takes them without lists.
constexpr int MostMatrixSetups = 125;
std::vector<ArmySetup> AllSetups(int squads);

// The setups against the catalogue in use, once it is known; throws ArgumentError.
void CheckSetups(const Options& options, int squads);
