// The program's own pseudo-random generator: one 32-bit state, a linear
// congruential step and 15-bit results, so that a seed replays a battle
// exactly on every platform.
#pragma once

#include <cstdint>

void SeedRandom(uint32_t seed);
int DrawRandom();               // 0 to 32767
uint32_t RandomState();         // the current state, for replay checks

// A seed as the programs take it on their command line: any decimal integer,
// reduced to its low 32 bits (two's complement for negatives). False when the
// text is not an integer.
bool ParseSeedText(const char* text, uint32_t* seed);
