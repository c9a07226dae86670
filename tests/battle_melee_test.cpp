#include <gtest/gtest.h>

#include "app/melee.h"
#include "battle_fixture.h"

using testing_support::BattleFixture;
using testing_support::ChooseSquads;

namespace {

class Melee : public BattleFixture {
protected:
    // Lines of the log from the first one equal to start on.
    std::vector<std::string> LinesFrom(const std::string& start)
    {
        std::vector<std::string> lines = Lines();
        auto it = std::find(lines.begin(), lines.end(), start);
        return std::vector<std::string>(it, lines.end());
    }
};

TEST_F(Melee, ReportsTheFirstRangeZeroWeapon)
{
    Machine volte = Volte();
    EXPECT_EQ(ReportMeleeWeapon(volte, 2), 1);

    Machine noRangeZero = Volte();
    noRangeZero.weapons[1] = noRangeZero.weapons[0];
    for (int slot : {3, 4})
        noRangeZero.weapons[slot].minRange = noRangeZero.weapons[slot].maxRange = 1;
    EXPECT_EQ(ReportMeleeWeapon(noRangeZero, 0), 0);

    volte.durability = 0;
    EXPECT_EQ(ReportMeleeWeapon(volte, 0), 0);

    // Only the empty slots are range 0: reported with an empty name, counted
    // as ready, but not usable for a mode-0 selection.
    Machine emptyOnly = Volte();
    emptyOnly.weapons[1] = emptyOnly.weapons[0];
    EXPECT_EQ(ReportMeleeWeapon(emptyOnly, 4), 1);
    EXPECT_EQ(CountUsableMeleeWeapons(emptyOnly), 0);

    EXPECT_EQ(Lines(), (std::vector<std::string>{"ヴォルテ(3)は近接武器あり(ルーメンブレード)",
                                                 "ヴォルテ(5)は近接武器あり()"}));

    Army army;
    army.squads[1].machines[0] = emptyOnly;
    army.squads[2].machines[1] = Duga();  // squad type 0 is not looked at
    EXPECT_EQ(CountMeleeReady(army), 2);
    SelectMeleeMachines(army, 0, 3);
    EXPECT_EQ(army.meleeList[0].squad, 2);
    EXPECT_EQ(army.meleeList[0].position, 1);
    EXPECT_FALSE(army.meleeList[1].HoldsMachine());
}

TEST_F(Melee, UsableWeaponsCountMeleeClassWithAttacks)
{
    Machine duga = Duga();
    EXPECT_EQ(CountUsableMeleeWeapons(duga), 2);
    duga.weapons[2].attacks = 0;
    EXPECT_EQ(CountUsableMeleeWeapons(duga), 1);
    duga.extraAttacks[2] = 1;
    EXPECT_EQ(CountUsableMeleeWeapons(duga), 2);
    duga.extraAttacks[1] = -2;
    EXPECT_EQ(CountUsableMeleeWeapons(duga), 1);
}

TEST_F(Melee, SelectionNeedsDurabilityFuelAndASituation)
{
    Army army;
    ChooseSquads(army, {1, 2, 0});
    army.squads[0].machines[0].durability = 0;
    army.squads[0].machines[1].fuel = 0;
    army.squads[0].machines[2].weapons[1].kind = 1;  // no melee-class weapon any more

    SelectMeleeMachines(army, 0, 3);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"ドゥーガ(6)", "ドゥーガ(7)", "ドゥーガ(8)"}));

    SelectMeleeMachines(army, 1, 2);  // mode 1 takes any machine with durability and fuel
    EXPECT_EQ(army.meleeList[0].squad, 0);
    EXPECT_EQ(army.meleeList[0].position, 2);
    EXPECT_EQ(army.meleeList[1].squad, 1);
    EXPECT_EQ(army.meleeList[1].position, 0);
    EXPECT_FALSE(army.meleeList[2].HoldsMachine());

    for (int32_t situation : {6, 8, -1}) {
        army.situation = situation;
        SelectMeleeMachines(army, 1, 3);
        for (const MeleePair& pair : army.meleeList)
            EXPECT_FALSE(pair.HoldsMachine()) << situation;
    }
    army.situation = 0;
    SelectMeleeMachines(army, 2, 3);  // unknown mode: nobody
    EXPECT_FALSE(army.meleeList[0].HoldsMachine());
}

TEST_F(Melee, ThirdBladeBlowDestroysAFullDuga)
{
    Army& attackers = battleArmies[0];
    Army& defenders = battleArmies[1];
    ChooseSquads(attackers, {1, 0, 0});
    ChooseSquads(defenders, {2, 0, 0});
    SeedRandom(12345);

    SelectMeleeMachines(attackers, 0, 3);
    RunMeleeExchange(1, 0, defenders, attackers, 3);
    RunMeleeExchange(1, 1, attackers, defenders, 3);

    // Blade attack 87 against evasion 79: every blow hits, one draw each.
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "ヴォルテ(1)", "ヴォルテ(2)", "ヴォルテ(3)",
                           "攻撃側の格闘戦", "1機に集中攻撃", "ターゲット選定", "ドゥーガ(1)",
                           "ヴォルテ(1)の1回目の攻撃はルーメンブレード", "ドゥーガ(1)は20のダメージ",
                           "ヴォルテ(1)の2回目の攻撃はルーメンブレード", "ドゥーガ(1)は20のダメージ",
                           "ヴォルテ(1)の3回目の攻撃はルーメンブレード", "ドゥーガ(1)は20のダメージ→撃破された",
                           "ヴォルテ(1)の4回目の攻撃はなし",
                           "反撃側の格闘戦", "1機に集中攻撃されてた場合"}));
    EXPECT_EQ(defenders.squads[0].machines[0].durability, 0);
    EXPECT_EQ(RandomState(), testing_support::StateAfterDraws(12345, 3));
}

