#include "app/battle_data.h"

#include "app/battle_log.h"

std::vector<Machine> machineTemplates;
std::vector<Pilot> pilotTable;
std::vector<Squad> squadCatalog;
std::array<Army, 2> menuArmies;
std::array<Army, 2> battleArmies;

namespace {

WeaponSlot MakeWeapon(const char* name, int32_t kind, int32_t damage, int32_t attacks, int32_t accuracy,
                      int32_t minRange, int32_t maxRange, std::array<uint8_t, 5> marks)
{
    WeaponSlot slot;
    slot.name = name;
    slot.kind = kind;
    slot.damage = damage;
    slot.attacks = attacks;
    slot.accuracy = accuracy;
    slot.minRange = minRange;
    slot.maxRange = maxRange;
    slot.marks = marks;
    return slot;
}

// Sets everything but stats[1], which the built-in pilots leave at 0.
void SetPilot(Pilot& pilot, int32_t id, const char* name, const std::array<int32_t, 14>& stats)
{
    pilot.id = id;
    pilot.name = name;
    for (size_t i = 0; i < stats.size(); ++i) {
        if (i != 1)
            pilot.stats[i] = stats[i];
    }
}

}  // namespace

void BuildMachine(int32_t typeId, int32_t durability, Machine& machine,
                  const std::array<WeaponSlot, WeaponSlotCount>& weapons,
                  const std::array<int32_t, 2 * SituationCount>& situationValues,
                  const std::string& name, int32_t agility, int32_t fuel, int32_t fuelUse,
                  uint8_t hasShield, int32_t skillCap)
{
    machine.typeId = typeId;
    machine.name = name;
    machine.agility = agility;
    machine.fuel = fuel;
    machine.fuelUse = fuelUse;
    machine.hasShield = hasShield;
    machine.durability = durability;
    machine.maxDurability = durability;
    for (int i = 0; i < SituationCount; ++i) {
        machine.evasionBySituation[i] = situationValues[i];
        machine.accuracyBySituation[i] = situationValues[SituationCount + i];
    }
    machine.skillCap = skillCap;
    machine.shootingBonus = 0;
    machine.meleeBonus = 0;
    machine.skillBonus = 0;
    for (int slot = 0; slot < WeaponSlotCount; ++slot) {
        machine.weapons[slot] = weapons[slot];
        machine.extraAttacks[slot] = 0;
    }
}

BattleCatalog BuiltInCatalog()
{
    BattleCatalog catalog;
    catalog.pilots.resize(2);
    SetPilot(catalog.pilots[0], 1, "ハルデン", {13, 0, 1, 1, 6, 0, 0, 15, 12, 8, 4, 8, 5, 0});
    SetPilot(catalog.pilots[1], 76, "ゼフィル・ナヴァ", {8, 0, 1, 1, 4, 0, 0, 12, 12, 13, 15, 9, 13, 0});

    catalog.machines.resize(2);
    std::array<WeaponSlot, WeaponSlotCount> weapons{};
    weapons[0] = MakeWeapon("ルーメンガン", 1, 6, 6, 60, 1, 1, {1, 1, 0, 0, 1});
    weapons[1] = MakeWeapon("ルーメンブレード", 2, 20, 2, 75, 0, 0, {1, 0, 0, 0, 1});
    weapons[2] = MakeWeapon("Hラトル", 3, 2, 6, 35, 1, 1, {1, 0, 0, 0, 1});
    BuildMachine(1, 70, catalog.machines[0], weapons,
                 {40, 20, 20, 20, 20, 0, 0, 40, 40, 20, 20, 20, 20, 0, 20, 40},
                 "ヴォルテ", 12, 100, 10, 1, 15);

    weapons = {};
    weapons[0] = MakeWeapon("ドゥーガライフル", 3, 3, 10, 50, 1, 1, {1, 1, 0, 0, 1});
    weapons[1] = MakeWeapon("ブランドアクス", 2, 18, 2, 70, 0, 0, {1, 0, 0, 0, 1});
    weapons[2] = MakeWeapon("ショルダーラム", 2, 35, 1, 85, 0, 0, {1, 0, 0, 0, 1});
    BuildMachine(139, 50, catalog.machines[1], weapons,
                 {40, 20, 20, 40, 20, 0, 0, 40, 40, 20, 20, 40, 20, 0, 20, 40},
                 "ドゥーガ", 14, 100, 8, 0, 20);

    catalog.squads.resize(2);
    for (int i = 0; i < 2; ++i) {
        catalog.squads[i].typeId = catalog.machines[i].typeId;
        for (int k = 0; k < 3; ++k)
            catalog.squads[i].machines[k] = catalog.machines[i];
    }
    return catalog;
}

