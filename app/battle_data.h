// The battle records, their global instances and the built-in data.
//
// Every record holds its parts by value, so copying an army copies all of its
// squads, machines, pilots, weapons and texts; the battle takes whole-army
// snapshots that never share state with their source. Texts hold Shift-JIS
// bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Stored wherever a weapon slot, squad index or machine position means "none".
constexpr int32_t NoChoice = 99;

constexpr int WeaponSlotCount = 5;
constexpr int MachinesPerSquad = 5;
constexpr int SquadsPerArmy = 3;
constexpr int SituationCount = 8;

// Weapon class of the melee weapons.
constexpr int32_t MeleeWeaponKind = 2;

struct WeaponSlot {
    std::string name;
    int32_t kind = 0;
    int32_t damage = 0;
    int32_t attacks = 0;
    int32_t accuracy = 0;
    int32_t minRange = 0;
    int32_t maxRange = 0;
    std::array<uint8_t, 5> marks{};
};

struct Pilot {
    int32_t id = 0;
    std::string name;
    std::array<int32_t, 14> stats{};

    // The four values the battle rules read.
    int32_t shooting() const { return stats[9]; }
    int32_t melee() const { return stats[10]; }
    int32_t reflex() const { return stats[12]; }
    int32_t insight() const { return stats[13]; }
};

struct Machine {
    int32_t typeId = 0;  // 0: empty position
    std::string auxName;
    std::string name;
    int32_t durability = 0;
    int32_t maxDurability = 0;
    int32_t agility = 0;
    int32_t fuel = 0;
    int32_t fuelUse = 0;
    uint8_t hasShield = 0;
    int32_t skillCap = 0;
    std::array<int32_t, SituationCount> evasionBySituation{};
    std::array<int32_t, SituationCount> accuracyBySituation{};
    Pilot pilot;
    std::array<WeaponSlot, WeaponSlotCount> weapons;
    // Derived at battle start.
    int32_t shootingBonus = 0;
    int32_t meleeBonus = 0;
    std::array<int32_t, WeaponSlotCount> extraAttacks{};
    int32_t skillBonus = 0;

    bool IsLive() const { return typeId != 0 && durability > 0; }
};

struct Squad {
    int32_t typeId = 0;  // 0: empty row, skipped by the battle
    uint8_t evasionBonusOff = 0;
    std::array<Machine, MachinesPerSquad> machines;
};

// One chosen melee machine: squad index and machine position, both NoChoice when empty.
struct MeleePair {
    int32_t squad = 0;
    int32_t position = 0;

    bool HoldsMachine() const { return squad != NoChoice && position != NoChoice; }
};

struct Army {
    int32_t tag = 0;
    int32_t evasionBonus = 0;
    int32_t situation = 0;
    std::array<Squad, SquadsPerArmy> squads;
    Squad spareSquad;
    std::array<MeleePair, 3> meleeList{};
};

// The preparation screen's lists open below each row; army 2's third row
// leaves room for this many entries above the bottom of the 400-pixel screen.
constexpr int MostCatalogSquads = 11;

// The values an army takes from the data rather than from the preparation screen.
struct ArmyValues {
    int32_t evasionBonus = 0;
    int32_t situation = 0;
};

// Everything the loaders install: the built-in data, or a battle data file's.
struct BattleCatalog {
    std::vector<Pilot> pilots;
    std::vector<Machine> machines;  // the machine types, each with an empty pilot
    std::vector<Squad> squads;      // 1 to MostCatalogSquads, machines in positions 0 to 2
    std::array<ArmyValues, 2> armies{};
};

BattleCatalog BuiltInCatalog();
// The catalogue that LoadPilotData, LoadWeaponData and LoadSquadData install
// from now on (the built-in one until this is called).
void UseBattleCatalog(const BattleCatalog& catalog);
const BattleCatalog& ActiveCatalog();

extern std::vector<Machine> machineTemplates;  // built-in: [0] ヴォルテ, [1] ドゥーガ
extern std::vector<Pilot> pilotTable;
extern std::vector<Squad> squadCatalog;        // what the preparation screen offers
extern std::array<Army, 2> menuArmies;         // the armies as the user set them up
extern std::array<Army, 2> battleArmies;       // [0] army A, [1] army B, changed by the battle

int LoadPilotData();
int LoadWeaponData();
// Also gives both menu armies the catalogue's army values.
int LoadSquadData();

void BuildMachine(int32_t typeId, int32_t durability, Machine& machine,
                  const std::array<WeaponSlot, WeaponSlotCount>& weapons,
                  const std::array<int32_t, 2 * SituationCount>& situationValues,
                  const std::string& name, int32_t agility, int32_t fuel, int32_t fuelUse,
                  uint8_t hasShield, int32_t skillCap);

// Copies the menu armies into the battle armies and derives their battle values.
void ReflectMenuData();
void DeriveBattleValues(Squad& squad);
