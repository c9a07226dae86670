#include "app/battle_outcome.h"

#include <algorithm>

#include "app/battle_data.h"
#include "app/battle_driver.h"
#include "app/random.h"
#include "app/shell_state.h"
#include "app/shooting.h"

int SetupCount(int squads)
{
    return (squads + 1) * (squads + 1) * (squads + 1);
}

ArmySetup SetupFromNumber(int number, int squads)
{
    const int base = squads + 1;
    return {number / (base * base) % base, number / base % base, number % base};
}

int SetupNumber(const ArmySetup& setup, int squads)
{
    const int base = squads + 1;
    return (setup[0] * base + setup[1]) * base + setup[2];
}

std::string SetupText(const ArmySetup& setup)
{
    return std::to_string(setup[0]) + ',' + std::to_string(setup[1]) + ',' + std::to_string(setup[2]);
}

int32_t BattleOutcome::LastTurn() const
{
    return end == BattleEnd::Annihilation ? endTurn : MeleeTurn + 1;
}

const char* BattleEndName(BattleEnd end)
{
    switch (end) {
    case BattleEnd::Annihilation:
        return "annihilation";
    case BattleEnd::ForcedEnd:
        return "forced";
    case BattleEnd::FullCourse:
        break;
    }
    return "full";
}

const char* SurvivorsName(Survivors survivors)
{
    switch (survivors) {
    case Survivors::Army1Only:
        return "army1";
    case Survivors::Army2Only:
        return "army2";
    case Survivors::Both:
        return "both";
    case Survivors::Neither:
        break;
    }
    return "neither";
}

void SetUpMenuArmies(const ArmySetup& army1, const ArmySetup& army2)
{
    const ArmySetup* setups[2] = {&army1, &army2};
    for (int a = 0; a < 2; ++a) {
        for (int row = 0; row < 3; ++row) {
            const int choice = (*setups[a])[row];
            menuArmies[a].squads[row] = choice == 0 ? Squad{} : squadCatalog[choice - 1];
        }
    }
}

BattleOutcome ReadOutcome(BattleEnd end, int32_t endTurn)
{
    BattleOutcome outcome;
    outcome.end = end;
    outcome.endTurn = endTurn;
    for (int a = 0; a < 2; ++a) {
        const Army& army = battleArmies[a];
        outcome.liveMachines[a] = CountLiveMachines(army);
        int32_t durability = 0;
        for (const Squad& squad : army.squads) {
            if (squad.typeId == 0)
                continue;
            for (const Machine& machine : squad.machines) {
                if (machine.IsLive())
                    durability += machine.durability;
            }
        }
        outcome.durability[a] = durability;
    }
    const bool live1 = outcome.liveMachines[0] > 0;
    const bool live2 = outcome.liveMachines[1] > 0;
    outcome.survivors = live1 && live2 ? Survivors::Both
                        : live1        ? Survivors::Army1Only
                        : live2        ? Survivors::Army2Only
                                       : Survivors::Neither;
    return outcome;
}

BattleOutcome PlayBattle(uint32_t seed, const std::vector<int32_t>& restartFrames)
{
    SeedRandom(seed);
    battleTurn = 0;
    const int64_t lastRestart = restartFrames.empty() ? -1 : restartFrames.back();
    size_t nextRestart = 0;

    BattleEnd end = BattleEnd::FullCourse;
    int32_t endTurn = LastShootingTurn + 1;
    for (int64_t frame = 0;; ++frame) {
        while (nextRestart < restartFrames.size() && restartFrames[nextRestart] < frame)
            ++nextRestart;
        const bool holdR = nextRestart < restartFrames.size() && restartFrames[nextRestart] == frame;
        KeyPressCounter[KeyR] = holdR ? KeyPressCounter[KeyR] + 1 : 0;

        // The driver tells how a turn ended only through the counter it
        // leaves: one past the melee turn after an annihilation, the melee
        // turn after a forced end. A forced end on the last shooting turn
        // leaves the same counter as a full course, so the forced-end
        // condition is checked too: both armies had stopped deciding before
        // the turn (nothing but the decision step changes mayDecide), and the
        // turn's queue shift found shots.
        const int32_t turn = holdR ? 0 : battleTurn;
        const bool decidingBefore = mayDecide[0] != 0 || mayDecide[1] != 0;
        const int over = AdvanceBattle();
        if (turn == 0) {
            end = BattleEnd::FullCourse;
            endTurn = LastShootingTurn + 1;
        }
        if (turn < MeleeTurn) {
            if (battleTurn == MeleeTurn + 1) {
                end = BattleEnd::Annihilation;
                endTurn = turn + 1;
            } else if (battleTurn == MeleeTurn && turn != 0 && !decidingBefore && shotsPending == 1) {
                end = BattleEnd::ForcedEnd;
                endTurn = turn + 1;
            }
        }
        if (over == 1 && battleTurn > MeleeTurn && frame >= lastRestart)
            break;
        // Over and at the turn limit, the battle does nothing until R is
        // held again: go straight to the frame before the next restart
        // (--restart-at 2147483647 would otherwise idle for 2^31 frames).
        if (over == 1 && battleTurn == BattleTurnLimit && !holdR && nextRestart < restartFrames.size())
            frame = std::max<int64_t>(frame, int64_t(restartFrames[nextRestart]) - 1);
    }
    return ReadOutcome(end, endTurn);
}
