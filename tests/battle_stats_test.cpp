// Battle outcomes read from the engine, and the statistics built on them.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/battle_outcome.h"
#include "app/battle_stats.h"
#include "battle_fixture.h"

using testing_support::BattleFixture;

namespace {

class Outcome : public BattleFixture {
protected:
    // Squad rows 0 and 1 of both armies are Duga squads whose rifle serves
    // the given numbers of attacks and does no damage, so no battle ends
    // early by annihilation and the shooting stops when the attacks run out.
    void HarmlessRifles(int32_t row0Attacks, int32_t row1Attacks)
    {
        for (Army& army : menuArmies) {
            army = Army{};
            army.squads[0] = squadCatalog[1];
            army.squads[1] = squadCatalog[1];
            for (int row = 0; row < 2; ++row) {
                for (int k = 0; k < 3; ++k) {
                    WeaponSlot& rifle = army.squads[row].machines[k].weapons[0];
                    rifle.damage = 0;
                    rifle.attacks = row == 0 ? row0Attacks : row1Attacks;
                }
            }
        }
    }

    size_t CountLines(const std::string& text)
    {
        const std::vector<std::string> lines = Lines();
        return size_t(std::count(lines.begin(), lines.end(), text));
    }
};

// Squad 0 chooses for attack numbers 0 to `attacks`; once it stops, both
// armies stop deciding, and the shots still queued end the shooting one turn
// later. 38 makes that turn 41, the last shooting turn, where the counter the
// driver leaves is the same as after a full course.
TEST_F(Outcome, ForcedEndOnTheLastShootingTurnIsNotAFullCourse)
{
    const struct {
        int32_t row0Attacks;
        BattleEnd end;
        int32_t endTurn;
    } cases[] = {
        {10, BattleEnd::ForcedEnd, 13},
        {37, BattleEnd::ForcedEnd, 40},
        {38, BattleEnd::ForcedEnd, 41},
        {39, BattleEnd::FullCourse, 41},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row0Attacks);
        media::LogStart();
        HarmlessRifles(c.row0Attacks, 60);
        const BattleOutcome outcome = PlayBattle(7);
        EXPECT_EQ(outcome.end, c.end);
        EXPECT_EQ(outcome.endTurn, c.endTurn);
        EXPECT_EQ(outcome.LastTurn(), 42);
        EXPECT_EQ(CountLines("射撃戦強制終了"), c.end == BattleEnd::ForcedEnd ? 1u : 0u);
        const std::vector<std::string> lines = Lines();
        const auto forced = std::find(lines.begin(), lines.end(), "射撃戦強制終了");
        if (forced != lines.end()) {
            // The forced-end line belongs to the turn named before it.
            const auto turnLine = std::find(std::make_reverse_iterator(forced), lines.rend(),
                                            std::to_string(c.endTurn) + "ターン目(距離＝1)");
            EXPECT_NE(turnLine, lines.rend());
        }
        // Only the melee turn does damage here.
        EXPECT_EQ(outcome.survivors, Survivors::Both);
        EXPECT_EQ(outcome.liveMachines[0], 6);
    }
}

// What PlayBattle reports is what the battle armies hold at the end.
TEST_F(Outcome, LiveMachinesAndDurabilityComeFromTheBattleArmies)
{
    SetUpMenuArmies({2, 0, 0}, {1, 0, 0});
    for (uint32_t seed = 0; seed < 40; ++seed) {
        SCOPED_TRACE(seed);
        LogOff();
        const BattleOutcome outcome = PlayBattle(seed);
        for (int a = 0; a < 2; ++a) {
            int32_t live = 0, durability = 0;
            for (const Machine& m : battleArmies[a].squads[0].machines) {
                live += m.durability > 0 && m.typeId != 0;
                durability += std::max(m.durability, 0);
            }
            EXPECT_EQ(outcome.liveMachines[a], live);
            EXPECT_EQ(outcome.durability[a], durability);
        }
        const Survivors expected = outcome.liveMachines[0] > 0
                                       ? (outcome.liveMachines[1] > 0 ? Survivors::Both : Survivors::Army1Only)
                                       : (outcome.liveMachines[1] > 0 ? Survivors::Army2Only : Survivors::Neither);
        EXPECT_EQ(outcome.survivors, expected);
        EXPECT_EQ(battleTurn, MeleeTurn + 1);
    }
}

