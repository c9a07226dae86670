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

bool ParseSeedText(const char* text, uint32_t* seed)
{
    const char* p = text;
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    if (*p == '\0')
        return false;
    uint32_t value = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        value = value * 10u + uint32_t(*p - '0');
    }
    *seed = negative ? 0u - value : value;
    return true;
}
