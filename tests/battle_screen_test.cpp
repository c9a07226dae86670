// The battle screen on a 700 x 400 16-bit software screen: the machine
// boxes of both layouts in their raw colours, drawn after the frame's turn,
// and the frames after the battle's end.
#include <gtest/gtest.h>

#include "app/battle_screen.h"
#include "battle_fixture.h"
#include "graphics_fixture.h"

namespace {

using namespace testing_support;

// The raw colour values as the 16-bit screen stores them.
constexpr uint32_t Blue16 = 0x00FF;
constexpr uint32_t Yellow16 = 0xFF00;

class BattleScreenTest : public BattleFixture {
protected:
    void SetUp() override
    {
        BattleFixture::SetUp();
        StartSoftwareScreen(700, 400, 16);
        ASSERT_TRUE(media::SetLogLocation(dir_.c_str(), "Log.txt"));
        media::LogStart();
        whiteColor = media::PackColor(255, 255, 255);
    }
    void TearDown() override
    {
        StopSoftwareScreen();
        BattleFixture::TearDown();
    }

    static uint32_t Pixel(int x, int y) { return WordAt(ScreenPixels(), x, y); }

    // Expects a 10 x 50 box of the colour at (x, y), or none at all.
    static void ExpectBox(int x, int y, uint32_t colour, const std::string& what)
    {
        for (auto [dx, dy] : {std::pair{0, 0}, {9, 0}, {0, 49}, {9, 49}, {5, 25}})
            EXPECT_EQ(Pixel(x + dx, y + dy), colour) << what << " at " << x + dx << "," << y + dy;
    }

    // Every position of both layouts: a box exactly where the machine has
    // durability left, in its squad's colour.
    static void ExpectBoxesOf(const std::array<Army, 2>& armies)
    {
        for (int a = 0; a < 2; ++a) {
            for (int s = 0; s < 3; ++s) {
                const Squad& squad = armies[a].squads[s];
                for (int k = 0; k < 5; ++k) {
                    const int x = a == 0 ? 100 - 50 * s + 10 * k : 100 + 50 * s + 10 * k;
                    const int y = a == 0 ? 5 * k : 150 + 5 * k;
                    const bool live = squad.machines[k].durability > 0;
                    const uint32_t colour = !live ? 0 : squad.typeId == 1 ? Blue16 : Yellow16;
                    ExpectBox(x, y, colour,
                              "army " + std::to_string(a) + " squad " + std::to_string(s) + " machine " +
                                  std::to_string(k));
                }
            }
        }
    }
};

TEST_F(BattleScreenTest, BoxesOfTheTopAndBottomLayoutsInTheRawColours)
{
    std::array<Army, 2> armies;
    ChooseSquads(armies[0], {1, 2, 1});
    ChooseSquads(armies[1], {2, 0, 1});
    armies[0].squads[0].machines[1].durability = 0;
    armies[1].squads[2].machines[2].durability = -5;
    armies[1].squads[0].machines[0].durability = 1;

    ASSERT_EQ(media::ClearDrawTarget(nullptr), 0);
    DrawArmy(armies[0], true);
    DrawArmy(armies[1], false);
    ExpectBoxesOf(armies);
    // Edges: army A's squad 0 spans x 100 to 129 (three machines) and the
    // box of its machine 0 ends at y 49.
    EXPECT_EQ(Pixel(79, 20), Yellow16);  // squad 1: machine 2 ends at x 79, 3 and 4 are empty
    EXPECT_EQ(Pixel(80, 20), 0u);
    EXPECT_EQ(Pixel(100, 50), 0u);
    EXPECT_EQ(Pixel(130, 20), 0u);

    // DrawSquad draws the same as the bottom layout, anywhere.
    ASSERT_EQ(media::ClearDrawTarget(nullptr), 0);
    DrawSquad(300, 200, armies[0].squads[2]);
    for (int k = 0; k < 3; ++k)
        ExpectBox(300 + 10 * k, 200 + 5 * k, Blue16, "DrawSquad machine " + std::to_string(k));
    EXPECT_EQ(Pixel(330, 220), 0u);
}

TEST_F(BattleScreenTest, EveryFrameDrawsTheBoxesOfTheBattleAfterItsTurn)
{
    ChooseSquads(menuArmies[0], {1, 2, 1});
    ChooseSquads(menuArmies[1], {2, 1, 2});
    SeedRandom(20260101);
    battleTurn = 0;
    int frames = 0;
    // The first frame copies the menu armies: their boxes show at once.
    for (;; ++frames) {
        ASSERT_EQ(media::ClearDrawTarget(nullptr), 0);
        const int over = RunBattleFrame();
        ExpectBoxesOf(battleArmies);
        if (::testing::Test::HasFailure())
            FAIL() << "frame " << frames;
        if (over == 1 && battleTurn > 41)
            break;
        ASSERT_LT(frames, 50);
    }
    // After the end: the boxes of what is left, the counter up to 10000.
    for (int32_t start : {42, 500, 9999, 10000}) {
        battleTurn = start;
        ASSERT_EQ(media::ClearDrawTarget(nullptr), 0);
        EXPECT_EQ(RunBattleFrame(), 1);
        EXPECT_EQ(battleTurn, start < 10000 ? start + 1 : 10000);
        ExpectBoxesOf(battleArmies);
    }
}

}  // namespace
