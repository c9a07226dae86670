// Parameter sweeps: --vary POINTER=FROM:TO:STEP runs the statistics once for
// every value of an integer field of the battle data (several --vary make a
// grid, the first varying slowest). Every value's battles use the same seeds.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "app/battle_data.h"
#include "app/battle_outcome.h"

struct Variation {
    std::string pointer;  // a JSON pointer into the battle data
    int64_t from = 0, to = 0, step = 1;

    std::vector<int64_t> Values() const;
    std::string Text() const;  // "POINTER=FROM:TO:STEP"
};

// The most values a sweep may hold (over the whole grid).
constexpr uint64_t MostSweepValues = 100000;

// Reads POINTER=FROM:TO:STEP; false with a message when it is not one.
bool ParseVariation(const std::string& text, Variation* variation, std::string* error);

// The grid's points in order: for each point, one value per variation.
std::vector<std::vector<int64_t>> SweepPoints(const std::vector<Variation>& variations);

// Builds the catalogue of every point from the base document (the data file's,
// or the built-in data's), checking each against the data file rules. Refuses
// a pointer that names no integer, and a field that no battle of the run
// reads: one whose values leave every squad the setups use, and both armies'
// values, the same. `fileName` names the data in messages.
bool SweepCatalogs(const nlohmann::ordered_json& base, const std::string& fileName,
                   const std::vector<Variation>& variations, const std::vector<ArmySetup>& army1,
                   const std::vector<ArmySetup>& army2, std::vector<BattleCatalog>* catalogs, std::string* error);

// What of a catalogue the battles of these setups read, as a text: equal texts
// fight equal battles.
std::string BattleRelevantText(const BattleCatalog& catalog, const std::vector<ArmySetup>& army1,
                               const std::vector<ArmySetup>& army2);
