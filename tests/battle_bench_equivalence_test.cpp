// The battle must come out the same whether or not its log is written: the
// engine skips assembling lines when the log is off, but every random draw
// and every change to the armies has to happen either way.
#include <gtest/gtest.h>

#include "battle_fixture.h"

using testing_support::BattleFixture;
using testing_support::ChooseSquads;

namespace {

struct Outcome {
    std::vector<int32_t> durability, fuel, melee;
    uint32_t randomState = 0;
    int32_t turn = 0;
    int frames = 0;

    bool operator==(const Outcome&) const = default;
};

class LogOnOrOff : public BattleFixture {
protected:
    Outcome Run(uint32_t seed, const testing_support::SquadRows& a, const testing_support::SquadRows& b)
    {
        menuArmies = {};
        ChooseSquads(menuArmies[0], a);
        ChooseSquads(menuArmies[1], b);
        SeedRandom(seed);
        battleTurn = 0;
        Outcome outcome;
        while (!(AdvanceBattle() == 1 && battleTurn > MeleeTurn))
            ++outcome.frames;
        for (const Army& army : battleArmies) {
            for (const Squad& squad : army.squads) {
                for (const Machine& m : squad.machines) {
                    outcome.durability.push_back(m.durability);
                    outcome.fuel.push_back(m.fuel);
                }
            }
            for (const MeleePair& pair : army.meleeList) {
                outcome.melee.push_back(pair.squad);
                outcome.melee.push_back(pair.position);
            }
        }
        outcome.randomState = RandomState();
        outcome.turn = battleTurn;
        return outcome;
    }
};

TEST_F(LogOnOrOff, SameArmiesAndRandomStateForManySeeds)
{
    const std::vector<std::pair<testing_support::SquadRows, testing_support::SquadRows>> matchUps = {
        {{1, 1, 1}, {2, 2, 2}}, {{2, 1, 1}, {2, 2, 2}}, {{0, 1, 2}, {0, 2, 1}}, {{1, 0, 0}, {0, 0, 0}}};
    for (const auto& [a, b] : matchUps) {
        for (uint32_t seed : {0u, 1u, 17u, 4242u, 0xDEADBEEFu, 0xFFFFFFFFu}) {
            SCOPED_TRACE(seed);
            media::LogStart();
            const Outcome logged = Run(seed, a, b);
            ASSERT_FALSE(Lines().empty());
            const std::string saved = media::systemState.logDirectory;
            LogOff();
            const Outcome silent = Run(seed, a, b);
            std::snprintf(media::systemState.logDirectory, sizeof media::systemState.logDirectory, "%s",
                          saved.c_str());
            EXPECT_EQ(logged, silent);
        }
    }
}

}  // namespace
