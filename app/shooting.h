// Shooting: the attack queues in which each machine's weapon choice waits one
// turn, the decision step that fills them, the volley that fires one army's
// queued shots at the other, and the resolution of a single attack.
#pragma once

#include <array>
#include <cstdint>

#include "app/battle_data.h"

constexpr int AttackQueueEntries = 15;
constexpr int AttackQueueRows = 5;
constexpr int ShootingDistance = 1;

// One queue row: a weapon slot per entry, NoChoice when the machine does not shoot.
using AttackRow = std::array<int32_t, AttackQueueEntries>;

// [army][row]: row 0 is fired this turn, row 1 is filled by the decision step.
extern std::array<std::array<AttackRow, AttackQueueRows>, 2> attackQueues;
// 1 when the last shift moved any shot into rows 0 to 3.
extern uint8_t shotsPending;

// A squad with a type and at least one live machine.
bool IsActiveSquad(const Squad& squad);
// Bits 1, 2, 4 for the active squads 0, 1, 2 of the army.
unsigned ActiveSquadSet(const Army& army);
// The squad a volley shot goes to, for a non-empty active set and r = rand() % 10.
int ChooseTargetSquad(unsigned activeSet, int r);

void ResetAttackQueues();
void ShiftAttackQueues();

// Fills the row for the current battleTurn; 1 when squad 0 chose any shot.
uint8_t DecideArmyShots(const Army& army, AttackRow& row);
void DecideSquadShots(int base, const Squad& squad, AttackRow& row, int32_t n);
// The weapon slot for the machine's attack number n (from 0), or NoChoice; logs the choice.
int32_t ChooseWeapon(const Machine& machine, int32_t n, int32_t distance, int32_t number);

// Fires the row's shots of the attacking army at the target army. The
// attackers are only read: the volley works as on a snapshot taken at the call.
void FireVolley(Army& target, const Army& attackers, const AttackRow& row, int enabled);
void FireAtSquad(const Machine& attacker, int32_t weapon, int32_t evasionBonus, int32_t situation,
                 int32_t targetSquad, Squad& squad);
void ResolveShot(Machine& target, const Machine& attacker, int32_t weapon, int32_t evasionBonus,
                 int32_t situation, uint8_t evasionBonusOff, int32_t number);
