#include "app/shooting.h"

#include <algorithm>

#include "app/battle_log.h"
#include "app/random.h"
#include "app/shell_state.h"

std::array<std::array<AttackRow, AttackQueueRows>, 2> attackQueues;
uint8_t shotsPending = 0;

namespace {

// The situation tables have eight columns; an army set to any other value
// gets no modifier instead of reading past the table.
int32_t SituationValue(const std::array<int32_t, SituationCount>& table, int32_t situation)
{
    if (situation < 0 || situation >= SituationCount)
        return 0;
    return table[situation];
}

}  // namespace

bool IsActiveSquad(const Squad& squad)
{
    if (squad.typeId == 0)
        return false;
    for (const Machine& machine : squad.machines) {
        if (machine.IsLive())
            return true;
    }
    return false;
}

unsigned ActiveSquadSet(const Army& army)
{
    unsigned set = 0;
    for (int s = 0; s < SquadsPerArmy; ++s) {
        if (IsActiveSquad(army.squads[s]))
            set |= 1u << s;
    }
    return set;
}

int ChooseTargetSquad(unsigned activeSet, int r)
{
    switch (activeSet) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 2;
    case 3: return r < 8 ? 0 : 1;
    case 5: return r < 8 ? 0 : 2;
    case 6: return r < 8 ? 1 : 2;
    default:  // all three
        if (r < 6)
            return 0;
        return r < 9 ? 1 : 2;
    }
}

void ResetAttackQueues()
{
    for (auto& armyRows : attackQueues) {
        for (AttackRow& row : armyRows)
            row.fill(NoChoice);
    }
}

void ShiftAttackQueues()
{
    bool pending = false;
    for (auto& rows : attackQueues) {
        for (int i = 0; i < AttackQueueEntries; ++i) {
            for (int r = 0; r + 1 < AttackQueueRows; ++r) {
                rows[r][i] = rows[r + 1][i];
                if (rows[r][i] != NoChoice)
                    pending = true;
            }
            rows[AttackQueueRows - 1][i] = NoChoice;
        }
    }
    shotsPending = pending ? 1 : 0;
}

int32_t ChooseWeapon(const Machine& machine, int32_t n, int32_t distance, int32_t number)
{
    if (machine.durability <= 0)
        return NoChoice;

    // The first eligible slot serves attack numbers 0 to its count inclusive
    // (n <= sum), every further slot exactly its count.
    int32_t chosen = NoChoice;
    int32_t sum = 0;
    for (int slot = 0; slot < WeaponSlotCount; ++slot) {
        const WeaponSlot& weapon = machine.weapons[slot];
        if (weapon.minRange <= distance && distance <= weapon.maxRange) {
            sum += weapon.attacks + machine.extraAttacks[slot];
            if (n <= sum) {
                chosen = slot;
                break;
            }
        }
    }

    if (BattleLogEnabled()) {
        BattleLogLine line;
        line << machine.name << "(" << number << ")の" << n + 1 << "回目の攻撃は";
        if (chosen == NoChoice)
            line << "なし";
        else
            line << machine.weapons[chosen].name;
        line << "\n";
        line.Write();
    }
    return chosen;
}

void DecideSquadShots(int base, const Squad& squad, AttackRow& row, int32_t n)
{
    for (int k = 0; k < MachinesPerSquad; ++k)
        row[base + k] = ChooseWeapon(squad.machines[k], n, ShootingDistance, base + k + 1);
}

uint8_t DecideArmyShots(const Army& army, AttackRow& row)
{
    const int32_t n = battleTurn;
    for (int s = 0; s < SquadsPerArmy; ++s) {
        const Squad& squad = army.squads[s];
        if (!IsActiveSquad(squad))
            continue;
        if (BattleLogEnabled()) {
            BattleLogLine line;
            line << "部隊(" << s + 1 << ")の攻撃\n";
            line.Write();
        }
        DecideSquadShots(3 * s, squad, row, n);
    }
    // Only squad 0's entries decide whether the army may go on shooting.
    return (row[0] != NoChoice || row[1] != NoChoice || row[2] != NoChoice) ? 1 : 0;
}

void FireVolley(Army& target, const Army& attackers, const AttackRow& row, int enabled)
{
    if (&target == &attackers) {
        // The attackers must stay as they were at the call while the target changes.
        const Army snapshot = attackers;
        FireVolley(target, snapshot, row, enabled);
        return;
    }

    // Fixed for the whole volley, even when a shot empties a squad.
    const unsigned activeSet = ActiveSquadSet(target);
    if (enabled == 0)
        return;

    for (int i = 0; i < AttackQueueEntries; ++i) {
        if (row[i] == NoChoice)
            continue;
        const int r = DrawRandom() % 10;
        if (activeSet == 0)
            continue;
        const int t = ChooseTargetSquad(activeSet, r);
        // The entry belongs to the machine that chose it; entries past
        // squad 2's last position are never filled.
        const int s = std::min(i / 3, 2);
        const int k = i - 3 * s;
        if (k >= MachinesPerSquad)
            continue;
        // Queued shots fire even when the shooter has been destroyed since.
        FireAtSquad(attackers.squads[s].machines[k], row[i], target.evasionBonus, target.situation, t,
                    target.squads[t]);
    }
}

void FireAtSquad(const Machine& attacker, int32_t weapon, int32_t evasionBonus, int32_t situation,
                 int32_t targetSquad, Squad& squad)
{
    int k = 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
        k = DrawRandom() % 3;
        if (squad.machines[k].durability > 0)
            break;
    }
    ResolveShot(squad.machines[k], attacker, weapon, evasionBonus, situation, squad.evasionBonusOff,
                3 * targetSquad + k + 1);
}

void ResolveShot(Machine& target, const Machine& attacker, int32_t weapon, int32_t evasionBonus,
                 int32_t situation, uint8_t evasionBonusOff, int32_t number)
{
    if (weapon < 0 || weapon >= WeaponSlotCount)
        return;  // NoChoice: no shot
    const WeaponSlot& slot = attacker.weapons[weapon];

    const int32_t attack = SituationValue(attacker.accuracyBySituation, situation) + slot.accuracy +
                           attacker.skillBonus + attacker.agility + attacker.shootingBonus - 40;
    const int32_t evasion = SituationValue(target.evasionBySituation, situation) + target.skillBonus +
                            target.agility + (evasionBonusOff == 0 ? 25 : 0) + std::min(evasionBonus, 50);

    const bool logging = BattleLogEnabled();
    BattleLogLine line;
    if (logging)
        line << target.name << "(" << number << ")";

    const int r = DrawRandom() % 100;
    if (evasion - attack >= r) {
        if (logging)
            line << "はダメージを回避";
    } else if (target.hasShield != 0 && DrawRandom() % 100 < 15) {
        if (logging)
            line << "はシールドガード";
    } else {
        if (logging)
            line << "は" << slot.damage << "のダメージ";
        target.durability -= slot.damage;
    }
    if (target.durability <= 0) {
        if (logging)
            line << "→撃破された";
        target.durability = 0;
    }
    if (logging) {
        line << "\n";
        line.Write();
    }
}
