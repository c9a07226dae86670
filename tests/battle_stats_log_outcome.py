#!/usr/bin/env python3
"""Reads how a battle came out from the log of `korvanta-battle --seed`, the
way a person reading the log would, without running any battle logic:

- the shooting turn lines and the end lines tell how and when it ended;
- each volley's result lines are the shots decided in the turn before (one
  line per weapon chosen), army B's volley first, so the damage and
  destruction lines give every machine's durability;
- after a melee turn the last durability report lists every machine.

Prints one line: end,end_turn,last_turn,survivors,live1,live2,durability1,durability2
(the same fields as the per-battle CSV of `korvanta-battle --runs`).

Usage: battle_stats_log_outcome.py LOG_FILE ARMY1 ARMY2   (armies as 1,0,2)
"""
import re
import sys

DURABILITY = {1: 70, 2: 50}  # catalogue squad 1: three Volte, 2: three Duga

TURN = re.compile(r"^(\d+)ターン目\(距離＝1\)$")
MELEE_TURN = re.compile(r"^(\d+)ターン目\(接近戦\)$")
SHOT = re.compile(r"^.+\((\d+)\)(?:はダメージを回避|はシールドガード|は(\d+)のダメージ)(→撃破された)?$")
SQUAD_HEADER = re.compile(r"^部隊\((\d)\)の攻撃$")
CHOICE = re.compile(r"^.+\((\d+)\)の(\d+)回目の攻撃は(.*)$")
DURABILITY_LINE = re.compile(r"^.+\((\d+)\)の耐久力は(-?\d+)$")
FORCED = "射撃戦強制終了"
ANNIHILATED = "戦闘部隊の(少なくとも)片方が全滅のため戦闘終了"


class LogError(Exception):
    pass


def read_lines(path):
    with open(path, "rb") as f:
        text = f.read().decode("cp932")
    lines = []
    for raw in text.split("\r\n"):
        line = re.sub(r"^-?\d+:", "", raw).lstrip("\t")
        if line:
            lines.append(line)
    start = max(i for i, line in enumerate(lines) if line == "戦闘開始")
    return lines[start + 1:]


class Armies:
    def __init__(self, setups):
        self.setups = setups
        # durability[army][(squad, position)] for every machine of a chosen row
        self.durability = [
            {(s, k): DURABILITY[row] for s, row in enumerate(setup) if row for k in range(3)} for setup in setups
        ]

    def active_squads(self, army):
        return sum(
            1 for s, row in enumerate(self.setups[army]) if row and any(self.durability[army][(s, k)] > 0 for k in range(3))
        )

    def hit(self, army, number, damage, destroyed):
        key = ((number - 1) // 3, (number - 1) % 3)
        if key not in self.durability[army]:
            raise LogError(f"shot at machine {number} of army {army + 1}, which it does not have")
        if damage:
            self.durability[army][key] -= damage
        if destroyed:
            self.durability[army][key] = 0
        elif self.durability[army][key] <= 0:
            raise LogError(f"machine {number} of army {army + 1} fell to 0 without being destroyed")

    def machines_in_report_order(self, army):
        return sorted(self.durability[army])


def read_outcome(lines, armies):
    pending = [0, 0]  # shots each army decided in the turn before
    end, end_turn = "full", 41
    i = 0
    while i < len(lines):
        line = lines[i]
        m = TURN.match(line)
        if m:
            turn = int(m.group(1))
            i += 1
            # Army B's volley hits army A, then army A's volley hits army B.
            for target, shots in ((0, pending[1]), (1, pending[0])):
                for _ in range(shots):
                    shot = SHOT.match(lines[i]) if i < len(lines) else None
                    if not shot:
                        raise LogError(f"turn {turn}: expected a shot line, got {lines[i] if i < len(lines) else 'the end'}")
                    armies.hit(target, int(shot.group(1)), int(shot.group(2) or 0), bool(shot.group(3)))
                    i += 1
            if i < len(lines) and lines[i] == FORCED:
                end, end_turn = "forced", turn
                i += 1
            elif i < len(lines) and lines[i] == ANNIHILATED:
                end, end_turn = "annihilation", turn
                i += 1
            # The decision step: army A's active squads, then army B's.
            headers_of_a = armies.active_squads(0)
            headers = 0
            decided = [0, 0]
            while i < len(lines) and (SQUAD_HEADER.match(lines[i]) or CHOICE.match(lines[i])):
                if SQUAD_HEADER.match(lines[i]):
                    headers += 1
                else:
                    army = 0 if headers <= headers_of_a else 1
                    if CHOICE.match(lines[i]).group(3) != "なし":
                        decided[army] += 1
                i += 1
            pending = decided
            continue
        if MELEE_TURN.match(line):
            break
        i += 1
    else:
        if end != "annihilation":
            raise LogError("no melee turn after the shooting")

    if end != "annihilation":
        # Reports list army A's machines, then army B's; the one before the
        # melee turn must agree with what the shot lines gave.
        reports = []
        for j, line in enumerate(lines):
            if DURABILITY_LINE.match(line) and (j == 0 or not DURABILITY_LINE.match(lines[j - 1])):
                block = []
                while j < len(lines) and DURABILITY_LINE.match(lines[j]):
                    block.append(int(DURABILITY_LINE.match(lines[j]).group(2)))
                    j += 1
                reports.append(block)
        if len(reports) != 2:
            raise LogError(f"expected two durability reports, found {len(reports)}")
        order = [armies.machines_in_report_order(0), armies.machines_in_report_order(1)]
        before = [armies.durability[a][key] for a in range(2) for key in order[a]]
        if reports[0] != before:
            raise LogError(f"durability before the melee {reports[0]} differs from the shots read {before}")
        values = iter(reports[1])
        for a in range(2):
            for key in order[a]:
                armies.durability[a][key] = next(values)

    live = [sum(1 for d in armies.durability[a].values() if d > 0) for a in range(2)]
    total = [sum(d for d in armies.durability[a].values() if d > 0) for a in range(2)]
    survivors = {(True, False): "army1", (False, True): "army2", (True, True): "both", (False, False): "neither"}[
        (live[0] > 0, live[1] > 0)
    ]
    last_turn = end_turn if end == "annihilation" else 42
    return f"{end},{end_turn},{last_turn},{survivors},{live[0]},{live[1]},{total[0]},{total[1]}"


def main():
    path, army1, army2 = sys.argv[1:4]
    setups = [[int(x) for x in army1.split(",")], [int(x) for x in army2.split(",")]]
    try:
        print(read_outcome(read_lines(path), Armies(setups)))
    except LogError as error:
        print(f"log not understood: {error}", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
