// Melee: army A picks up to three attackers, army B's first eligible machine
// becomes the single focused target, the attackers strike it in turn, and the
// focused machine, if it survives, strikes back at one of them.
#pragma once

#include <cstdint>

#include "app/battle_data.h"

constexpr int MeleeDistance = 0;
// Focus modes: 1 all attackers on one machine; 0 spread (only its heading exists).
constexpr int FocusedMelee = 1;
constexpr int SpreadMelee = 0;

// 1 when a live machine has a range-0 weapon (an empty slot counts); logs it.
int ReportMeleeWeapon(const Machine& machine, int position);
int CountMeleeReady(const Army& army);
// Slots of the melee class with at least one attack.
int CountUsableMeleeWeapons(const Machine& machine);
// Fills the army's meleeList. Mode 0 needs a usable melee weapon, mode 1 does not.
void SelectMeleeMachines(Army& army, int mode, int wanted);
// Side 0: the attackers strike; side 1: the focused machine strikes back.
// The attacker army is only read, as a snapshot taken at the call.
void RunMeleeExchange(int focus, int side, Army& target, const Army& attackers, int count);
