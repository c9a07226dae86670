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

extern std::array<Machine, 2> machineTemplates;  // [0] ヴォルテ, [1] ドゥーガ
extern std::array<Pilot, 2> pilotTable;
extern std::array<Squad, 2> squadCatalog;         // what the preparation screen offers
extern std::array<Army, 2> menuArmies;            // the armies as the user set them up
extern std::array<Army, 2> battleArmies;          // [0] army A, [1] army B, changed by the battle

int LoadPilotData();
int LoadWeaponData();
int LoadSquadData();

void BuildMachine(int32_t typeId, int32_t durability, Machine& machine,
                  const std::array<WeaponSlot, WeaponSlotCount>& weapons,
                  const std::array<int32_t, 2 * SituationCount>& situationValues,
                  const std::string& name, int32_t agility, int32_t fuel, int32_t fuelUse,
                  uint8_t hasShield, int32_t skillCap);

// Copies the menu armies into the battle armies and derives their battle values.
void ReflectMenuData();
void DeriveBattleValues(Squad& squad);
