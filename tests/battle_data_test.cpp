#include <gtest/gtest.h>

#include "app/battle_data.h"
#include "app/random.h"
#include "battle_fixture.h"

using testing_support::BattleFixture;
using testing_support::ChooseSquads;

namespace {

using Stats = std::array<int32_t, 14>;

TEST(Random, FollowsTheLinearCongruentialSequence)
{
    SeedRandom(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected)
        EXPECT_EQ(DrawRandom(), value);

    SeedRandom(0xFFFFFFFFu);
    const uint32_t next = 0xFFFFFFFFu * 214013u + 2531011u;
    EXPECT_EQ(DrawRandom(), int((next >> 16) & 0x7FFF));
    EXPECT_EQ(RandomState(), next);
}

class BattleData : public BattleFixture {};

TEST_F(BattleData, LoadersLogOneLineEach)
{
    testing_support::ResetBattleGlobals();
    LoadPilotData();
    LoadWeaponData();
    LoadSquadData();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"パイロットデータ読み込み", "兵器データ読み込み",
                                                 "部隊データ読み込み"}));
}

TEST_F(BattleData, PilotsLeaveTheSecondValueUnset)
{
    EXPECT_EQ(pilotTable[0].id, 1);
    EXPECT_EQ(pilotTable[0].name, "ハルデン");
    EXPECT_EQ(pilotTable[0].stats, (Stats{13, 0, 1, 1, 6, 0, 0, 15, 12, 8, 4, 8, 5, 0}));
    EXPECT_EQ(pilotTable[1].id, 76);
    EXPECT_EQ(pilotTable[1].name, "ゼフィル・ナヴァ");
    EXPECT_EQ(pilotTable[1].stats, (Stats{8, 0, 1, 1, 4, 0, 0, 12, 12, 13, 15, 9, 13, 0}));
    EXPECT_EQ(pilotTable[1].shooting(), 13);
    EXPECT_EQ(pilotTable[1].melee(), 15);
    EXPECT_EQ(pilotTable[1].reflex(), 13);
    EXPECT_EQ(pilotTable[1].insight(), 0);
}

TEST_F(BattleData, MachineTemplatesMatchTheBuiltInTables)
{
    struct Expected {
        int32_t typeId;
        const char* name;
        int32_t durability, agility, fuel, fuelUse;
        uint8_t hasShield;
        int32_t skillCap;
        std::array<int32_t, 8> evasion, accuracy;
    };
    const Expected expected[2] = {
        {1, "ヴォルテ", 70, 12, 100, 10, 1, 15, {40, 20, 20, 20, 20, 0, 0, 40}, {40, 20, 20, 20, 20, 0, 20, 40}},
        {139, "ドゥーガ", 50, 14, 100, 8, 0, 20, {40, 20, 20, 40, 20, 0, 0, 40}, {40, 20, 20, 40, 20, 0, 20, 40}},
    };
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const Machine& m = machineTemplates[i];
        const Expected& e = expected[i];
        EXPECT_EQ(m.typeId, e.typeId);
        EXPECT_EQ(m.name, e.name);
        EXPECT_EQ(m.auxName, "");
        EXPECT_EQ(m.durability, e.durability);
        EXPECT_EQ(m.maxDurability, e.durability);
        EXPECT_EQ(m.agility, e.agility);
        EXPECT_EQ(m.fuel, e.fuel);
        EXPECT_EQ(m.fuelUse, e.fuelUse);
        EXPECT_EQ(m.hasShield, e.hasShield);
        EXPECT_EQ(m.skillCap, e.skillCap);
        EXPECT_EQ(m.evasionBySituation, e.evasion);
        EXPECT_EQ(m.accuracyBySituation, e.accuracy);
        EXPECT_EQ(m.pilot.id, 0);
        EXPECT_EQ(m.pilot.name, "");
    }
}

