// Charts of battle statistics, drawn with the media layer on the headless
// backend and written as PNG files.
#pragma once

#include <string>
#include <vector>

#include "app/battle_stats.h"

// A heat map of army 1's share of wins, one cell per pair of setups.
bool DrawMatrixChart(const RunDescription& run, const std::vector<OutcomeTally>& tallies, const std::string& pngPath,
                     std::string* error);

// Bars of the turns on which the shooting ended, for one pair of setups.
bool DrawEndTurnChart(const RunDescription& run, const OutcomeTally& tally, const std::string& pngPath,
                      std::string* error);
