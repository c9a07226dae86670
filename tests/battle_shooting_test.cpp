#include <gtest/gtest.h>

#include "app/shooting.h"
#include "battle_fixture.h"

using testing_support::BattleFixture;
using testing_support::ChooseSquads;
using testing_support::SeedWhoseDraws;
using testing_support::StateAfterDraws;

namespace {

class Shooting : public BattleFixture {};

struct WeaponChoiceCase {
    int type;  // 0 ヴォルテ, 1 ドゥーガ
    int32_t distance;
    int32_t firstN, lastN;
    int32_t slot;
};

TEST_F(Shooting, WeaponChoiceByAttackNumber)
{
    // The first eligible slot serves one attack more than its count.
    const WeaponChoiceCase cases[] = {
        {0, 1, 0, 6, 0},        {0, 1, 7, 12, 2},       {0, 1, 13, 60, NoChoice},
        {1, 1, 0, 10, 0},       {1, 1, 11, 60, NoChoice},
        {0, 0, 0, 2, 1},        {0, 0, 3, 10, NoChoice},
        {1, 0, 0, 2, 1},        {1, 0, 3, 3, 2},        {1, 0, 4, 10, NoChoice},
        {0, 2, 0, 0, NoChoice},
    };
    LogOff();
    for (const WeaponChoiceCase& c : cases) {
        for (int32_t n = c.firstN; n <= c.lastN; ++n) {
            SCOPED_TRACE(testing::Message() << "type " << c.type << " distance " << c.distance << " n " << n);
            EXPECT_EQ(ChooseWeapon(machineTemplates[c.type], n, c.distance, 1), c.slot);
        }
    }
}

TEST_F(Shooting, WeaponChoiceLines)
{
    Machine volte = Volte();
    volte.extraAttacks[0] = 2;  // ルーメンガン now serves n = 0 to 8
    EXPECT_EQ(ChooseWeapon(volte, 8, 1, 4), 0);
    EXPECT_EQ(ChooseWeapon(volte, 9, 1, 4), 2);
    EXPECT_EQ(ChooseWeapon(Duga(), 11, 1, 13), NoChoice);
    volte.durability = 0;
    EXPECT_EQ(ChooseWeapon(volte, 0, 1, 5), NoChoice);  // destroyed: no line
    EXPECT_EQ(Lines(), (std::vector<std::string>{"ヴォルテ(4)の9回目の攻撃はルーメンガン",
                                                 "ヴォルテ(4)の10回目の攻撃はHラトル",
                                                 "ドゥーガ(13)の12回目の攻撃はなし"}));
}

TEST(TargetSquad, FollowsTheTableForEveryActiveSet)
{
    // Expected squad for r = 0 to 9, per set of active squads (bits 1, 2, 4).
    const struct {
        unsigned set;
        int squads[10];
    } table[] = {
        {1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, {2, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {4, {2, 2, 2, 2, 2, 2, 2, 2, 2, 2}}, {3, {0, 0, 0, 0, 0, 0, 0, 0, 1, 1}},
        {5, {0, 0, 0, 0, 0, 0, 0, 0, 2, 2}}, {6, {1, 1, 1, 1, 1, 1, 1, 1, 2, 2}},
        {7, {0, 0, 0, 0, 0, 0, 1, 1, 1, 2}},
    };
    for (const auto& row : table) {
        for (int r = 0; r < 10; ++r)
            EXPECT_EQ(ChooseTargetSquad(row.set, r), row.squads[r]) << "set " << row.set << " r " << r;
    }
}

TEST_F(Shooting, ActiveSquadsNeedATypeAndALiveMachine)
{
    Army army;
    ChooseSquads(army, {1, 2, 1});
    for (Machine& m : army.squads[1].machines)
        m.durability = 0;
    army.squads[2].typeId = 0;
    EXPECT_EQ(ActiveSquadSet(army), 1u);
    army.squads[1].machines[4].typeId = 7;  // a live machine in position 4 counts
    army.squads[1].machines[4].durability = 1;
    EXPECT_EQ(ActiveSquadSet(army), 3u);
}

struct ShotCase {
    const char* name;
    int attackerType, targetType;
    int32_t targetDurability;
    // The draws: the hit draw (r % 100), then the guard draw when one is expected.
    int hitDraw;
    int guardDraw;  // -1: no guard draw expected
    const char* line;
    int32_t durabilityAfter;
};

void PrintTo(const ShotCase& c, std::ostream* out)
{
    *out << c.name;
}

class ResolveShotCases : public BattleFixture, public testing::WithParamInterface<ShotCase> {};

TEST_P(ResolveShotCases, WritesTheOutcomeAndDrawsOnlyWhatItNeeds)
{
    const ShotCase& c = GetParam();
    std::vector<std::function<bool(int)>> draws = {[&](int v) { return v % 100 == c.hitDraw; }};
    if (c.guardDraw >= 0)
        draws.push_back([&](int v) { return v % 100 == c.guardDraw; });
    const uint32_t seed = SeedWhoseDraws(draws);

    Machine target = machineTemplates[c.targetType];
    target.durability = c.targetDurability;
    const Machine attacker = machineTemplates[c.attackerType];
    SeedRandom(seed);
    ResolveShot(target, attacker, 0, 0, 0, 0, 5);

    EXPECT_EQ(Lines(), std::vector<std::string>{c.line});
    EXPECT_EQ(target.durability, c.durabilityAfter);
    EXPECT_EQ(RandomState(), StateAfterDraws(seed, c.guardDraw >= 0 ? 2 : 1));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolveShotCases,
    testing::Values(
        // ヴォルテ's ルーメンガン at a ドゥーガ: attack 72, evasion 79: evaded while r <= 7.
        ShotCase{"GunEvadedAtSeven", 0, 1, 50, 7, -1, "ドゥーガ(5)はダメージを回避", 50},
        ShotCase{"GunHitsAtEight", 0, 1, 50, 8, -1, "ドゥーガ(5)は6のダメージ", 44},
        ShotCase{"GunDestroys", 0, 1, 6, 99, -1, "ドゥーガ(5)は6のダメージ→撃破された", 0},
        // ドゥーガライフル at a ヴォルテ: attack 64, evasion 77; the shield guards below 15.
        ShotCase{"RifleEvadedAtThirteen", 1, 0, 70, 13, -1, "ヴォルテ(5)はダメージを回避", 70},
        ShotCase{"RifleGuardedAtFourteen", 1, 0, 70, 14, 14, "ヴォルテ(5)はシールドガード", 70},
        ShotCase{"RifleHitsPastTheShield", 1, 0, 70, 50, 15, "ヴォルテ(5)は3のダメージ", 67},
        // A target already at 0 is attacked normally and destroyed again.
        ShotCase{"DestroyedTargetEvades", 1, 0, 0, 0, -1, "ヴォルテ(5)はダメージを回避→撃破された", 0},
        ShotCase{"DestroyedTargetGuards", 1, 0, 0, 99, 0, "ヴォルテ(5)はシールドガード→撃破された", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Shooting, AttackAndEvasionIncludeEveryModifier)
{
    // Situation 3: attack 20 + 60 + 3 (skill) + 12 + 4 (shooting) - 40 = 59;
    // evasion 40 + 2 (skill) + 14 + 0 (flag set) + 50 (bonus 80 capped) = 106.
    Machine attacker = Volte();
    attacker.skillBonus = 3;
    attacker.shootingBonus = 4;
    Machine target = Duga();
    target.skillBonus = 2;
    // evasion - attack = 106 - 59 = 47: r = 47 evades, r = 48 hits.
    for (int r : {47, 48}) {
        SeedRandom(SeedWhoseDraws({[r](int v) { return v % 100 == r; }}));
        ResolveShot(target, attacker, 0, 80, 3, 1, 1);
    }
    EXPECT_EQ(Lines(), (std::vector<std::string>{"ドゥーガ(1)はダメージを回避", "ドゥーガ(1)は6のダメージ"}));
}

TEST_F(Shooting, NoWeaponMeansNoShotAndNoDraw)
{
    Machine target = Duga();
    SeedRandom(5);
    ResolveShot(target, Volte(), NoChoice, 0, 0, 0, 1);
    EXPECT_EQ(RandomState(), 5u);
    EXPECT_EQ(target.durability, 50);
    EXPECT_TRUE(Lines().empty());
}

TEST_F(Shooting, TargetMachineDrawsUntilALiveOne)
{
    Squad squad = squadCatalog[1];
    squad.machines[0].durability = 0;
    squad.machines[1].durability = 0;
    // Draws 0, 1, 0, then 2 (live), then the hit draw.
    const uint32_t seed = SeedWhoseDraws({[](int v) { return v % 3 == 0; }, [](int v) { return v % 3 == 1; },
                                          [](int v) { return v % 3 == 0; }, [](int v) { return v % 3 == 2; }});
    SeedRandom(seed);
    FireAtSquad(Volte(), 0, 0, 0, 2, squad);
    EXPECT_EQ(RandomState(), StateAfterDraws(seed, 5));
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].rfind("ドゥーガ(9)", 0), 0u);  // 3 * 2 + 2 + 1
}

TEST_F(Shooting, TargetMachineGivesUpAfterTwentyDraws)
{
    Squad squad = squadCatalog[1];
    for (Machine& m : squad.machines)
        m.durability = 0;
    const uint32_t seed = 77;
    SeedRandom(seed);
    for (int i = 0; i < 19; ++i)
        DrawRandom();
    const int lastK = DrawRandom() % 3;

    SeedRandom(seed);
    FireAtSquad(Volte(), 0, 0, 0, 0, squad);
    EXPECT_EQ(RandomState(), StateAfterDraws(seed, 21));  // 20 target draws, 1 hit draw (no shield)
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].rfind("ドゥーガ(" + std::to_string(lastK + 1) + ")", 0), 0u);
    EXPECT_NE(Lines()[0].find("→撃破された"), std::string::npos);
}

TEST_F(Shooting, VolleyAtAnEmptyArmyStillDrawsOncePerShot)
{
    Army attackers;
    ChooseSquads(attackers, {1, 1, 0});
    Army target;  // no squad chosen
    AttackRow row;
    row.fill(NoChoice);
    row[0] = 0;
    row[4] = 2;
    row[7] = 0;
    SeedRandom(3);
    FireVolley(target, attackers, row, 1);
    EXPECT_EQ(RandomState(), StateAfterDraws(3, 3));
    EXPECT_TRUE(Lines().empty());

    SeedRandom(3);
    FireVolley(target, attackers, row, 0);  // disabled: no draw at all
    EXPECT_EQ(RandomState(), 3u);
}

TEST_F(Shooting, VolleyFiresQueuedShotsOfDestroyedMachines)
{
    Army attackers;
    ChooseSquads(attackers, {2, 0, 0});
    for (Machine& m : attackers.squads[0].machines)
        m.durability = 0;
    Army target;
    ChooseSquads(target, {1, 0, 0});
    AttackRow row;
    row.fill(NoChoice);
    row[1] = 0;
    FireVolley(target, attackers, row, 1);
    EXPECT_EQ(Lines().size(), 1u);
}

TEST_F(Shooting, VolleyKeepsItsTargetSetWhenASquadIsEmptied)
{
    // Squad 1 of the target holds one machine with 1 point left; squad 0 is full.
    Army target;
    ChooseSquads(target, {2, 2, 0});
    target.squads[1].machines[1].durability = 0;
    target.squads[1].machines[2].durability = 0;
    target.squads[1].machines[0].durability = 1;
    Army attackers;
    ChooseSquads(attackers, {1, 0, 0});
    AttackRow row;
    row.fill(NoChoice);
    row[0] = 0;
    row[1] = 0;

    // Both shots go to squad 1 (r % 10 >= 8); the first destroys its last machine.
    const uint32_t seed = SeedWhoseDraws({
        [](int v) { return v % 10 == 8; },
        [](int v) { return v % 3 == 0; },
        [](int v) { return v % 100 == 50; },
        [](int v) { return v % 10 == 9; },
    });
    SeedRandom(seed);
    FireVolley(target, attackers, row, 1);
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "ドゥーガ(4)は6のダメージ→撃破された");
    EXPECT_NE(lines[1].find("→撃破された"), std::string::npos);  // squad 1 attacked again
    EXPECT_EQ(lines[1].rfind("ドゥーガ(", 0), 0u);
    EXPECT_EQ(RandomState(), StateAfterDraws(seed, 1 + 1 + 1 + 1 + 20 + 1));
}