TEST_F(BattleData, WeaponsMatchTheBuiltInTable)
{
    struct Row {
        int type, slot;
        const char* name;
        int32_t kind, damage, attacks, accuracy, minRange, maxRange;
        std::array<uint8_t, 5> marks;
    };
    const Row rows[] = {
        {0, 0, "ルーメンガン", 1, 6, 6, 60, 1, 1, {1, 1, 0, 0, 1}},
        {0, 1, "ルーメンブレード", 2, 20, 2, 75, 0, 0, {1, 0, 0, 0, 1}},
        {0, 2, "Hラトル", 3, 2, 6, 35, 1, 1, {1, 0, 0, 0, 1}},
        {0, 3, "", 0, 0, 0, 0, 0, 0, {}},
        {0, 4, "", 0, 0, 0, 0, 0, 0, {}},
        {1, 0, "ドゥーガライフル", 3, 3, 10, 50, 1, 1, {1, 1, 0, 0, 1}},
        {1, 1, "ブランドアクス", 2, 18, 2, 70, 0, 0, {1, 0, 0, 0, 1}},
        {1, 2, "ショルダーラム", 2, 35, 1, 85, 0, 0, {1, 0, 0, 0, 1}},
        {1, 3, "", 0, 0, 0, 0, 0, 0, {}},
        {1, 4, "", 0, 0, 0, 0, 0, 0, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << " slot " << r.slot);
        const WeaponSlot& w = machineTemplates[r.type].weapons[r.slot];
        EXPECT_EQ(w.name, r.name);
        EXPECT_EQ(w.kind, r.kind);
        EXPECT_EQ(w.damage, r.damage);
        EXPECT_EQ(w.attacks, r.attacks);
        EXPECT_EQ(w.accuracy, r.accuracy);
        EXPECT_EQ(w.minRange, r.minRange);
        EXPECT_EQ(w.maxRange, r.maxRange);
        EXPECT_EQ(w.marks, r.marks);
        EXPECT_EQ(machineTemplates[r.type].extraAttacks[r.slot], 0);
    }
}

TEST_F(BattleData, CatalogueHoldsThreeCopiesOfEachType)
{
    const int32_t typeIds[2] = {1, 139};
    for (int i = 0; i < 2; ++i) {
        const Squad& squad = squadCatalog[i];
        EXPECT_EQ(squad.typeId, typeIds[i]);
        EXPECT_EQ(squad.evasionBonusOff, 0);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(squad.machines[k].name, machineTemplates[i].name);
        EXPECT_EQ(squad.machines[3].typeId, 0);
        EXPECT_EQ(squad.machines[4].typeId, 0);
    }
}

TEST_F(BattleData, CopiesAreDeepAndIndependent)
{
    Army original;
    ChooseSquads(original, {1, 2, 0});
    original.squads[0].machines[0].pilot.name = "ハルデン";

    Army copy = original;
    copy.squads[0].machines[0].name = "changed";
    copy.squads[0].machines[0].pilot.name[0] = 'X';
    copy.squads[1].machines[2].weapons[0].name += "!";
    copy.squads[1].machines[2].durability = 1;
    copy.meleeList[0] = {2, 4};

    EXPECT_EQ(original.squads[0].machines[0].name, "ヴォルテ");
    EXPECT_EQ(original.squads[0].machines[0].pilot.name, "ハルデン");
    EXPECT_EQ(original.squads[1].machines[2].weapons[0].name, "ドゥーガライフル");
    EXPECT_EQ(original.squads[1].machines[2].durability, 50);
    EXPECT_EQ(original.meleeList[0].squad, 0);

    // Assignment over a used record copies too.
    copy = original;
    EXPECT_EQ(copy.squads[0].machines[0].name, "ヴォルテ");
    EXPECT_EQ(copy.squads[1].machines[2].durability, 50);
}

TEST_F(BattleData, ReflectMenuDataCopiesAndLeavesTheMenuAlone)
{
    ChooseSquads(menuArmies[0], {1, 0, 0});
    ReflectMenuData();

    std::vector<std::string> expected = {"メニュー画面のデータを反映", "戦闘データの計算(攻撃回数増加の計算)"};
    expected.insert(expected.end(), 30, "");  // one per machine position of both armies
    EXPECT_EQ(Lines(), expected);

    battleArmies[0].squads[0].machines[0].durability = 0;
    battleArmies[0].squads[0].machines[0].name = "x";
    EXPECT_EQ(menuArmies[0].squads[0].machines[0].durability, 70);
    EXPECT_EQ(menuArmies[0].squads[0].machines[0].name, "ヴォルテ");

    // A new battle starts again from the unchanged menu army.
    ReflectMenuData();
    EXPECT_EQ(battleArmies[0].squads[0].machines[0].durability, 70);
}

TEST_F(BattleData, BuiltInMachinesWithoutPilotsDeriveNothing)
{
    ChooseSquads(menuArmies[0], {1, 2, 1});
    ChooseSquads(menuArmies[1], {2, 0, 2});
    ReflectMenuData();
    for (const Army& army : battleArmies) {
        for (const Squad& squad : army.squads) {
            for (const Machine& m : squad.machines) {
                EXPECT_EQ(m.shootingBonus, 0);
                EXPECT_EQ(m.meleeBonus, 0);
                EXPECT_EQ(m.skillBonus, 0);
                EXPECT_EQ(m.extraAttacks, (std::array<int32_t, 5>{}));
            }
        }
    }
}