TEST_F(Melee, SurvivingTargetStrikesBackAtTheLastAttacker)
{
    Army& attackers = battleArmies[0];
    Army& defenders = battleArmies[1];
    ChooseSquads(attackers, {2, 0, 0});
    ChooseSquads(defenders, {1, 0, 0});
    Machine& focused = defenders.squads[0].machines[0];
    focused.durability = 1000;
    focused.hasShield = 0;  // every axe and ram blow hits (attack 84 and 99 against 77)

    SelectMeleeMachines(attackers, 0, 3);
    RunMeleeExchange(1, 0, defenders, attackers, 3);
    const std::vector<std::string> attack = Lines();
    media::LogStart();
    RunMeleeExchange(1, 1, attackers, defenders, 3);

    // Each ドゥーガ: three axe blows of 18, one ram blow of 35, then no weapon.
    EXPECT_EQ(focused.durability, 1000 - 3 * (3 * 18 + 35));
    EXPECT_EQ(std::count(attack.begin(), attack.end(), "ヴォルテ(1)は18のダメージ"), 9);
    EXPECT_EQ(std::count(attack.begin(), attack.end(), "ヴォルテ(1)は35のダメージ"), 3);
    EXPECT_EQ(std::count(attack.begin(), attack.end(), "ドゥーガ(3)の5回目の攻撃はなし"), 1);

    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "反撃側の格闘戦", "1機に集中攻撃されてた場合", "反撃されるターゲット選定",
                           "ヴォルテ(1)の1回目の攻撃はルーメンブレード", "ドゥーガ(3)は20のダメージ",
                           "ヴォルテ(1)の2回目の攻撃はルーメンブレード", "ドゥーガ(3)は20のダメージ",
                           "ヴォルテ(1)の3回目の攻撃はルーメンブレード", "ドゥーガ(3)は20のダメージ→撃破された",
                           "ヴォルテ(1)の4回目の攻撃はなし"}));
    EXPECT_EQ(attackers.squads[0].machines[2].durability, 0);
    EXPECT_EQ(attackers.meleeList[0].position, 2);  // the counter target stays in pair 0
}

TEST_F(Melee, CounterTargetSearchSkipsEmptyPairs)
{
    Army& attackers = battleArmies[0];
    Army& defenders = battleArmies[1];
    ChooseSquads(attackers, {2, 0, 0});
    attackers.squads[0].machines[1].durability = 0;
    attackers.squads[0].machines[2].durability = 0;
    ChooseSquads(defenders, {1, 0, 0});
    defenders.squads[0].machines[0].durability = 1000;

    SelectMeleeMachines(attackers, 0, 3);
    RunMeleeExchange(1, 0, defenders, attackers, 3);
    const std::vector<std::string> attack = Lines();
    EXPECT_EQ(std::count(attack.begin(), attack.end(), "格闘戦攻撃なし"), 2);
    media::LogStart();
    RunMeleeExchange(1, 1, attackers, defenders, 3);

    const std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[2], "反撃されるターゲット選定");
    EXPECT_EQ(lines[4].rfind("ドゥーガ(1)", 0), 0u);  // pair 0 kept: the only attacker
    EXPECT_EQ(attackers.meleeList[0].position, 0);
}

TEST_F(Melee, ArmyInSituationSixNeverAttacks)
{
    Army& attackers = battleArmies[0];
    Army& defenders = battleArmies[1];
    ChooseSquads(attackers, {1, 1, 1});
    attackers.situation = 6;
    ChooseSquads(defenders, {2, 0, 0});
    SelectMeleeMachines(attackers, 0, 3);
    RunMeleeExchange(1, 0, defenders, attackers, 3);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"攻撃側の格闘戦", "1機に集中攻撃", "ターゲット選定", "ドゥーガ(1)",
                                                 "格闘戦攻撃なし", "格闘戦攻撃なし", "格闘戦攻撃なし"}));
    EXPECT_EQ(defenders.squads[0].machines[0].durability, 50);
}

TEST_F(Melee, OtherFocusModesOnlyWriteTheirHeadings)
{
    Army& a = battleArmies[0];
    Army& b = battleArmies[1];
    ChooseSquads(a, {1, 0, 0});
    ChooseSquads(b, {2, 0, 0});
    SelectMeleeMachines(a, 0, 3);
    media::LogStart();
    RunMeleeExchange(0, 0, b, a, 3);
    RunMeleeExchange(0, 1, a, b, 3);
    RunMeleeExchange(2, 1, a, b, 3);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"攻撃側の格闘戦", "反撃側の格闘戦", "分散攻撃されてた場合",
                                                 "反撃側の格闘戦"}));
}

}  // namespace
