#include <gtest/gtest.h>

#include "app/battle_driver.h"
#include "battle_fixture.h"

using testing_support::BattleFixture;
using testing_support::ChooseSquads;

namespace {

const std::string Stars = "☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆";

class BattleDriver : public BattleFixture {
protected:
    void SetUpArmies(const testing_support::SquadRows& armyA, const testing_support::SquadRows& armyB, uint32_t seed)
    {
        ChooseSquads(menuArmies[0], armyA);
        ChooseSquads(menuArmies[1], armyB);
        SeedRandom(seed);
        battleTurn = 0;
    }

    // Runs frames until the battle reports its end with the melee turn done
    // (or limit frames); returns what every frame returned.
    std::vector<int> RunToEnd(int limit = 100)
    {
        std::vector<int> results;
        while (int(results.size()) < limit) {
            results.push_back(AdvanceBattle());
            if (results.back() == 1 && battleTurn > MeleeTurn)
                break;
        }
        return results;
    }

    static size_t IndexOf(const std::vector<std::string>& lines, const std::string& line, size_t from = 0)
    {
        auto it = std::find(lines.begin() + long(from), lines.end(), line);
        return size_t(it - lines.begin());
    }

    static size_t CountStartingWith(const std::vector<std::string>& lines, const std::string& prefix)
    {
        return size_t(std::count_if(lines.begin(), lines.end(),
                                    [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    }

    static bool EndsWith(const std::string& text, const std::string& end)
    {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }
};

std::vector<std::string> StartLines()
{
    std::vector<std::string> lines = {"初期化処理", "メニュー画面のデータを反映", "戦闘データの計算(攻撃回数増加の計算)"};
    lines.insert(lines.end(), 30, "");
    for (const std::string& line : {std::string("初期化処理"), std::string(), std::string(), std::string(), Stars,
                                    std::string(), std::string(), std::string(), std::string("戦闘開始"),
                                    std::string(), Stars})
        lines.push_back(line);
    return lines;
}

TEST_F(BattleDriver, EmptyArmyEndsTheBattleInTheFirstFrame)
{
    SetUpArmies({1, 0, 0}, {0, 0, 0}, 9);
    EXPECT_EQ(AdvanceBattle(), 1);
    EXPECT_EQ(battleTurn, 42);

    std::vector<std::string> expected = StartLines();
    // The decision step still runs, at attack number 42.
    for (const char* line : {"1ターン目(距離＝1)", "戦闘部隊の(少なくとも)片方が全滅のため戦闘終了", "部隊(1)の攻撃",
                             "ヴォルテ(1)の42回目の攻撃はなし", "ヴォルテ(2)の42回目の攻撃はなし",
                             "ヴォルテ(3)の42回目の攻撃はなし"})
        expected.push_back(line);
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(RandomState(), 9u);  // nothing fired

    // No melee turn follows; later frames only count.
    media::LogStart();
    EXPECT_EQ(AdvanceBattle(), 1);
    EXPECT_EQ(battleTurn, 43);
    EXPECT_TRUE(Lines().empty());
}

TEST_F(BattleDriver, BothRowZeroesEmptyForcesTheEndInTheSecondFrame)
{
    SetUpArmies({0, 1, 1}, {0, 2, 2}, 4);
    EXPECT_EQ(AdvanceBattle(), 0);
    EXPECT_EQ(mayDecide[0], 0);
    EXPECT_EQ(mayDecide[1], 0);
    media::LogStart();

    EXPECT_EQ(AdvanceBattle(), 1);
    EXPECT_EQ(battleTurn, 41);
    const std::vector<std::string> second = Lines();
    ASSERT_EQ(second.size(), 1u + 12u + 1u);  // turn line, six shots per army, the end
    EXPECT_EQ(second.front(), "2ターン目(距離＝1)");
    EXPECT_EQ(second.back(), "射撃戦強制終了");
    media::LogStart();

    EXPECT_EQ(AdvanceBattle(), 1);
    EXPECT_EQ(battleTurn, 42);
    const std::vector<std::string> third = Lines();
    EXPECT_EQ(third.front(), "耐久力");
    EXPECT_EQ(CountStartingWith(third, "42ターン目(接近戦)"), 1u);
}

TEST_F(BattleDriver, SquadZeroOutOfWeaponsForcesTheEndAfterItsLastShots)
{
    SetUpArmies({2, 1, 1}, {2, 2, 2}, 2024);
    const std::vector<int> results = RunToEnd();
    // Shooting frames for counter values 0 to 12, then the melee frame.
    ASSERT_EQ(results.size(), 14u);
    EXPECT_EQ(std::count(results.begin(), results.end(), 1), 2);

    const std::vector<std::string> lines = Lines();
    const size_t turn12 = IndexOf(lines, "12ターン目(距離＝1)");
    const size_t turn13 = IndexOf(lines, "13ターン目(距離＝1)");
    ASSERT_LT(turn13, lines.size());
    const std::vector<std::string> decisions(lines.begin() + long(turn12), lines.begin() + long(turn13));
    EXPECT_EQ(IndexOf(decisions, "ドゥーガ(1)の12回目の攻撃はなし") < decisions.size(), true);
    EXPECT_EQ(std::count(decisions.begin(), decisions.end(), "ヴォルテ(4)の12回目の攻撃はHラトル"), 1);

    const size_t forced = IndexOf(lines, "射撃戦強制終了", turn13);
    ASSERT_LT(forced, lines.size());
    EXPECT_EQ(lines[forced + 1], "耐久力");  // no decisions after the forced end; melee next
    EXPECT_EQ(CountStartingWith(lines, "14ターン目"), 0u);
    EXPECT_EQ(CountStartingWith(lines, "42ターン目(接近戦)"), 1u);
    // Only army A's Hラトル shots of attack number 12 were in the queue.
    for (size_t i = turn13 + 1; i < forced; ++i)
        EXPECT_TRUE(lines[i].rfind("ドゥーガ(", 0) == 0) << i;
}

struct OneTypeCase {
    int type;
    int lastFiredAttack;  // attack number of the last shots fired
};

void PrintTo(const OneTypeCase& c, std::ostream* out)
{
    *out << "type " << c.type;
}

class OneTypeBattles : public BattleDriver, public testing::WithParamInterface<OneTypeCase> {};

TEST_P(OneTypeBattles, RunAllFortyOneTurnsWithoutAForcedEnd)
{
    const OneTypeCase c = GetParam();
    SetUpArmies({c.type, c.type, c.type}, {c.type, c.type, c.type}, 31337);
    // Tough enough that no squad is wiped out: every squad then runs out of
    // weapons at the same attack number.
    for (Army& army : menuArmies)
        for (Squad& squad : army.squads)
            for (int k = 0; k < 3; ++k)
                squad.machines[k].durability = 10000;
    const std::vector<int> results = RunToEnd();
    ASSERT_EQ(results.size(), 42u);  // 41 shooting frames, one melee frame
    EXPECT_EQ(std::count(results.begin(), results.end(), 0), 40);

    const std::vector<std::string> lines = Lines();
    EXPECT_EQ(CountStartingWith(lines, "射撃戦強制終了"), 0u);
    EXPECT_EQ(CountStartingWith(lines, "41ターン目(距離＝1)"), 1u);
    const std::string lastChoice = "の" + std::to_string(c.lastFiredAttack) + "回目の攻撃は";
    const std::string noneChoice = "の" + std::to_string(c.lastFiredAttack + 1) + "回目の攻撃はなし";
    size_t lastNamed = 0, none = 0, later = 0;
    for (const std::string& line : lines) {
        if (line.find(lastChoice) != std::string::npos && !EndsWith(line, "なし"))
            ++lastNamed;
        if (line.find(noneChoice) != std::string::npos)
            ++none;
        if (line.find("の" + std::to_string(c.lastFiredAttack + 2) + "回目") != std::string::npos)
            ++later;
    }
    EXPECT_GT(lastNamed, 0u);
    EXPECT_GT(none, 0u);
    EXPECT_EQ(later, 0u);

    // After the turn that fires the last shots, the shooting turns write only their turn lines.
    const size_t quiet = IndexOf(lines, std::to_string(c.lastFiredAttack + 2) + "ターン目(距離＝1)");
    const size_t melee = IndexOf(lines, "耐久力");
    ASSERT_LT(quiet, melee);
    EXPECT_EQ(melee - quiet, size_t(41 - (c.lastFiredAttack + 1)));
}

INSTANTIATE_TEST_SUITE_P(Types, OneTypeBattles, testing::Values(OneTypeCase{1, 13}, OneTypeCase{2, 11}),
                         [](const auto& info) { return info.param.type == 1 ? "Volte" : "Duga"; });

TEST_F(BattleDriver, HoldingRRestartsInEveryHeldFrame)
{
    SetUpArmies({1, 1, 1}, {2, 2, 2}, 7);
    for (int frame = 0; frame < 5; ++frame)
        AdvanceBattle();
    EXPECT_EQ(battleTurn, 5);
    media::LogStart();

    for (int held = 1; held <= 2; ++held) {
        KeyPressCounter[KeyR] = held;
        EXPECT_EQ(AdvanceBattle(), 0);
        EXPECT_EQ(battleTurn, 1);
        for (const Army& army : battleArmies)
            for (const Squad& squad : army.squads)
                for (int k = 0; k < 3; ++k)
                    EXPECT_EQ(squad.machines[k].durability, squad.machines[k].maxDurability);
    }
    const std::vector<std::string> lines = Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "初期化処理"), 4);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "1ターン目(距離＝1)"), 2);

