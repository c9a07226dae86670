// Statistics over many battles: tallies of outcomes, 95 % Wilson intervals,
// and the summaries, CSV rows and rankings that korvanta-battle prints.
//
// Everything here is computed from integer counts and sums, so the texts come
// out the same whatever order the battles were counted in.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/battle_outcome.h"

// The shooting turns are numbered 1 to 41 in the log.
constexpr int ShootingTurnCount = 41;

struct OutcomeTally {
    int64_t battles = 0;
    std::array<int64_t, SurvivorKinds> survivors{};  // indexed by Survivors
    std::array<int64_t, BattleEndKinds> ends{};      // indexed by BattleEnd
    // [shooting turn 1..41][BattleEnd]: on which turn and how the shooting ended.
    std::array<std::array<int64_t, BattleEndKinds>, ShootingTurnCount + 1> endTurns{};
    std::array<int64_t, 2> liveMachines{};  // sums over the battles, per army
    std::array<int64_t, 2> durability{};

    void Add(const BattleOutcome& outcome);
    void Merge(const OutcomeTally& other);  // adds another tally's counts and sums
    int64_t Count(Survivors survivors) const { return this->survivors[size_t(survivors)]; }
    double Share(Survivors survivors) const;
    double MeanLive(int army) const;
    double MeanDurability(int army) const;
};

struct Interval {
    double low = 0;
    double high = 0;
};

// The 95 % Wilson score interval of a share of successes among trials
// (z = 1.959964). Trials must be above 0.
Interval WilsonInterval(int64_t successes, int64_t trials);

// A catalogue squad as the charts name it: its first machine's name, how many
// machines it holds, and whether they are not all of that one type.
struct SquadLabel {
    std::string name;  // Shift-JIS
    int machines = 0;
    bool mixed = false;
};

// What was run: one setup against one, or every listed setup against every listed one.
struct RunDescription {
    uint32_t firstSeed = 1;
    uint32_t battlesPerPair = 0;
    std::vector<ArmySetup> army1;
    std::vector<ArmySetup> army2;
    std::vector<SquadLabel> squads;  // the catalogue's squads, for the charts
};

// Seed of battle i of a pair: the first seed plus i, modulo 2^32.
inline uint32_t SeedOfBattle(uint32_t firstSeed, uint64_t i)
{
    return uint32_t(firstSeed + i);
}

// "seeds 1 to 1000" (with a note when they wrap).
std::string SeedRange(const RunDescription& run);
// "army1": {"count": .., "share": .., "low": .., "high": ..}, one per outcome, as an object.
void AppendOutcomesJson(std::string& out, const OutcomeTally& tally, const char* indent);

// --runs: the summary of one pair.
std::string FormatRunsText(const RunDescription& run, const OutcomeTally& tally);
std::string FormatRunsJson(const RunDescription& run, const OutcomeTally& tally);

// --runs --csv: one row per battle.
std::string BattleCsvHeader();
std::string BattleCsvRow(uint32_t seed, const ArmySetup& army1, const ArmySetup& army2,
                         const BattleOutcome& outcome);

// --matrix: tallies[i * army2.size() + j] is army1[i] against army2[j].
struct RankedSetup {
    ArmySetup setup{};
    double overall = 0;   // mean win share over every pair the setup takes part in
    double asArmy1 = -1;  // mean over the army-2 setups; -1 when not in the army-1 list
    double asArmy2 = -1;  // mean over the army-1 setups; -1 when not in the army-2 list
};
std::vector<RankedSetup> RankSetups(const RunDescription& run, const std::vector<OutcomeTally>& tallies);

std::string FormatMatrixText(const RunDescription& run, const std::vector<OutcomeTally>& tallies);
std::string FormatMatrixJson(const RunDescription& run, const std::vector<OutcomeTally>& tallies);
std::string MatrixCsv(const RunDescription& run, const std::vector<OutcomeTally>& tallies);