TEST_F(Outcome, EmptyArmiesEndOnTheFirstTurn)
{
    LogOff();
    const struct {
        ArmySetup army1, army2;
        Survivors survivors;
    } cases[] = {
        {{0, 0, 0}, {0, 0, 0}, Survivors::Neither},
        {{0, 1, 0}, {0, 0, 0}, Survivors::Army1Only},
        {{0, 0, 0}, {2, 0, 2}, Survivors::Army2Only},
    };
    for (const auto& c : cases) {
        SetUpMenuArmies(c.army1, c.army2);
        const BattleOutcome outcome = PlayBattle(1);
        EXPECT_EQ(outcome.end, BattleEnd::Annihilation);
        EXPECT_EQ(outcome.endTurn, 1);
        EXPECT_EQ(outcome.LastTurn(), 1);
        EXPECT_EQ(outcome.survivors, c.survivors);
    }
}

// A restart starts the outcome afresh: the last battle started is the one reported.
TEST_F(Outcome, RestartReportsTheBattleRunLast)
{
    LogOff();
    SetUpMenuArmies({1, 0, 0}, {0, 0, 0});
    EXPECT_EQ(PlayBattle(3, {0, 1, 2}).endTurn, 1);
    SetUpMenuArmies({2, 1, 1}, {2, 2, 2});
    const BattleOutcome plain = PlayBattle(3);
    EXPECT_EQ(plain.end, BattleEnd::ForcedEnd);
    EXPECT_EQ(PlayBattle(99, {5, 60}).end, BattleEnd::ForcedEnd);
}

TEST(SetupNumbers, RoundTripForEveryCatalogueSize)
{
    EXPECT_EQ(SetupCount(2), 27);
    EXPECT_EQ(SetupText(SetupFromNumber(9 * 1 + 3 * 0 + 2, 2)), "1,0,2");
    for (int squads = 1; squads <= MostCatalogSquads; ++squads) {
        ArmySetup previous{-1, 0, 0};
        for (int number = 0; number < SetupCount(squads); ++number) {
            const ArmySetup setup = SetupFromNumber(number, squads);
            EXPECT_EQ(SetupNumber(setup, squads), number);
            // Numbers follow the rows' order, which the ranking relies on.
            EXPECT_LT(previous, setup);
            for (int row : setup)
                EXPECT_LE(row, squads);
            previous = setup;
        }
    }
    EXPECT_EQ(SetupText(SetupFromNumber(SetupCount(11) - 1, 11)), "11,11,11");
}

TEST(Wilson, KnownIntervals)
{
    const struct {
        int64_t successes, trials;
        double low, high;
    } cases[] = {
        {0, 10, 0.0, 0.277533},  {5, 10, 0.236593, 0.763407},      {10, 10, 0.722467, 1.0},
        {1, 1000, 0.000177, 0.005643}, {512, 1000, 0.481033, 0.542876},
    };
    for (const auto& c : cases) {
        const Interval interval = WilsonInterval(c.successes, c.trials);
        EXPECT_NEAR(interval.low, c.low, 1e-6) << c.successes << "/" << c.trials;
        EXPECT_NEAR(interval.high, c.high, 1e-6) << c.successes << "/" << c.trials;
    }
}