    // Released: the new battle goes on.
    KeyPressCounter[KeyR] = 0;
    EXPECT_EQ(AdvanceBattle(), 0);
    EXPECT_EQ(battleTurn, 2);

    // R also restarts a finished battle.
    battleTurn = 500;
    KeyPressCounter[KeyR] = 1;
    EXPECT_EQ(AdvanceBattle(), 0);
    EXPECT_EQ(battleTurn, 1);
}

TEST_F(BattleDriver, CounterStopsAtTenThousand)
{
    battleTurn = 9999;
    EXPECT_EQ(AdvanceBattle(), 1);
    EXPECT_EQ(battleTurn, 10000);
    EXPECT_EQ(AdvanceBattle(), 1);
    EXPECT_EQ(battleTurn, 10000);
    EXPECT_TRUE(Lines().empty());
}

TEST_F(BattleDriver, LastShootingTurnAlreadyReportsTheEnd)
{
    SetUpArmies({1, 0, 0}, {1, 0, 0}, 5);
    ReflectMenuData();
    battleTurn = 40;
    EXPECT_EQ(AdvanceBattle(), 1);
    EXPECT_EQ(battleTurn, 41);
}

TEST_F(BattleDriver, NoMeleeWithoutReadyMachinesOnBothSides)
{
    battleArmies = {};
    ChooseSquads(battleArmies[1], {2, 0, 0});
    battleTurn = 41;
    EXPECT_EQ(AdvanceBattle(), 1);
    // Army A has nothing ready, so army B is not even counted (no weapon lines).
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "耐久力", "ドゥーガ(1)の耐久力は50", "ドゥーガ(2)の耐久力は50", "ドゥーガ(3)の耐久力は50",
                           "42ターン目(接近戦)", "格闘戦はなし", "燃料消費", "ドゥーガ(1)の燃料は8",
                           "ドゥーガ(2)の燃料は8", "ドゥーガ(3)の燃料は8", "耐久力", "ドゥーガ(1)の耐久力は50",
                           "ドゥーガ(2)の耐久力は50", "ドゥーガ(3)の耐久力は50"}));
    EXPECT_EQ(battleArmies[1].squads[0].machines[0].fuel, 92);
}

