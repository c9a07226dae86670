// The battles of a statistics command, as one numbered list: every point of
// a sweep (each with its own catalogue; one point without --vary) times every
// pair of setups times the seeds. Any slice of the list can be played, which
// is what a shard does; the counts of slices add up to those of the whole.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/battle_data.h"
#include "app/battle_stats.h"
#include "app/battle_stats_workers.h"

struct StatisticsPlan {
    RunDescription run;
    std::vector<BattleCatalog> catalogs;  // one per point

    size_t Pairs() const { return run.army1.size() * run.army2.size(); }
    uint64_t PerPoint() const { return Pairs() * uint64_t(run.battlesPerPair); }
    uint64_t Total() const { return catalogs.size() * PerPoint(); }
};

// Battle `battle` of the list and how it came out.
using BattleSink = std::function<void(uint64_t battle, const BattleOutcome& outcome)>;

// Plays battles first to first + count - 1 with `jobs` workers, adding each
// outcome to tallies[point * pairs + pair] (sized by the caller) and handing
// it to `each` in order. Installs each point's catalogue in turn.
bool PlayPlan(const StatisticsPlan& plan, uint64_t first, uint64_t count, int jobs,
              std::vector<OutcomeTally>* tallies, const BattleSink& each, const ProgressSink& progress,
              std::string* error);

// The battles of shard k of n: a fixed, contiguous slice; the n slices cover the list once.
void ShardSlice(uint64_t total, uint64_t k, uint64_t n, uint64_t* first, uint64_t* count);
