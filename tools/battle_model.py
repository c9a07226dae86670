#!/usr/bin/env python3
"""A second, independent model of one headless battle, written in Python from
the game's rules, used to cross-check the C++ engine's log line by line.

Prints the lines that korvanta-battle writes to its log (without timestamps,
UTF-8, one per line) for the given seed, armies and restart frames.
"""
import argparse
import copy
import sys

NONE = 99


class Rand:
    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def __call__(self):
        self.state = (self.state * 214013 + 2531011) & 0xFFFFFFFF
        return (self.state >> 16) & 0x7FFF


class Weapon:
    def __init__(self, name="", kind=0, damage=0, attacks=0, accuracy=0, min_range=0, max_range=0):
        self.name, self.kind, self.damage, self.attacks = name, kind, damage, attacks
        self.accuracy, self.min_range, self.max_range = accuracy, min_range, max_range


class Machine:
    def __init__(self):
        self.type_id = 0
        self.name = ""
        self.durability = 0
        self.agility = 0
        self.fuel = 0
        self.fuel_use = 0
        self.has_shield = 0
        self.evasion = [0] * 8
        self.accuracy = [0] * 8
        self.weapons = [Weapon() for _ in range(5)]
        self.extra = [0] * 5
        self.shooting_bonus = 0
        self.skill_bonus = 0


class Squad:
    def __init__(self):
        self.type_id = 0
        self.evasion_bonus_off = 0
        self.machines = [Machine() for _ in range(5)]


class Army:
    def __init__(self):
        self.evasion_bonus = 0
        self.situation = 0
        self.squads = [Squad() for _ in range(3)]
        self.melee = [(0, 0)] * 3


def build_templates():
    volte = Machine()
    volte.type_id, volte.name, volte.durability = 1, "ヴォルテ", 70
    volte.agility, volte.fuel, volte.fuel_use, volte.has_shield = 12, 100, 10, 1
    volte.evasion = [40, 20, 20, 20, 20, 0, 0, 40]
    volte.accuracy = [40, 20, 20, 20, 20, 0, 20, 40]
    volte.weapons[0] = Weapon("ルーメンガン", 1, 6, 6, 60, 1, 1)
    volte.weapons[1] = Weapon("ルーメンブレード", 2, 20, 2, 75, 0, 0)
    volte.weapons[2] = Weapon("Hラトル", 3, 2, 6, 35, 1, 1)
    dooga = Machine()
    dooga.type_id, dooga.name, dooga.durability = 139, "ドゥーガ", 50
    dooga.agility, dooga.fuel, dooga.fuel_use, dooga.has_shield = 14, 100, 8, 0
    dooga.evasion = [40, 20, 20, 40, 20, 0, 0, 40]
    dooga.accuracy = [40, 20, 20, 40, 20, 0, 20, 40]
    dooga.weapons[0] = Weapon("ドゥーガライフル", 3, 3, 10, 50, 1, 1)
    dooga.weapons[1] = Weapon("ブランドアクス", 2, 18, 2, 70, 0, 0)
    dooga.weapons[2] = Weapon("ショルダーラム", 2, 35, 1, 85, 0, 0)
    catalog = []
    for type_id, template in ((1, volte), (139, dooga)):
        squad = Squad()
        squad.type_id = type_id
        for k in range(3):
            squad.machines[k] = copy.deepcopy(template)
        catalog.append(squad)
    return catalog


