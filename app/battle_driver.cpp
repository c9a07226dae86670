#include "app/battle_driver.h"

#include "app/battle_log.h"
#include "app/melee.h"
#include "app/shell_state.h"
#include "app/shooting.h"

uint8_t mayDecide[2] = {};

namespace {

void StartBattle()
{
    WriteBattleLog("初期化処理\n");
    ReflectMenuData();
    mayDecide[0] = 1;
    mayDecide[1] = 1;
}

void ResetForNewBattle()
{
    WriteBattleLog("初期化処理\n");
    ResetAttackQueues();
    WriteBattleLog("\n\n\n☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆\n");
    WriteBattleLog("\n\n\n戦闘開始\n\n");
    WriteBattleLog("☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆\n");
}

void RunShootingTurn()
{
    Army& armyA = battleArmies[0];
    Army& armyB = battleArmies[1];

    if (BattleLogEnabled()) {
        BattleLogLine line;
        line << battleTurn + 1 << "ターン目(距離＝" << ShootingDistance << ")\n";
        line.Write();
    }
    ShiftAttackQueues();
    if (battleTurn != 0) {
        // Army B always fires first; army A fires with what is left of it.
        FireVolley(armyA, armyB, attackQueues[1][0], 1);
        FireVolley(armyB, armyA, attackQueues[0][0], 1);
    }

    if (shotsPending == 1 && mayDecide[0] == 0 && mayDecide[1] == 0) {
        battleTurn = LastShootingTurn;
        WriteBattleLog("射撃戦強制終了\n");
    } else if (CountLiveMachines(armyA) < 1 || CountLiveMachines(armyB) < 1) {
        battleTurn = MeleeTurn;
        WriteBattleLog("戦闘部隊の(少なくとも)片方が全滅のため戦闘終了\n");
    }

    // Runs even in a turn that has just ended; those choices are never fired.
    if (mayDecide[0] != 0 || mayDecide[1] != 0) {
        mayDecide[0] = DecideArmyShots(armyA, attackQueues[0][1]);
        mayDecide[1] = DecideArmyShots(armyB, attackQueues[1][1]);
    }
}

void RunMeleeTurn()
{
    Army& armyA = battleArmies[0];
    Army& armyB = battleArmies[1];

    WriteBattleLog("耐久力\n");
    ReportDurability(armyA);
    ReportDurability(armyB);

    if (BattleLogEnabled()) {
        BattleLogLine line;
        line << battleTurn + 1 << "ターン目(接近戦)\n";
        line.Write();
    }

    if (CountMeleeReady(armyA) > 0 && CountMeleeReady(armyB) > 0) {
        WriteBattleLog("格闘戦攻撃機選択\n");
        SelectMeleeMachines(armyA, 0, 3);
        WriteBattleLog("格闘戦攻撃開始\n");
        RunMeleeExchange(FocusedMelee, 0, armyB, armyA, 3);
        WriteBattleLog("格闘戦反撃開始\n");
        RunMeleeExchange(FocusedMelee, 1, armyA, armyB, 3);
    } else {
        WriteBattleLog("格闘戦はなし\n");
    }

    WriteBattleLog("燃料消費\n");
    ConsumeFuel(armyA);
    ConsumeFuel(armyB);

    WriteBattleLog("耐久力\n");
    ReportDurability(armyA);
    ReportDurability(armyB);
}

}  // namespace

int CountLiveMachines(const Army& army)
{
    int count = 0;
    for (const Squad& squad : army.squads) {
        if (squad.typeId == 0)
            continue;
        for (const Machine& machine : squad.machines) {
            if (machine.IsLive())
                ++count;
        }
    }
    return count;
}

void ReportDurability(const Army& army)
{
    if (!BattleLogEnabled())
        return;
    for (int s = 0; s < SquadsPerArmy; ++s) {
        const Squad& squad = army.squads[s];
        if (squad.typeId == 0)
            continue;
        for (int k = 0; k < MachinesPerSquad; ++k) {
            const Machine& machine = squad.machines[k];
            if (machine.typeId == 0)
                continue;
            BattleLogLine line;
            line << machine.name << "(" << 5 * s + k + 1 << ")の耐久力は" << machine.durability << "\n";
            line.Write();
        }
    }
}

void ConsumeFuel(Army& army)
{
    for (int s = 0; s < SquadsPerArmy; ++s) {
        Squad& squad = army.squads[s];
        if (squad.typeId == 0)
            continue;
        for (int k = 0; k < MachinesPerSquad; ++k) {
            Machine& machine = squad.machines[k];
            if (machine.fuel > machine.fuelUse)
                machine.fuel -= machine.fuelUse;
            if (machine.fuel < 0)
                machine.fuel = 0;
            if (machine.durability > 0 && BattleLogEnabled()) {
                // The line shows the amount spent per melee turn, not what is left.
                BattleLogLine line;
                line << machine.name << "(" << 5 * s + k + 1 << ")の燃料は" << machine.fuelUse << "\n";
                line.Write();
            }
        }
    }
}

int AdvanceBattle()
{
    if (KeyPressCounter[KeyR] >= 1) {
        battleTurn = 0;
        StartBattle();
    } else if (battleTurn == 0) {
        StartBattle();
    }
    if (battleTurn == 0)
        ResetForNewBattle();

    // The counter before this step picks the turn: a shooting turn that ends
    // the battle does not also run the melee turn in the same frame.
    if (battleTurn < MeleeTurn)
        RunShootingTurn();
    else if (battleTurn == MeleeTurn)
        RunMeleeTurn();

    ++battleTurn;
    if (battleTurn > BattleTurnLimit) {
        battleTurn = BattleTurnLimit;
        return 1;
    }
    return battleTurn >= MeleeTurn ? 1 : 0;
}
