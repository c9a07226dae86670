#include "app/melee.h"

#include <algorithm>

#include "app/battle_log.h"
#include "app/shooting.h"

namespace {

bool IsRangeZero(const WeaponSlot& weapon)
{
    return weapon.minRange == 0 && weapon.maxRange == 0;
}

// The machine a melee pair names, or null when the pair holds none.
template <typename ArmyType>
auto MachineAt(ArmyType& army, const MeleePair& pair) -> decltype(&army.squads[0].machines[0])
{
    if (pair.squad < 0 || pair.squad >= SquadsPerArmy || pair.position < 0 || pair.position >= MachinesPerSquad)
        return nullptr;
    return &army.squads[pair.squad].machines[pair.position];
}

int32_t ShootingNumber(const MeleePair& pair)
{
    return 3 * pair.squad + pair.position + 1;
}

// Blows of one attacker until it runs out of melee attacks or the target
// falls. The choice line after the last blow is still written.
void StrikeUntilDone(Machine& target, const Machine& attacker, int32_t attackerNumber, const Army& targetArmy,
                     const MeleePair& targetPair)
{
    const uint8_t evasionBonusOff = targetArmy.squads[targetPair.squad].evasionBonusOff;
    int32_t n = 0;
    int32_t weapon = ChooseWeapon(attacker, n, MeleeDistance, attackerNumber);
    while (weapon != NoChoice && target.durability > 0) {
        ResolveShot(target, attacker, weapon, targetArmy.evasionBonus, targetArmy.situation, evasionBonusOff,
                    ShootingNumber(targetPair));
        ++n;
        weapon = ChooseWeapon(attacker, n, MeleeDistance, attackerNumber);
    }
}

void AttackFocusedMachine(Army& target, const Army& attackers, int count)
{
    WriteBattleLog("1機に集中攻撃\n");
    WriteBattleLog("ターゲット選定\n");
    SelectMeleeMachines(target, 1, 1);

    for (int p = 0; p < count; ++p) {
        const MeleePair& attackerPair = attackers.meleeList[p];
        const Machine* attacker = attackerPair.HoldsMachine() ? MachineAt(attackers, attackerPair) : nullptr;
        if (!attacker) {
            WriteBattleLog("格闘戦攻撃なし\n");
            continue;
        }
        const MeleePair focusPair = target.meleeList[0];
        Machine* focused = focusPair.HoldsMachine() ? MachineAt(target, focusPair) : nullptr;
        if (!focused || focused->durability <= 0)
            continue;
        StrikeUntilDone(*focused, *attacker, ShootingNumber(attackerPair), target, focusPair);
    }
}

void CounterAttack(Army& target, const Army& attackers, int count)
{
    WriteBattleLog("1機に集中攻撃されてた場合\n");
    const MeleePair counterPair = attackers.meleeList[0];
    const Machine* counter = counterPair.HoldsMachine() ? MachineAt(attackers, counterPair) : nullptr;
    if (!counter || counter->durability <= 0 || CountUsableMeleeWeapons(*counter) == 0)
        return;

    WriteBattleLog("反撃されるターゲット選定\n");
    // The last attacker that still names a machine takes the counter blow;
    // without one, pair 0 (the first attacker) keeps it.
    for (int p = count - 1; p >= 1; --p) {
        const MeleePair& pair = target.meleeList[p];
        const Machine* machine = pair.HoldsMachine() ? MachineAt(target, pair) : nullptr;
        if (machine && machine->typeId != 0) {
            target.meleeList[0] = pair;
            break;
        }
    }
    const MeleePair targetPair = target.meleeList[0];
    Machine* victim = targetPair.HoldsMachine() ? MachineAt(target, targetPair) : nullptr;
    if (!victim)
        return;
    StrikeUntilDone(*victim, *counter, ShootingNumber(counterPair), target, targetPair);
}

}  // namespace

int ReportMeleeWeapon(const Machine& machine, int position)
{
    if (machine.durability <= 0)
        return 0;
    for (const WeaponSlot& weapon : machine.weapons) {
        if (!IsRangeZero(weapon))
            continue;
        if (BattleLogEnabled()) {
            BattleLogLine line;
            line << machine.name << "(" << position + 1 << ")" << "は近接武器あり(" << weapon.name << ")\n";
            line.Write();
        }
        return 1;
    }
    return 0;
}

int CountMeleeReady(const Army& army)
{
    int count = 0;
    for (const Squad& squad : army.squads) {
        for (int k = 0; k < MachinesPerSquad; ++k)
            count += ReportMeleeWeapon(squad.machines[k], k);
    }
    return count;
}

int CountUsableMeleeWeapons(const Machine& machine)
{
    int count = 0;
    for (int slot = 0; slot < WeaponSlotCount; ++slot) {
        const WeaponSlot& weapon = machine.weapons[slot];
        if (weapon.kind == MeleeWeaponKind && weapon.attacks + machine.extraAttacks[slot] > 0)
            ++count;
    }
    return count;
}

void SelectMeleeMachines(Army& army, int mode, int wanted)
{
    for (MeleePair& pair : army.meleeList)
        pair = {NoChoice, NoChoice};
    wanted = std::clamp(wanted, 0, int(army.meleeList.size()));
    if (wanted == 0)
        return;

    const bool situationAllows = army.situation >= 0 && army.situation < SituationCount && army.situation != 6;
    int found = 0;
    for (int s = 0; s < SquadsPerArmy; ++s) {
        for (int k = 0; k < MachinesPerSquad; ++k) {
            const Machine& machine = army.squads[s].machines[k];
            if (!situationAllows)
                continue;
            if (machine.durability <= 0 || machine.fuel <= 0)
                continue;
            if (mode == 0) {
                if (CountUsableMeleeWeapons(machine) <= 0)
                    continue;
            } else if (mode != 1) {
                continue;
            }
            army.meleeList[found] = {s, k};
            ++found;
            if (BattleLogEnabled()) {
                BattleLogLine line;
                line << machine.name << "(" << 5 * s + k + 1 << ")\n";
                line.Write();
            }
            if (found == wanted)
                return;
        }
    }
}

void RunMeleeExchange(int focus, int side, Army& target, const Army& attackers, int count)
{
    if (&target == &attackers) {
        // The attackers must stay as they were at the call while the target changes.
        const Army snapshot = attackers;
        RunMeleeExchange(focus, side, target, snapshot, count);
        return;
    }
    count = std::clamp(count, 0, int(target.meleeList.size()));

    if (side == 0) {
        WriteBattleLog("攻撃側の格闘戦\n");
        if (focus == FocusedMelee)
            AttackFocusedMachine(target, attackers, count);
        return;
    }
    WriteBattleLog("反撃側の格闘戦\n");
    if (focus == FocusedMelee)
        CounterAttack(target, attackers, count);
    else if (focus == SpreadMelee)
        WriteBattleLog("分散攻撃されてた場合\n");
}
