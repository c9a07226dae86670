// Charts of battle statistics, drawn with the media layer on the headless
// backend and written as PNG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/battle_stats.h"

// A heat map of army 1's share of wins, one cell per pair of setups.
bool DrawMatrixChart(const RunDescription& run, const std::vector<OutcomeTally>& tallies, const std::string& pngPath,
                     std::string* error);

// Bars of the turns on which the shooting ended, for one pair of setups.
bool DrawEndTurnChart(const RunDescription& run, const OutcomeTally& tally, const std::string& pngPath,
                      std::string* error);

// Army 1's share of wins against the value of a swept field, its 95 %
// interval as a band: tallies[i] holds the battles of values[i] (ascending).
bool DrawSweepChart(const RunDescription& run, const std::string& field, const std::vector<int64_t>& values,
                    const std::vector<OutcomeTally>& tallies, const std::string& pngPath, std::string* error);
