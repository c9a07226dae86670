// Runs many headless battles on several processor cores.
//
// The battle engine keeps its state in globals, so battles can share a
// process only one after another. Parallel work therefore goes to worker
// processes forked from this one (they inherit the loaded battle data); each
// takes chunks of battle numbers through a pipe and sends the outcomes back
// through another. The caller receives the outcomes strictly in battle order,
// so whatever it builds from them does not depend on the number of workers.
#pragma once

#include <poll.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/battle_outcome.h"

struct BattleWork {
    std::vector<std::pair<ArmySetup, ArmySetup>> pairs;  // army 1 and army 2 of each pair
    uint32_t firstSeed = 1;
    uint64_t battlesPerPair = 0;
    // A slice: only battles first to first + count - 1 are played (a shard's);
    // the sinks number them from 0.
    uint64_t first = 0;
    uint64_t count = UINT64_MAX;

    // Battle g is battle g % battlesPerPair of pair g / battlesPerPair.
    uint64_t AllBattles() const { return pairs.size() * battlesPerPair; }
    uint64_t Total() const { return first >= AllBattles() ? 0 : std::min(count, AllBattles() - first); }
};

// Receives outcomes of battles first, first + 1, ... in order.
using OutcomeSink = std::function<void(uint64_t first, const BattleOutcome* outcomes, size_t count)>;
using ProgressSink = std::function<void(uint64_t done, uint64_t total)>;

// Plays every battle of the work with `jobs` workers (1: in this process, no
// fork). The battle data must be loaded. False, with a message, when a worker
// process fails; the outcomes delivered so far are then incomplete.
bool RunBattles(const BattleWork& work, int jobs, const OutcomeSink& sink, const ProgressSink& progress,
                std::string* error);

// What the tests of the worker pool put in place of the battles and of the
// parent's wait, to stop a worker at a chosen moment and count the wake-ups.
// Used only with more than one job (one job runs in this process).
struct WorkerPoolSeams {
    // Runs in the worker: fills the outcomes of battles first to first + count - 1.
    std::function<void(uint64_t first, uint64_t count, BattleOutcome* outcomes)> play;
    // Runs in the parent in place of poll(2) on the result pipes.
    std::function<int(pollfd* fds, nfds_t count, int timeout)> poll;
};
bool RunBattles(const BattleWork& work, int jobs, const OutcomeSink& sink, const ProgressSink& progress,
                std::string* error, const WorkerPoolSeams& seams);

// The number of processors this process may run on (at least 1).
int AvailableProcessors();
