// The preparation screen on a 700 x 400 16-bit software screen: the hit
// boxes of buttons and list entries, the press counter, two overlapping
// lists, and what is drawn where.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "app/battle_data.h"
#include "app/preparation_screen.h"
#include "app/shell_state.h"
#include "battle_fixture.h"
#include "graphics_fixture.h"

namespace {

using namespace testing_support;

constexpr uint32_t White16 = 0xFFFF;
constexpr uint32_t Black16 = 0x0000;

class PreparationScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartSoftwareScreen(700, 400, 16);
        ResetBattleGlobals();
        LoadPilotData();
        LoadWeaponData();
        LoadSquadData();
        std::fill(std::begin(buttonState), std::end(buttonState), 0);
        std::fill(std::begin(listOpen), std::end(listOpen), 0);
        std::fill(std::begin(listRows), std::end(listRows), 0);
        std::fill(std::begin(MouseButtonCounter), std::end(MouseButtonCounter), 0);
        whiteColor = media::PackColor(255, 255, 255);
        buttonImages[0] = buttonImages[1] = -1;
    }
    void TearDown() override
    {
        ResetBattleGlobals();
        StopSoftwareScreen();
    }

    // One frame with the pointer at (x, y) and the left button held for
    // `held` frames (0: up).
    void Frame(int32_t x, int32_t y, int32_t held)
    {
        mouseX = x;
        mouseY = y;
        MouseButtonCounter[0] = held;
        ASSERT_EQ(media::ClearDrawTarget(nullptr), 0);
        RunPreparationScreen();
    }
    // A click: a frame with the button just pressed, then one with it up.
    void Click(int32_t x, int32_t y)
    {
        Frame(x, y, 1);
        Frame(x, y, 0);
    }
    static uint32_t Pixel(int x, int y) { return WordAt(ScreenPixels(), x, y); }
    static int32_t RowType(int army, int row) { return menuArmies[army].squads[row].typeId; }
};

TEST_F(PreparationScreenTest, ButtonHitBoxExcludesTheTopLineAndIncludesTheBottomOne)
{
    // Army 0, rows 0 and 1: top lines y 40 and 60, buttons x 120 to 139.
    struct Case {
        int32_t x, y;
        int opens;  // the row j whose list opens, -1 none
    } const cases[] = {
        {121, 41, 0}, {140, 60, 0},  {130, 50, 0},  {130, 40, -1}, {130, 39, -1},
        {130, 61, 1}, {120, 50, -1}, {141, 50, -1}, {130, 100, 2}, {130, 101, -1},
    };
    for (const Case& c : cases) {
        std::fill(std::begin(listOpen), std::end(listOpen), 0);
        listRows[0] = 0;
        Frame(c.x, c.y, 1);
        for (int j = 0; j < 6; ++j)
            EXPECT_EQ(listOpen[j], j == c.opens ? 1 : 0) << c.x << "," << c.y << " row " << j;
        EXPECT_EQ(listRows[0], c.opens >= 0 ? 2 : 0) << c.x << "," << c.y;
    }
    // Another row's button opens that row's list, and listRows of its own army.
    Frame(130, PreparationRowTop(1, 2) + 10, 1);
    EXPECT_EQ(listOpen[5], 1);
    EXPECT_EQ(listRows[1], 2);
}