TEST_F(BattleDriver, FuelLinesShowTheUseAndSkipDestroyedMachines)
{
    Army army;
    ChooseSquads(army, {0, 1, 0});
    Squad& squad = army.squads[1];
    squad.machines[1].durability = 0;
    squad.machines[2].fuel = 10;  // equal to the use: unchanged
    squad.machines[4].fuel = -5;  // an empty position is still refuelled to 0
    army.squads[2].machines[0] = Volte();  // row without a type: skipped

    ConsumeFuel(army);
    ReportDurability(army);

    EXPECT_EQ(squad.machines[0].fuel, 90);
    EXPECT_EQ(squad.machines[1].fuel, 90);
    EXPECT_EQ(squad.machines[2].fuel, 10);
    EXPECT_EQ(squad.machines[4].fuel, 0);
    EXPECT_EQ(army.squads[2].machines[0].fuel, 100);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"ヴォルテ(6)の燃料は10", "ヴォルテ(8)の燃料は10",
                                                 "ヴォルテ(6)の耐久力は70", "ヴォルテ(7)の耐久力は0",
                                                 "ヴォルテ(8)の耐久力は70"}));
}

TEST_F(BattleDriver, LiveMachinesCountOnlyTypedSquads)
{
    Army army;
    ChooseSquads(army, {1, 2, 0});
    army.squads[0].machines[0].durability = 0;
    army.squads[2].machines[0] = Volte();
    EXPECT_EQ(CountLiveMachines(army), 5);
    army.squads[1].typeId = 0;
    EXPECT_EQ(CountLiveMachines(army), 2);
}

TEST_F(BattleDriver, MeleeTurnWritesItsSectionsInOrder)
{
    SetUpArmies({1, 2, 1}, {2, 1, 2}, 99);
    RunToEnd();
    const std::vector<std::string> lines = Lines();
    const size_t report = IndexOf(lines, "42ターン目(接近戦)");
    ASSERT_LT(report, lines.size());
    const size_t select = IndexOf(lines, "格闘戦攻撃機選択", report);
    const size_t attack = IndexOf(lines, "格闘戦攻撃開始", select);
    const size_t counter = IndexOf(lines, "格闘戦反撃開始", attack);
    const size_t fuel = IndexOf(lines, "燃料消費", counter);
    const size_t durability = IndexOf(lines, "耐久力", fuel);
    EXPECT_LT(durability, lines.size());
    // The first durability report comes right before the melee turn line.
    const size_t before = IndexOf(lines, "耐久力");
    ASSERT_LT(before, report);
    for (size_t i = before + 1; i < report; ++i)
        EXPECT_NE(lines[i].find("の耐久力は"), std::string::npos) << lines[i];
}

}  // namespace