class Battle:
    def __init__(self, seed, army1, army2, out):
        self.rand = Rand(seed)
        self.out = out
        catalog = build_templates()
        self.menu = [Army(), Army()]
        for army, rows in zip(self.menu, (army1, army2)):
            for row, choice in enumerate(rows):
                if choice:
                    army.squads[row] = copy.deepcopy(catalog[choice - 1])
        self.armies = [Army(), Army()]
        self.turn = 0
        self.may_decide = [0, 0]
        self.queues = [[[NONE] * 15 for _ in range(5)] for _ in range(2)]
        self.shots_pending = 0

    def log(self, text):
        self.out.append(text)

    # -- helpers
    @staticmethod
    def live(m):
        return m.type_id != 0 and m.durability > 0

    def active(self, squad):
        return squad.type_id != 0 and any(self.live(m) for m in squad.machines)

    def count_live(self, army):
        return sum(1 for s in army.squads if s.type_id != 0 for m in s.machines if self.live(m))

    # -- shooting
    def choose_weapon(self, m, n, distance, number):
        if m.durability <= 0:
            return NONE
        total = 0
        chosen = NONE
        for j, w in enumerate(m.weapons):
            if w.min_range <= distance <= w.max_range:
                total += w.attacks + m.extra[j]
                if n <= total:
                    chosen = j
                    break
        name = m.weapons[chosen].name if chosen != NONE else "なし"
        self.log(f"{m.name}({number})の{n + 1}回目の攻撃は{name}")
        return chosen

    def decide(self, army, row):
        n = self.turn
        for s in range(3):
            squad = army.squads[s]
            if self.active(squad):
                self.log(f"部隊({s + 1})の攻撃")
                for k in range(5):
                    row[3 * s + k] = self.choose_weapon(squad.machines[k], n, 1, 3 * s + k + 1)
        return 1 if any(v != NONE for v in row[:3]) else 0

    def shift(self):
        pending = 0
        for a in range(2):
            q = self.queues[a]
            for c in range(15):
                q[0][c], q[1][c], q[2][c], q[3][c] = q[1][c], q[2][c], q[3][c], q[4][c]
                q[4][c] = NONE
                if any(q[r][c] != NONE for r in range(4)):
                    pending = 1
        self.shots_pending = pending

    def resolve(self, target, attacker, w, bonus, situation, flag, number):
        if w == NONE:
            return
        weapon = attacker.weapons[w]
        a = attacker.accuracy[situation] + weapon.accuracy + attacker.skill_bonus + attacker.agility \
            + attacker.shooting_bonus - 40
        d = target.evasion[situation] + target.skill_bonus + target.agility + (25 if flag == 0 else 0) \
            + min(bonus, 50)
        line = f"{target.name}({number})"
        r = self.rand() % 100
        if d - a >= r:
            line += "はダメージを回避"
        elif target.has_shield and self.rand() % 100 < 15:
            line += "はシールドガード"
        else:
            line += f"は{weapon.damage}のダメージ"
            target.durability -= weapon.damage
        if target.durability <= 0:
            line += "→撃破された"
            target.durability = 0
        self.log(line)

    def fire_at_squad(self, attacker, w, bonus, situation, t, squad):
        k = 0
        for _ in range(20):
            k = self.rand() % 3
            if squad.machines[k].durability > 0:
                break
        self.resolve(squad.machines[k], attacker, w, bonus, situation, squad.evasion_bonus_off, 3 * t + k + 1)

    def volley(self, target, attackers, row):
        bits = sum(1 << s for s in range(3) if self.active(target.squads[s]))
        for i in range(15):
            if row[i] == NONE:
                continue
            r = self.rand() % 10
            if bits == 0:
                continue
            if bits in (1, 2, 4):
                t = {1: 0, 2: 1, 4: 2}[bits]
            elif bits == 3:
                t = 0 if r <= 7 else 1
            elif bits == 5:
                t = 0 if r <= 7 else 2
            elif bits == 6:
                t = 1 if r <= 7 else 2
            else:
                t = 0 if r <= 5 else (1 if r <= 8 else 2)
            s = min(i // 3, 2)
            attacker = attackers.squads[s].machines[i - 3 * s]
            self.fire_at_squad(attacker, row[i], target.evasion_bonus, target.situation, t, target.squads[t])

    # -- melee
    def report_melee_weapon(self, m, k):
        if m.durability <= 0:
            return 0
        for w in m.weapons:
            if w.min_range == 0 and w.max_range == 0:
                self.log(f"{m.name}({k + 1})は近接武器あり({w.name})")
                return 1
        return 0

    def count_melee_ready(self, army):
        return sum(self.report_melee_weapon(m, k) for s in army.squads for k, m in enumerate(s.machines))

    @staticmethod
    def usable_melee(m):
        return sum(1 for j, w in enumerate(m.weapons) if w.kind == 2 and w.attacks + m.extra[j] > 0)

    def select_melee(self, army, mode, wanted):
        army.melee = [(NONE, NONE)] * 3
        found = 0
        for s in range(3):
            for k in range(5):
                m = army.squads[s].machines[k]
                if army.situation == 6 or not 0 <= army.situation <= 7:
                    continue
                if not (m.durability > 0 and m.fuel > 0):
                    continue
                if mode == 0 and self.usable_melee(m) == 0:
                    continue
                if mode not in (0, 1):
                    continue
                army.melee[found] = (s, k)
                found += 1
                self.log(f"{m.name}({5 * s + k + 1})")
                if found == wanted:
                    return

    def strike(self, attacker, number, target_army, fs, fk):
        t = copy.deepcopy(target_army.squads[fs].machines[fk])
        a = copy.deepcopy(attacker)
        n = 0
        w = self.choose_weapon(a, n, 0, number)
        while w != NONE and t.durability > 0:
            self.resolve(t, a, w, target_army.evasion_bonus, target_army.situation,
                         target_army.squads[fs].evasion_bonus_off, 3 * fs + fk + 1)
            n += 1
            w = self.choose_weapon(a, n, 0, number)
        target_army.squads[fs].machines[fk] = t

    def melee_attack(self, target, attackers, count):
        self.log("攻撃側の格闘戦")
        self.log("1機に集中攻撃")
        self.log("ターゲット選定")
        self.select_melee(target, 1, 1)
        fs, fk = target.melee[0]
        for p in range(count):
            s, k = attackers.melee[p]
            if s == NONE:
                self.log("格闘戦攻撃なし")
                continue
            if fs == NONE or target.squads[fs].machines[fk].durability <= 0:
                continue
            self.strike(attackers.squads[s].machines[k], 3 * s + k + 1, target, fs, fk)

    def melee_counter(self, target, attackers, count):
        self.log("反撃側の格闘戦")
        self.log("1機に集中攻撃されてた場合")
        s, k = attackers.melee[0]
        if s == NONE:
            return
        a = attackers.squads[s].machines[k]
        if a.durability <= 0 or self.usable_melee(a) == 0:
            return
        self.log("反撃されるターゲット選定")
        for p in range(count - 1, 0, -1):
            ps, pk = target.melee[p]
            if ps != NONE and target.squads[ps].machines[pk].type_id != 0:
                target.melee[0] = target.melee[p]
                break
        ts, tk = target.melee[0]
        if ts == NONE:
            return
        self.strike(a, 3 * s + k + 1, target, ts, tk)

    # -- reports
    def report_durability(self, army):
        for s, squad in enumerate(army.squads):
            if squad.type_id == 0:
                continue
            for k, m in enumerate(squad.machines):
                if m.type_id != 0:
                    self.log(f"{m.name}({5 * s + k + 1})の耐久力は{m.durability}")

    def consume_fuel(self, army):
        for s, squad in enumerate(army.squads):
            if squad.type_id == 0:
                continue
            for k, m in enumerate(squad.machines):
                if m.fuel > m.fuel_use:
                    m.fuel -= m.fuel_use
                if m.fuel < 0:
                    m.fuel = 0
                if m.durability > 0:
                    self.log(f"{m.name}({5 * s + k + 1})の燃料は{m.fuel_use}")

    # -- one frame
    def frame(self, r_held):
        if r_held:
            self.turn = 0
        if r_held or self.turn == 0:
            self.log("初期化処理")
            self.log("メニュー画面のデータを反映")
            self.armies = copy.deepcopy(self.menu)
            self.log("戦闘データの計算(攻撃回数増加の計算)")
            for _ in range(30):
                self.log("")
            self.may_decide = [1, 1]
        if self.turn == 0:
            self.log("初期化処理")
            self.queues = [[[NONE] * 15 for _ in range(5)] for _ in range(2)]
            stars = "☆" * 22
            for line in ["", "", "", stars, "", "", "", "戦闘開始", "", stars]:
                self.log(line)
        a, b = self.armies
        if self.turn < 41:
            self.log(f"{self.turn + 1}ターン目(距離＝1)")
            self.shift()
            if self.turn != 0:
                self.volley(a, copy.deepcopy(b), self.queues[1][0])
                self.volley(b, copy.deepcopy(a), self.queues[0][0])
            if self.shots_pending == 1 and self.may_decide == [0, 0]:
                self.turn = 40
                self.log("射撃戦強制終了")
            elif self.count_live(a) < 1 or self.count_live(b) < 1:
                self.turn = 41
                self.log("戦闘部隊の(少なくとも)片方が全滅のため戦闘終了")
            if self.may_decide[0] or self.may_decide[1]:
                self.may_decide[0] = self.decide(a, self.queues[0][1])
                self.may_decide[1] = self.decide(b, self.queues[1][1])
        elif self.turn == 41:
            self.log("耐久力")
            self.report_durability(a)
            self.report_durability(b)
            self.log(f"{self.turn + 1}ターン目(接近戦)")
            if self.count_melee_ready(a) > 0 and self.count_melee_ready(b) > 0:
                self.log("格闘戦攻撃機選択")
                self.select_melee(a, 0, 3)
                self.log("格闘戦攻撃開始")
                self.melee_attack(b, copy.deepcopy(a), 3)
                self.log("格闘戦反撃開始")
                self.melee_counter(a, copy.deepcopy(b), 3)
            else:
                self.log("格闘戦はなし")
            self.log("燃料消費")
            self.consume_fuel(a)
            self.consume_fuel(b)
            self.log("耐久力")
            self.report_durability(a)
            self.report_durability(b)
        self.turn += 1
        if self.turn > 10000:
            self.turn = 10000
            return 1
        return 1 if self.turn >= 41 else 0


def run(seed, army1, army2, restarts):
    out = ["パイロットデータ読み込み", "兵器データ読み込み", "部隊データ読み込み"]
    battle = Battle(seed, army1, army2, out)
    last_restart = max(restarts) if restarts else -1
    held = 0
    f = 0
    while True:
        held = held + 1 if f in restarts else 0
        result = battle.frame(held >= 1)
        if result == 1 and battle.turn >= 42 and f >= last_restart:
            break
        f += 1
    out += ["", "Alloc memory dump", "\tTotal size:0(0.000kb)  Alloc num:0", ""]
    return out, battle.rand.state


def parse_rows(text):
    rows = [int(v) for v in text.split(",")]
    assert len(rows) == 3 and all(v in (0, 1, 2) for v in rows)
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--army1", type=parse_rows, required=True)
    parser.add_argument("--army2", type=parse_rows, required=True)
    parser.add_argument("--restart-at", default="")
    args = parser.parse_args()
    restarts = {int(v) for v in args.restart_at.split(",") if v != ""}
    lines, _ = run(args.seed, args.army1, args.army2, restarts)
    sys.stdout.write("".join(line + "\n" for line in lines))


if __name__ == "__main__":
    main()