struct DeriveCase {
    const char* name;
    int32_t skillCap, agility;
    // kind and attacks per slot
    std::array<std::pair<int32_t, int32_t>, 5> slots;
    int32_t shooting, melee, reflex, insight;
    int32_t skillBonus;
    std::array<int32_t, 5> extraAttacks;
};

WeaponSlot Slot(int32_t kind, int32_t attacks)
{
    WeaponSlot slot;
    slot.kind = kind;
    slot.attacks = attacks;
    return slot;
}

void PrintTo(const DeriveCase& c, std::ostream* out)
{
    *out << c.name;
}

class DeriveBattleValuesCases : public BattleFixture, public testing::WithParamInterface<DeriveCase> {};

TEST_P(DeriveBattleValuesCases, DerivesBonusesAndExtraAttacks)
{
    const DeriveCase& c = GetParam();
    Squad squad;
    Machine& m = squad.machines[2];
    m.skillCap = c.skillCap;
    m.agility = c.agility;
    for (int i = 0; i < 5; ++i)
        m.weapons[i] = Slot(c.slots[i].first, c.slots[i].second);
    m.pilot.stats[9] = c.shooting;
    m.pilot.stats[10] = c.melee;
    m.pilot.stats[12] = c.reflex;
    m.pilot.stats[13] = c.insight;

    DeriveBattleValues(squad);

    EXPECT_EQ(m.shootingBonus, 3 * c.shooting);
    EXPECT_EQ(m.meleeBonus, 3 * c.melee);
    EXPECT_EQ(m.skillBonus, c.skillBonus);
    EXPECT_EQ(m.extraAttacks, c.extraAttacks);
    EXPECT_EQ(Lines(), std::vector<std::string>(5, ""));  // one empty line per position
}

// Built-in weapon layouts: ヴォルテ (gun, blade, rattle) and ドゥーガ (rifle, axe, ram).
constexpr std::array<std::pair<int32_t, int32_t>, 5> VolteSlots = {{{1, 6}, {2, 2}, {3, 6}, {0, 0}, {0, 0}}};
constexpr std::array<std::pair<int32_t, int32_t>, 5> DugaSlots = {{{3, 10}, {2, 2}, {2, 1}, {0, 0}, {0, 0}}};

INSTANTIATE_TEST_SUITE_P(
    Cases, DeriveBattleValuesCases,
    testing::Values(
        // cap 25 > skillCap 15: skill bonus 12 * 15 / 100; x 40, 30, 40: all above skillCap.
        DeriveCase{"VolteWithHarden", 15, 12, VolteSlots, 8, 4, 5, 0, 1, {7, 1, 7, 0, 0}},
        // x 65, 112.5, 75 all above skillCap 20: v = skill * 20.
        DeriveCase{"DugaWithZefil", 20, 14, DugaSlots, 13, 15, 13, 0, 2, {26, 6, 3, 0, 0}},
        // skillCap not below cap 10: skill bonus 25 * 10 / 100; real products
        // 3 * 22.5 and 3 * 15 (the third melee slot keeps the second's x).
        DeriveCase{"RealProductsAndThirdMeleeSlot", 100, 25, {{{2, 3}, {2, 10}, {2, 10}, {1, 10}, {1, 10}}}, 2, 3, 0, 1,
                   2, {2, 4, 4, 4, 2}},
        // The fifth non-melee slot keeps the fourth's x (shooting 4): 20, 20, 8, 4, 4.
        DeriveCase{"FifthOtherSlotKeepsX", 100, 0, {{{1, 100}, {3, 100}, {1, 100}, {1, 100}, {0, 100}}}, 4, 0, 0, 0,
                   0, {80, 80, 32, 16, 16}},
        // A third melee slot keeps an x that a non-melee slot set (5 * 2 + 10 * 1 = 20).
        DeriveCase{"MeleeSlotKeepsOtherClassX", 100, 0, {{{2, 10}, {2, 10}, {1, 10}, {2, 10}, {0, 10}}}, 2, 3, 0, 1,
                   0, {6, 4, 4, 6, 2}},
        // A negative product truncates toward zero: -1 * 30 * 7 / 100 = -2.1.
        DeriveCase{"NegativeSkillTruncatesTowardZero", 30, 10, {{{1, 7}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}}, -1, 0, 1,
                   20, 3, {-2, 0, 0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
