#include "app/preparation_screen.h"

#include "app/battle_data.h"
#include "app/shell_state.h"
#include "media/font/text.h"
#include "media/graphics/draw.h"

int32_t buttonState[6] = {};
uint8_t listOpen[6] = {};
int32_t listRows[2] = {};

namespace {

constexpr int32_t RowHeight = 20;
constexpr int32_t ButtonLeft = 120;
constexpr int32_t ListLeft = 140;
constexpr int32_t ListRight = 240;

// The button picture of row j for this frame. Only the first frame of a
// press opens the list; the pressed look lasts at most three frames and only
// while the pointer stays on the button.
void RunRowButton(int army, int j, int32_t y)
{
    const bool onButton = mouseX >= ButtonLeft + 1 && mouseX <= ButtonLeft + RowHeight && mouseY > y &&
                          mouseY <= y + RowHeight;
    const int32_t held = MouseButtonCounter[0];
    if (!onButton || held == 0 || held > 3) {
        buttonState[j] = 0;
    } else if (held == 1) {
        buttonState[j] = 1;
        listOpen[j] = 1;
        listRows[army] = int32_t(squadCatalog.size());
    } else if (buttonState[j] != 1) {
        buttonState[j] = 0;
    }
    media::DrawImage(ButtonLeft, y, buttonImages[buttonState[j]], 1);
}

// An open list: drawn first, then a click on an entry copies that catalogue
// squad into the row and closes the list from the next frame on.
void RunRowList(int army, int row, int j, int32_t y)
{
    const int32_t entries = listRows[army];
    const int32_t bottom = y + RowHeight * entries;
    media::DrawRect(ListLeft, y, ListRight, bottom, media::PackColor(0, 0, 0), 1);
    media::DrawRect(ListLeft, y, ListRight, bottom, whiteColor, 0);
    for (int32_t k = 0; k < entries; ++k)
        media::DrawTextFormat(ListLeft, y + RowHeight * k, whiteColor, "%s", squadCatalog[k].machines[0].name.c_str());

    if (mouseX >= ListLeft + 1 && mouseX <= ListRight && mouseY > y && mouseY < bottom && MouseButtonCounter[0] == 1) {
        listOpen[j] = 0;
        const int32_t k = (mouseY - y) / RowHeight;
        menuArmies[army].squads[row] = squadCatalog[k];
    }
}

}  // namespace

void RunPreparationScreen()
{
    media::DrawTextString(0, 0, "戦闘準備画面", whiteColor, 0);
    media::DrawTextString(400, 0, "Bを押したら戦闘へ", whiteColor, 0);
    for (int army = 0; army < 2; ++army) {
        media::DrawTextFormat(0, army * 100 + 20, whiteColor, "軍%d", army + 1);
        for (int row = 0; row < 3; ++row) {
            const int j = 3 * army + row;
            const int32_t y = PreparationRowTop(army, row);
            // Drawn before this frame's pick, so a pick shows from the next frame.
            media::DrawTextFormat(0, y, whiteColor, "%s", menuArmies[army].squads[row].machines[0].name.c_str());
            RunRowButton(army, j, y);
            if (listOpen[j] == 1)
                RunRowList(army, row, j, y);
            media::DrawRect(0, y - 1, ListLeft, y + RowHeight, whiteColor, 0);
        }
    }
}