TEST_F(PreparationScreenTest, ListEntriesCoverTheirRowsAndTheBottomBorderPicksNothing)
{
    // Army 1, row 1: top line y 160; entries y 161-179 and 180-199.
    const int32_t y = PreparationRowTop(1, 1);
    struct Case {
        int32_t x, y;
        int entry;  // -1: nothing picked
    } const cases[] = {
        {141, y + 1, 0},  {240, y + 19, 0}, {190, y + 20, 1}, {190, y + 39, 1},
        {190, y + 40, -1}, {190, y, -1},    {140, y + 10, -1}, {241, y + 10, -1},
    };
    for (const Case& c : cases) {
        menuArmies = {};
        listOpen[4] = 1;
        listRows[1] = 2;
        Frame(c.x, c.y, 1);
        if (c.entry < 0) {
            EXPECT_EQ(listOpen[4], 1) << c.x << "," << c.y;
            EXPECT_EQ(RowType(1, 1), 0) << c.x << "," << c.y;
        } else {
            EXPECT_EQ(listOpen[4], 0) << c.x << "," << c.y;
            EXPECT_EQ(RowType(1, 1), squadCatalog[c.entry].typeId) << c.x << "," << c.y;
            EXPECT_EQ(menuArmies[1].squads[1].machines[4].name, squadCatalog[c.entry].machines[4].name);
        }
        EXPECT_EQ(listRows[1], 2) << "listRows is never reset";
        for (int j = 0; j < 6; ++j) {
            if (j != 4) {
                EXPECT_EQ(RowType(j / 3, j % 3), 0) << "row " << j;
            }
        }
    }
}

TEST_F(PreparationScreenTest, AClickInsideTwoOpenListsPicksForBoth)
{
    Click(130, 50);  // army 0, row 0
    Click(130, 70);  // army 0, row 1
    ASSERT_EQ(listOpen[0], 1);
    ASSERT_EQ(listOpen[1], 1);
    // y 70: the upper list's second entry and the lower list's first.
    Frame(190, 70, 1);
    EXPECT_EQ(listOpen[0], 0);
    EXPECT_EQ(listOpen[1], 0);
    EXPECT_EQ(RowType(0, 0), squadCatalog[1].typeId);
    EXPECT_EQ(RowType(0, 1), squadCatalog[0].typeId);
    EXPECT_NE(squadCatalog[0].typeId, squadCatalog[1].typeId);
}

TEST_F(PreparationScreenTest, OnlyTheFirstFrameOfAPressOpensOrPicks)
{
    // Held down from elsewhere and brought onto the button: nothing opens.
    for (int32_t held = 2; held <= 6; ++held)
        Frame(130, 50, held);
    EXPECT_EQ(listOpen[0], 0);

    Click(130, 50);
    ASSERT_EQ(listOpen[0], 1);
    for (int32_t held = 2; held <= 6; ++held)
        Frame(190, 50, held);
    EXPECT_EQ(listOpen[0], 1);
    EXPECT_EQ(RowType(0, 0), 0);

    // The button again while the list is open: it stays open.
    Click(130, 50);
    EXPECT_EQ(listOpen[0], 1);
    // Only a pick closes it.
    Click(190, 50);
    EXPECT_EQ(listOpen[0], 0);
    EXPECT_EQ(RowType(0, 0), squadCatalog[0].typeId);
}

TEST_F(PreparationScreenTest, ThePressedLookLastsAtMostThreeFramesAndOnlyOnTheButton)
{
    struct Step {
        int32_t x, held;
        int32_t state;
    };
    // On the button (x 130) or beside it (x 100); y 50 is army 0, row 0.
    const Step held[] = {{130, 1, 1}, {130, 2, 1}, {130, 3, 1}, {130, 4, 0}, {130, 5, 0}, {130, 0, 0}};
    const Step leftAndBack[] = {{130, 1, 1}, {100, 2, 0}, {130, 3, 0}, {130, 0, 0}};
    for (const auto& steps : {std::vector<Step>(std::begin(held), std::end(held)),
                              std::vector<Step>(std::begin(leftAndBack), std::end(leftAndBack))}) {
        for (size_t i = 0; i < steps.size(); ++i) {
            Frame(steps[i].x, 50, steps[i].held);
            EXPECT_EQ(buttonState[0], steps[i].state) << "step " << i;
        }
    }
}

