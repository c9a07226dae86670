// The battle's turn logic: one call per frame advances the battle by one
// turn (start, shooting turns 0 to 40 at distance 1, the melee turn at 41,
// nothing after). Drawing is left to the battle screen, so the window program
// and the headless command run exactly the same battle.
#pragma once

#include <cstdint>

#include "app/battle_data.h"

constexpr int32_t LastShootingTurn = 40;
constexpr int32_t MeleeTurn = 41;
constexpr int32_t BattleTurnLimit = 10000;

// Per battle army: 1 at battle start, then the result of its last decision step.
extern uint8_t mayDecide[2];

int CountLiveMachines(const Army& army);
void ReportDurability(const Army& army);
void ConsumeFuel(Army& army);

// Steps the battle once (R held restarts it). Returns 1 once the battle is
// over, else 0.
int AdvanceBattle();
