#include "app/battle_screen.h"

#include "app/battle_driver.h"
#include "app/shell_state.h"
#include "media/font/text.h"
#include "media/graphics/draw.h"

namespace {

constexpr int32_t BoxWidth = 10;
constexpr int32_t BoxHeight = 50;
constexpr int32_t SquadWidth = 50;
constexpr int32_t StepDown = 5;

uint32_t BoxColour(const Squad& squad)
{
    return squad.typeId == 1 ? FirstTypeBoxColour : OtherTypeBoxColour;
}

void DrawBox(int32_t x, int32_t y, uint32_t colour)
{
    media::DrawRect(x, y, x + BoxWidth, y + BoxHeight, colour, 1);
}

}  // namespace

int RunBattleFrame()
{
    media::DrawTextString(400, 0, "Nを押したら選択画面へ", whiteColor, 0);
    media::DrawTextString(400, 20, "Rを押したらもう一回", whiteColor, 0);
    const int over = AdvanceBattle();
    DrawArmy(battleArmies[0], true);
    DrawArmy(battleArmies[1], false);
    return over;
}

void DrawArmy(const Army& army, bool top)
{
    for (int s = 0; s < SquadsPerArmy; ++s) {
        const Squad& squad = army.squads[s];
        if (!top) {
            DrawSquad(100 + SquadWidth * s, 150, squad);
            continue;
        }
        // Army A's squads run from right to left.
        for (int k = 0; k < MachinesPerSquad; ++k) {
            if (squad.machines[k].durability > 0)
                DrawBox(100 - SquadWidth * s + BoxWidth * k, StepDown * k, BoxColour(squad));
        }
    }
}

void DrawSquad(int32_t x, int32_t y, const Squad& squad)
{
    for (int k = 0; k < MachinesPerSquad; ++k) {
        if (squad.machines[k].durability > 0)
            DrawBox(x + BoxWidth * k, y + StepDown * k, BoxColour(squad));
    }
}