TEST_F(PreparationScreenTest, APickShowsFromTheNextFrameAndLeavesTheCatalogueAlone)
{
    Click(130, 50);
    Frame(190, 70, 1);  // the second entry
    ASSERT_EQ(RowType(0, 0), squadCatalog[1].typeId);
    menuArmies[0].squads[0].machines[0].name = "changed";
    menuArmies[0].squads[0].machines[0].weapons[0].name = "changed";
    EXPECT_NE(squadCatalog[1].machines[0].name, "changed");
    EXPECT_NE(squadCatalog[1].machines[0].weapons[0].name, "changed");
}

TEST_F(PreparationScreenTest, ListIsABlackBoxWithAWhiteFrameDrawnOverWhatIsThere)
{
    Click(130, 50);
    // Grey under the list, then one frame of the screen without a clear.
    ASSERT_EQ(media::DrawRect(140, 40, 240, 80, media::PackColor(128, 128, 128), 1), 0);
    mouseX = 600;
    mouseY = 300;
    MouseButtonCounter[0] = 0;
    RunPreparationScreen();
    // Outline: rows 40 and 79, columns 140 and 239.
    for (int x : {140, 190, 239}) {
        EXPECT_EQ(Pixel(x, 40), White16) << x;
        EXPECT_EQ(Pixel(x, 79), White16) << x;
    }
    for (int y : {41, 60, 78}) {
        EXPECT_EQ(Pixel(140, y), White16) << y;
        EXPECT_EQ(Pixel(239, y), White16) << y;
    }
    // Inside, away from the entries' texts: the black fill.
    EXPECT_EQ(Pixel(237, 42), Black16);
    EXPECT_EQ(Pixel(237, 77), Black16);
    EXPECT_EQ(Pixel(240, 50), Black16);  // right of the box: untouched by it

    // Row frames from (0, y - 1) to (140, y + 20): columns 0 and 139.
    for (int army = 0; army < 2; ++army) {
        for (int row = 0; row < 3; ++row) {
            const int y = PreparationRowTop(army, row);
            EXPECT_EQ(Pixel(0, y + 5), White16);
            EXPECT_EQ(Pixel(139, y + 5), White16);
            EXPECT_EQ(Pixel(70, y - 1), White16);
            EXPECT_EQ(Pixel(70, y + 19), White16);
            EXPECT_EQ(Pixel(140, y + 5), army == 0 && row < 2 ? White16 : Black16);
        }
    }
    // With the button pictures missing, nothing shows where they would be.
    EXPECT_EQ(Pixel(130, 50), Black16);
}

}  // namespace

// A data file's catalogue of eleven squads: army 2's third list reaches the
// screen's bottom line and its last entry picks the eleventh squad.
TEST_F(PreparationScreenTest, ListsGrowWithTheCatalogue)
{
    BattleCatalog catalog = BuiltInCatalog();
    catalog.squads.resize(MostCatalogSquads);
    for (int i = 2; i < MostCatalogSquads; ++i) {
        catalog.squads[i] = catalog.squads[i % 2];
        catalog.squads[i].typeId = 1000 + i;
    }
    UseBattleCatalog(catalog);
    ResetBattleGlobals();
    LoadPilotData();
    LoadWeaponData();
    LoadSquadData();
    UseBattleCatalog(BuiltInCatalog());

    constexpr int32_t y = 180;  // army 2, row 3
    Click(130, y + 10);
    ASSERT_EQ(listOpen[5], 1);
    EXPECT_EQ(listRows[1], MostCatalogSquads);
    Frame(0, 0, 0);
    EXPECT_EQ(Pixel(140, 399), White16) << "the list's frame runs to the bottom line";
    EXPECT_EQ(Pixel(190, 398), Black16) << "inside the list";
    Frame(190, y + 20 * (MostCatalogSquads - 1) + 5, 1);
    EXPECT_EQ(listOpen[5], 0);
    EXPECT_EQ(RowType(1, 2), 1000 + MostCatalogSquads - 1);
}