TEST_F(Shooting, QueuesShiftOneRowPerTurn)
{
    ResetAttackQueues();
    for (const auto& rows : attackQueues)
        for (const AttackRow& row : rows)
            for (int32_t v : row)
                EXPECT_EQ(v, NoChoice);

    ShiftAttackQueues();
    EXPECT_EQ(shotsPending, 0);

    attackQueues[1][1][10] = 2;
    ShiftAttackQueues();
    EXPECT_EQ(shotsPending, 1);
    EXPECT_EQ(attackQueues[1][0][10], 2);
    EXPECT_EQ(attackQueues[1][1][10], NoChoice);

    ShiftAttackQueues();  // the shot has left row 0
    EXPECT_EQ(shotsPending, 0);
    EXPECT_EQ(attackQueues[1][0][10], NoChoice);
}

TEST_F(Shooting, DecisionLooksOnlyAtSquadZero)
{
    Army army;
    ChooseSquads(army, {0, 1, 2});
    AttackRow row;
    row.fill(NoChoice);
    battleTurn = 0;
    EXPECT_EQ(DecideArmyShots(army, row), 0);
    // Squad 1 writes entries 3 to 7, squad 2 entries 6 to 10 (over squad 1's last two).
    const AttackRow expected = {NoChoice, NoChoice, NoChoice, 0, 0, 0, 0, 0, 0, NoChoice, NoChoice,
                                NoChoice, NoChoice, NoChoice, NoChoice};
    EXPECT_EQ(row, expected);
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "部隊(2)の攻撃", "ヴォルテ(4)の1回目の攻撃はルーメンガン",
                           "ヴォルテ(5)の1回目の攻撃はルーメンガン", "ヴォルテ(6)の1回目の攻撃はルーメンガン",
                           "部隊(3)の攻撃", "ドゥーガ(7)の1回目の攻撃はドゥーガライフル",
                           "ドゥーガ(8)の1回目の攻撃はドゥーガライフル", "ドゥーガ(9)の1回目の攻撃はドゥーガライフル"}));
    ChooseSquads(army, {2, 0, 0});
    EXPECT_EQ(DecideArmyShots(army, row), 1);
}

TEST_F(Shooting, DecisionUsesTheTurnCounter)
{
    Army army;
    ChooseSquads(army, {1, 0, 0});
    army.squads[0].machines[1].durability = 0;
    AttackRow row;
    row.fill(7);
    battleTurn = 7;
    EXPECT_EQ(DecideArmyShots(army, row), 1);
    EXPECT_EQ(row[0], 2);
    EXPECT_EQ(row[1], NoChoice);  // destroyed: no choice, no line
    EXPECT_EQ(row[2], 2);
    EXPECT_EQ(row[5], 7);  // past squad 0's five entries: untouched
    EXPECT_EQ(Lines(), (std::vector<std::string>{"部隊(1)の攻撃", "ヴォルテ(1)の8回目の攻撃はHラトル",
                                                 "ヴォルテ(3)の8回目の攻撃はHラトル"}));
}

}  // namespace
