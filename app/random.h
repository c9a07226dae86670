// The program's own pseudo-random generator: one 32-bit state, a linear
// congruential step and 15-bit results, so that a seed replays a battle
// exactly on every platform.
#pragma once

#include <cstdint>

void SeedRandom(uint32_t seed);
int DrawRandom();               // 0 to 32767
uint32_t RandomState();         // the current state, for replay checks
