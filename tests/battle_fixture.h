// A battle test bench: fresh battle globals, the built-in data loaded, and a
// fresh log in a temporary directory (emptied again after loading, so tests
// see only their own lines).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/battle_data.h"
#include "app/battle_driver.h"
#include "app/random.h"
#include "app/shell_state.h"
#include "app/shooting.h"
#include "log_fixture.h"

namespace testing_support {

inline void ResetBattleGlobals()
{
    machineTemplates = {};
    pilotTable = {};
    squadCatalog = {};
    menuArmies = {};
    battleArmies = {};
    for (auto& rows : attackQueues) {
        for (auto& row : rows)
            row.fill(0);
    }
    shotsPending = 0;
    mayDecide[0] = mayDecide[1] = 0;
    battleTurn = 0;
    std::fill(std::begin(KeyPressCounter), std::end(KeyPressCounter), 0);
    SeedRandom(1);
}

// Fills an army's rows as the preparation screen does: 0 empty, 1 or 2 a catalogue squad.
using SquadRows = std::array<int, 3>;

inline void ChooseSquads(Army& army, const SquadRows& rows)
{
    for (int row = 0; row < 3; ++row)
        army.squads[row] = rows[row] == 0 ? Squad{} : squadCatalog[rows[row] - 1];
}

// The generator's state after n draws from the given seed, worked out here
// without touching the program's generator.
inline uint32_t StateAfterDraws(uint32_t seed, int n)
{
    uint32_t state = seed;
    for (int i = 0; i < n; ++i)
        state = state * 214013u + 2531011u;
    return state;
}

// The first seed whose successive draws satisfy every test in turn.
inline uint32_t SeedWhoseDraws(const std::vector<std::function<bool(int)>>& tests)
{
    for (uint32_t seed = 0;; ++seed) {
        SeedRandom(seed);
        bool all = true;
        for (const auto& test : tests) {
            if (!test(DrawRandom())) {
                all = false;
                break;
            }
        }
        if (all)
            return seed;
    }
}

class BattleFixture : public LogFixture {
protected:
    void SetUp() override
    {
        LogFixture::SetUp();
        ResetBattleGlobals();
        LoadPilotData();
        LoadWeaponData();
        LoadSquadData();
        media::LogStart();
    }
    void TearDown() override
    {
        ResetBattleGlobals();
        LogFixture::TearDown();
    }

    void LogOff() { media::systemState.logDirectory[0] = '\0'; }

    Machine Volte() const { return machineTemplates[0]; }
    Machine Duga() const { return machineTemplates[1]; }
};

}  // namespace testing_support
