// How one headless battle came out, read from the engine's state while and
// after it runs, and the frame loop that the headless command plays it with.
//
// Turn numbers are those of the log: shooting turns are numbered 1 to 41, the
// melee turn 42.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One army's set-up: what each of its three squad rows holds (0 empty, n the
// n-th squad of the catalogue).
using ArmySetup = std::array<int, 3>;

// The setups of a catalogue of `squads` squads: every row 0 to squads.
int SetupCount(int squads);
// Setup number <-> rows, in base squads + 1: with the built-in two squads
// number = 9 * row1 + 3 * row2 + row3, 0 to 26.
ArmySetup SetupFromNumber(int number, int squads);
int SetupNumber(const ArmySetup& setup, int squads);
// "1,0,2" (or "11,0,2"): the way the command line writes a setup.
std::string SetupText(const ArmySetup& setup);

enum class BattleEnd : uint8_t {
    Annihilation,  // a shooting turn left an army without live machines; no melee turn
    ForcedEnd,     // shooting stopped early (no more shots decided); the melee turn follows
    FullCourse,    // all 41 shooting turns, then the melee turn
};

// Which armies still have live machines at the end.
enum class Survivors : uint8_t {
    Army1Only,  // army 1 wins
    Army2Only,  // army 2 wins
    Both,
    Neither,
};

constexpr int SurvivorKinds = 4;
constexpr int BattleEndKinds = 3;

struct BattleOutcome {
    BattleEnd end = BattleEnd::FullCourse;
    Survivors survivors = Survivors::Both;
    // The shooting turn on which the shooting phase ended: the annihilation
    // turn, the forced-end turn, or 41 for a full course.
    int32_t endTurn = 0;
    std::array<int32_t, 2> liveMachines{};  // per army
    std::array<int32_t, 2> durability{};    // total durability of the live machines, per army

    // The last turn of the battle: the annihilation turn, or the melee turn.
    int32_t LastTurn() const;
    bool operator==(const BattleOutcome&) const = default;
};

const char* BattleEndName(BattleEnd end);        // "annihilation", "forced", "full"
const char* SurvivorsName(Survivors survivors);  // "army1", "army2", "both", "neither"

// Fills the menu armies as the preparation screen would: each chosen row is a
// copy of a catalogue squad, the others are empty. The catalogue must be loaded.
void SetUpMenuArmies(const ArmySetup& army1, const ArmySetup& army2);

// Plays one battle of the menu armies from the seed, one AdvanceBattle per
// frame until the battle is over, holding R on the given frames (sorted,
// counted from 0; the battle runs at least until the last of them). Returns
// how the last battle started came out.
BattleOutcome PlayBattle(uint32_t seed, const std::vector<int32_t>& restartFrames = {});

// The outcome of the battle armies as they stand, for a battle that ended the given way.
BattleOutcome ReadOutcome(BattleEnd end, int32_t endTurn);
