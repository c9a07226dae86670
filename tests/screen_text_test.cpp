// The texts of both screens and the frame-rate figure, in a started media
// layer: each text region of a whole screen's frame holds exactly what the
// text drawn alone at that place gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "app/battle_data.h"
#include "app/battle_screen.h"
#include "app/preparation_screen.h"
#include "app/shell.h"
#include "app/shell_state.h"
#include "battle_fixture.h"
#include "graphics_fixture.h"
#include "media/font/text.h"
#include "media_fixture.h"

namespace {

using namespace testing_support;

struct Region {
    int left, top, right, bottom;  // right and bottom exclusive
};

std::vector<uint32_t> Words(const Region& r)
{
    const media::PixelRegion screen = ScreenPixels();
    std::vector<uint32_t> words;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            words.push_back(WordAt(screen, x, y));
    return words;
}

bool AnyLit(const std::vector<uint32_t>& words)
{
    return std::any_of(words.begin(), words.end(), [](uint32_t w) { return w != 0; });
}

class ScreenTextTest : public MediaLayerTest {
protected:
    void SetUp() override
    {
        MediaLayerTest::SetUp();
        Start();
        DrainMessages();
        ResetBattleGlobals();
        LoadPilotData();
        LoadWeaponData();
        LoadSquadData();
        std::fill(std::begin(buttonState), std::end(buttonState), 0);
        std::fill(std::begin(listOpen), std::end(listOpen), 0);
        std::fill(std::begin(MouseButtonCounter), std::end(MouseButtonCounter), 0);
        whiteColor = media::PackColor(255, 255, 255);
        buttonImages[0] = buttonImages[1] = -1;
        mouseX = 650;
        mouseY = 350;
        frameRate = FrameRateState{};

        ASSERT_EQ(media::ClearDrawTarget(nullptr), 0);
        media::DrawTextString(0, 0, "X", whiteColor, 0);
        ASSERT_TRUE(AnyLit(Words({0, 0, 40, 40}))) << "the default font draws nothing";
    }
    void TearDown() override
    {
        ResetBattleGlobals();
        MediaLayerTest::TearDown();
    }

    // The pixels of region r as the text alone draws them.
    template <typename Draw>
    std::vector<uint32_t> Alone(const Region& r, Draw draw)
    {
        EXPECT_EQ(media::ClearDrawTarget(nullptr), 0);
        draw();
        return Words(r);
    }

    template <typename Draw>
    void ExpectText(const std::vector<uint32_t>& screen, const Region& r, Draw draw, const char* what)
    {
        const std::vector<uint32_t> alone = Alone(r, draw);
        EXPECT_TRUE(AnyLit(alone)) << what << ": nothing drawn";
        EXPECT_EQ(screen, alone) << what;
    }
};

TEST_F(ScreenTextTest, PreparationScreenTextsAtTheirPlaces)
{
    menuArmies[0].squads[0] = squadCatalog[1];
    menuArmies[1].squads[2] = squadCatalog[0];
    listOpen[1] = 1;  // army 0, row 1: the list at (140, 60)
    listRows[0] = 2;

    const Region title{0, 0, 380, 20}, prompt{400, 0, 700, 20}, heading1{0, 20, 120, 39}, heading2{0, 120, 120, 139},
        row0{1, 40, 119, 59}, row5{1, 180, 119, 199}, entry0{141, 61, 239, 80}, entry1{141, 81, 239, 99},
        emptyRow{1, 60, 119, 79};
    const std::vector<Region> regions{title, prompt, heading1, heading2, row0, row5, entry0, entry1, emptyRow};
    ASSERT_EQ(media::ClearDrawTarget(nullptr), 0);
    RunPreparationScreen();
    std::vector<std::vector<uint32_t>> shown;
    for (const Region& r : regions)
        shown.push_back(Words(r));

    const uint32_t white = whiteColor;
    const std::string duga = squadCatalog[1].machines[0].name, volte = squadCatalog[0].machines[0].name;
    ExpectText(shown[0], title, [&] { media::DrawTextString(0, 0, "戦闘準備画面", white, 0); }, "title");
    ExpectText(shown[1], prompt, [&] { media::DrawTextString(400, 0, "Bを押したら戦闘へ", white, 0); }, "prompt");
    ExpectText(shown[2], heading1, [&] { media::DrawTextFormat(0, 20, white, "軍%d", 1); }, "heading 1");
    ExpectText(shown[3], heading2, [&] { media::DrawTextFormat(0, 120, white, "軍%d", 2); }, "heading 2");
    ExpectText(shown[4], row0, [&] { media::DrawTextString(0, 40, duga.c_str(), white, 0); }, "row 0");
    ExpectText(shown[5], row5, [&] { media::DrawTextString(0, 180, volte.c_str(), white, 0); }, "row 5");
    // The list's entries, inside its frame (their black box is the background here).
    ExpectText(shown[6], entry0, [&] { media::DrawTextString(140, 60, volte.c_str(), white, 0); }, "entry 0");
    ExpectText(shown[7], entry1, [&] { media::DrawTextString(140, 80, duga.c_str(), white, 0); }, "entry 1");
    EXPECT_FALSE(AnyLit(shown[8])) << "an empty row shows no text";
}

TEST_F(ScreenTextTest, BattlePromptsAndTheFrameRateFigure)
{
    battleTurn = 50;  // over: only prompts and boxes
    ASSERT_EQ(media::ClearDrawTarget(nullptr), 0);
    RunBattleFrame();
    const Region prompt1{400, 0, 700, 20}, prompt2{400, 20, 700, 40};
    const std::vector<uint32_t> shown1 = Words(prompt1), shown2 = Words(prompt2);
    const uint32_t white = whiteColor;
    ExpectText(shown1, prompt1, [&] { media::DrawTextString(400, 0, "Nを押したら選択画面へ", white, 0); }, "N prompt");
    ExpectText(shown2, prompt2, [&] { media::DrawTextString(400, 20, "Rを押したらもう一回", white, 0); }, "R prompt");

    // The figure: nothing until an average exists, then "%.1fFPS" and "%dms".
    const Region figure{0, 0, 100, 40};
    ASSERT_EQ(media::ClearDrawTarget(nullptr), 0);
    DrawFrameRate();
    EXPECT_FALSE(AnyLit(Words(figure)));
    frameRate.averageFrameTime = 40;
    ASSERT_EQ(media::ClearDrawTarget(nullptr), 0);
    DrawFrameRate();
    const std::vector<uint32_t> shown = Words(figure);
    ExpectText(shown, figure,
               [&] {
                   media::DrawTextString(0, 0, "25.0FPS", 0xFFFF, 0);
                   media::DrawTextString(0, 20, "40ms", 0xFFFF, 0);
               },
               "frame-rate figure");
}

}  // namespace