OutcomeTally TallyOf(int army1Wins, int army2Wins, int both)
{
    OutcomeTally tally;
    BattleOutcome outcome;
    outcome.endTurn = 41;
    for (int i = 0; i < army1Wins + army2Wins + both; ++i) {
        outcome.survivors = i < army1Wins               ? Survivors::Army1Only
                            : i < army1Wins + army2Wins ? Survivors::Army2Only
                                                        : Survivors::Both;
        tally.Add(outcome);
    }
    return tally;
}

// Each setup's share of wins is averaged over every pair it takes part in,
// as army 1 and as army 2.
TEST(Ranking, MeanShareOfWinsOverAllOpponents)
{
    RunDescription run;
    run.battlesPerPair = 10;
    run.army1 = {{1, 0, 0}, {2, 0, 0}};
    run.army2 = {{1, 0, 0}, {0, 0, 1}};
    const std::vector<OutcomeTally> tallies = {
        TallyOf(5, 5, 0),  // 1,0,0 vs 1,0,0
        TallyOf(8, 0, 2),  // 1,0,0 vs 0,0,1
        TallyOf(2, 7, 1),  // 2,0,0 vs 1,0,0
        TallyOf(0, 0, 10), // 2,0,0 vs 0,0,1
    };
    const std::vector<RankedSetup> ranked = RankSetups(run, tallies);
    ASSERT_EQ(ranked.size(), 3u);
    EXPECT_EQ(ranked[0].setup, (ArmySetup{1, 0, 0}));
    EXPECT_DOUBLE_EQ(ranked[0].asArmy1, (0.5 + 0.8) / 2);
    EXPECT_DOUBLE_EQ(ranked[0].asArmy2, (0.5 + 0.7) / 2);
    EXPECT_DOUBLE_EQ(ranked[0].overall, (0.5 + 0.8 + 0.5 + 0.7) / 4);
    EXPECT_EQ(ranked[1].setup, (ArmySetup{2, 0, 0}));
    EXPECT_DOUBLE_EQ(ranked[1].overall, 0.1);
    EXPECT_EQ(ranked[1].asArmy2, -1);
    EXPECT_EQ(ranked[2].setup, (ArmySetup{0, 0, 1}));
    EXPECT_DOUBLE_EQ(ranked[2].overall, 0.0);
    EXPECT_EQ(ranked[2].asArmy1, -1);

    const std::string text = FormatMatrixText(run, tallies);
    EXPECT_LT(text.find("1,0,0"), text.find("2,0,0"));
    EXPECT_NE(text.find("   1  1,0,0         62.50%       65.00%       60.00%"), std::string::npos) << text;
}

TEST(Summary, SeedsWrapAndRowsNameEverything)
{
    RunDescription run;
    run.firstSeed = 4294967295u;
    run.battlesPerPair = 3;
    run.army1 = {{1, 1, 1}};
    run.army2 = {{2, 0, 2}};
    EXPECT_EQ(SeedOfBattle(run.firstSeed, 2), 1u);
    const OutcomeTally tally = TallyOf(1, 0, 2);
    EXPECT_NE(FormatRunsText(run, tally).find("seeds 4294967295 to 1 (wrapping modulo 2^32)"), std::string::npos);
    EXPECT_NE(FormatRunsJson(run, tally).find("\"last_seed\": 1,"), std::string::npos);

    BattleOutcome outcome;
    outcome.end = BattleEnd::Annihilation;
    outcome.endTurn = 9;
    outcome.survivors = Survivors::Army2Only;
    outcome.liveMachines = {0, 4};
    outcome.durability = {0, 151};
    EXPECT_EQ(BattleCsvRow(0, run.army1[0], run.army2[0], outcome),
              "0,\"1,1,1\",\"2,0,2\",annihilation,9,9,army2,0,4,0,151\n");
    outcome.end = BattleEnd::ForcedEnd;
    EXPECT_EQ(BattleCsvRow(0, run.army1[0], run.army2[0], outcome),
              "0,\"1,1,1\",\"2,0,2\",forced,9,42,army2,0,4,0,151\n");
}

}  // namespace
