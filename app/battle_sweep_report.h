// What a sweep prints and writes: for every value (every point of the grid),
// the outcomes of its battles over all pairs of the run, with their 95 %
// Wilson intervals; the CSV gives every value and pair.
#pragma once

#include <string>
#include <vector>

#include "app/battle_stats.h"
#include "app/battle_sweep.h"

// tallies[point * pairs + pair], points in SweepPoints order, pairs as in --matrix.
struct SweepResult {
    RunDescription run;
    std::vector<Variation> variations;
    std::vector<std::vector<int64_t>> points;
    std::vector<OutcomeTally> tallies;

    size_t Pairs() const { return run.army1.size() * run.army2.size(); }
    // The outcomes of a point over all of its pairs.
    OutcomeTally PointTally(size_t point) const;
};

std::string FormatSweepText(const SweepResult& sweep);
std::string FormatSweepJson(const SweepResult& sweep);
std::string SweepCsv(const SweepResult& sweep);