namespace {

BattleCatalog& Active()
{
    static BattleCatalog catalog = BuiltInCatalog();
    return catalog;
}

}  // namespace

void UseBattleCatalog(const BattleCatalog& catalog)
{
    Active() = catalog;
}

const BattleCatalog& ActiveCatalog()
{
    return Active();
}

int LoadPilotData()
{
    WriteBattleLog("パイロットデータ読み込み\n");
    pilotTable = Active().pilots;
    return 0;
}

int LoadWeaponData()
{
    WriteBattleLog("兵器データ読み込み\n");
    machineTemplates = Active().machines;
    return 0;
}

int LoadSquadData()
{
    WriteBattleLog("部隊データ読み込み\n");
    squadCatalog = Active().squads;
    for (int a = 0; a < 2; ++a) {
        menuArmies[a].evasionBonus = Active().armies[a].evasionBonus;
        menuArmies[a].situation = Active().armies[a].situation;
    }
    return 0;
}

void ReflectMenuData()
{
    WriteBattleLog("メニュー画面のデータを反映\n");
    battleArmies[0] = menuArmies[0];
    battleArmies[1] = menuArmies[1];
    WriteBattleLog("戦闘データの計算(攻撃回数増加の計算)\n");
    for (Army& army : battleArmies) {
        for (Squad& squad : army.squads)
            DeriveBattleValues(squad);
    }
}

void DeriveBattleValues(Squad& squad)
{
    for (Machine& machine : squad.machines) {
        WriteBattleLog("\n");
        const Pilot& pilot = machine.pilot;
        machine.shootingBonus = 3 * pilot.shooting();
        machine.meleeBonus = 3 * pilot.melee();

        const int32_t cap = 5 * (pilot.reflex() + 2 * pilot.insight());
        machine.skillBonus = machine.agility * (machine.skillCap < cap ? machine.skillCap : cap) / 100;

        // x is the attack multiplier of the current slot; it carries over to the
        // next slot whenever that slot's class has run out of entries.
        double x = 0.0;
        int meleeSeen = 0;
        int otherSeen = 0;
        for (int slot = 0; slot < WeaponSlotCount; ++slot) {
            const WeaponSlot& weapon = machine.weapons[slot];
            int32_t skill;
            if (weapon.kind == MeleeWeaponKind) {
                skill = pilot.melee();
                if (meleeSeen == 0)
                    x = 7.5 * skill;
                else if (meleeSeen == 1)
                    x = 5.0 * skill;
                ++meleeSeen;
            } else {
                skill = pilot.shooting();
                ++otherSeen;
                if (otherSeen == 1)
                    x = 5.0 * pilot.shooting() + 10.0 * pilot.insight();
                else if (otherSeen == 2)
                    x = 5.0 * pilot.shooting();
                else if (otherSeen == 3)
                    x = 2.0 * pilot.shooting();
                else if (otherSeen == 4)
                    x = pilot.shooting();
            }
            const double v = machine.skillCap < x ? double(skill * machine.skillCap) : skill * x;
            machine.extraAttacks[slot] = int32_t(v * weapon.attacks / 100.0);
        }
    }
}
