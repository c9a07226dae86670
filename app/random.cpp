#include "app/random.h"

namespace {
uint32_t randomState = 1;
}

void SeedRandom(uint32_t seed)
{
    randomState = seed;
}

int DrawRandom()
{
    randomState = randomState * 214013u + 2531011u;
    return int((randomState >> 16) & 0x7FFF);
}

uint32_t RandomState()
{
    return randomState;
}
