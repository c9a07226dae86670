// The preparation screen: the two menu armies, three squad rows each, a
// drop-down button per row and its list of catalogue squads. One call per
// frame draws the screen and answers the mouse; B is the shell's business.
#pragma once

#include <cstdint>

// Per row j = 3 x army + row: 0 shows the released button picture, 1 the pressed one.
extern int32_t buttonState[6];
// Per row j: 1 while the row's drop-down list is open.
extern uint8_t listOpen[6];
// Per army: the number of entries of its open lists, set when a list opens.
extern int32_t listRows[2];

// Top line of a squad row on the screen.
constexpr int32_t PreparationRowTop(int army, int row)
{
    return army * 100 + 40 + row * 20;
}

void RunPreparationScreen();
