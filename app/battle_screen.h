// The battle screen: the key prompts, one battle turn per frame (the turn
// logic of battle_driver), and a box per machine still in the battle.
#pragma once

#include <cstdint>

#include "app/battle_data.h"

// Colours of the machine boxes, handed to DrawRect as they are: on a
// 16-bit screen they read as blue and as yellow.
constexpr uint32_t FirstTypeBoxColour = 255;
constexpr uint32_t OtherTypeBoxColour = 65280;

// One frame of the battle screen; 1 once the battle is over, else 0.
int RunBattleFrame();

// The boxes of an army: top is army A's layout at the top left, otherwise
// army B's row of squads lower down.
void DrawArmy(const Army& army, bool top);
// The boxes of one squad, the first machine's at (x, y), each next one 10
// to the right and 5 lower.
void DrawSquad(int32_t x, int32_t y, const Squad& squad);
