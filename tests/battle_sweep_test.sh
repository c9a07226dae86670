#!/usr/bin/env bash
# korvanta-battle --vary: every value plays the battles that a data file with
# that value plays, on the same seeds; grids, --matrix, the CSV and the chart;
# fields no battle reads and values out of range are refused with status 2.
set -uo pipefail
. "$(dirname "$0")/battle_command_lib.sh" "$1"

"$battle" --dump-data "$work/data.json"
# A copy of the data with one field set: with_value POINTER VALUE FILE.
with_value() {
  python3 - "$work/data.json" "$1" "$2" "$3" <<'PYTHON'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
node = d
parts = sys.argv[2].split("/")[1:]
for part in parts[:-1]:
    node = node[int(part)] if isinstance(node, list) else node[part]
last = parts[-1]
node[int(last) if isinstance(node, list) else last] = int(sys.argv[3])
json.dump(d, open(sys.argv[4], "w", encoding="utf-8"), ensure_ascii=False)
PYTHON
}

# ---------------------------------------------------------------- one pair
damage=/machines/1/weapons/0/damage
"$battle" --runs 60 --seed 9 --army1 1,0,0 --army2 0,2,0 --vary "$damage=0:20:5" --json --jobs 2 >"$work/sweep.json" ||
  fail "the sweep exited $?"
"$battle" --runs 60 --seed 9 --army1 1,0,0 --army2 0,2,0 --vary "$damage=0:20:5" --json --jobs 1 >"$work/sweep1.json"
cmp -s "$work/sweep.json" "$work/sweep1.json" || fail "the sweep differs between --jobs 1 and 2"
for value in 0 5 10 15 20; do
  with_value "$damage" "$value" "$work/v$value.json"
  "$battle" --data "$work/v$value.json" --runs 60 --seed 9 --army1 1,0,0 --army2 0,2,0 --json >"$work/runs$value.json"
done
python3 - "$work" <<'PYTHON' || fail "the sweep's values differ from separate runs of edited data"
import json, sys
folder = sys.argv[1]
sweep = json.load(open(folder + "/sweep.json"))
assert [v["values"] for v in sweep["values"]] == [[0], [5], [10], [15], [20]], sweep["values"]
shares = []
for entry in sweep["values"]:
    runs = json.load(open("%s/runs%d.json" % (folder, entry["values"][0])))
    assert entry["outcomes"] == runs["outcomes"], (entry["values"], entry["outcomes"], runs["outcomes"])
    assert entry["battles"] == 60
    shares.append(entry["outcomes"]["army1"]["share"])
# The swept field matters: a harder-hitting Duga rifle wins more for army 2.
assert shares[0] > shares[-1], shares
PYTHON

# ---------------------------------------------------------------- a grid with --matrix
agility=/machines/0/agility
"$battle" --matrix --runs 20 --army1 1,0,0:1,1,0 --army2 0,2,0:2,2,2 --vary "$damage=2:4:2" --vary "$agility=10:14:2" \
  --csv "$work/grid.csv" --json >"$work/grid.json" || fail "the grid exited $?"
python3 - "$work/grid.json" "$work/grid.csv" <<'PYTHON' || fail "the grid's values, order or counts"
import csv, json, sys
grid = json.load(open(sys.argv[1]))
assert [v["values"] for v in grid["values"]] == [[2, 10], [2, 12], [2, 14], [4, 10], [4, 12], [4, 14]]
rows = list(csv.DictReader(open(sys.argv[2])))
assert len(rows) == 6 * 4, len(rows)
for i, entry in enumerate(grid["values"]):
    mine = rows[4 * i:4 * i + 4]
    assert all([int(r["value1"]), int(r["value2"])] == entry["values"] for r in mine)
    assert sum(int(r["battles"]) for r in mine) == entry["battles"] == 80
    assert sum(int(r["army1_wins"]) for r in mine) == entry["outcomes"]["army1"]["count"]
PYTHON
with_value "$damage" 4 "$work/d4.json"
python3 - "$work/d4.json" "$work/d4a12.json" <<'PYTHON'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
d["machines"][0]["agility"] = 12
json.dump(d, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False)
PYTHON
"$battle" --data "$work/d4a12.json" --matrix --runs 20 --army1 1,0,0:1,1,0 --army2 0,2,0:2,2,2 --csv "$work/m.csv" >/dev/null
python3 - "$work/grid.csv" "$work/m.csv" <<'PYTHON' || fail "a grid point differs from the matrix of its data"
import csv, sys
grid = [r for r in csv.DictReader(open(sys.argv[1])) if (r["value1"], r["value2"]) == ("4", "12")]
matrix = list(csv.DictReader(open(sys.argv[2])))
keys = ["army1", "army2", "battles", "army1_wins", "army2_wins", "both", "neither"]
assert [[r[k] for k in keys] for r in grid] == [[r[k] for k in keys] for r in matrix], (grid, matrix)
PYTHON

# ---------------------------------------------------------------- the chart
"$battle" --runs 30 --army1 1,0,0 --army2 0,2,0 --vary "$damage=0:30:10" --chart "$work/sweep.png" >/dev/null ||
  fail "the sweep chart exited $?"
python3 - "$work/sweep.png" <<'PYTHON' || fail "the sweep chart"
import struct, sys
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n"
assert struct.unpack(">II", data[16:24]) == (820, 480)
PYTHON

# ---------------------------------------------------------------- refused
# name | arguments | text of the message
refusals=(
  "unread pilot|--runs 5 --army1 1,1,1 --army2 2,2,2 --vary /pilots/0/stats/9=1:5:1|--vary /pilots/0/stats/9: no battle of this run reads that field"
  "unread marks|--runs 5 --army1 1,1,1 --army2 2,2,2 --vary /machines/0/weapons/0/marks/1=0:3:1|no battle of this run reads that field"
  "unused machine|--runs 5 --army1 1,1,1 --army2 1,0,0 --vary $damage=1:5:1|--vary $damage: no battle of this run reads"
  "out of range|--runs 5 --army1 1,1,1 --army2 2,2,2 --vary /machines/1/weapons/0/attacks=-2:2:1|/machines/1/weapons/0/attacks: -2 is out of range (0 to 100)"
  "no such field|--runs 5 --army1 1,1,1 --army2 2,2,2 --vary /machines/1/speed=1:2:1|--vary /machines/1/speed: the data (built-in data) holds no whole number there"
  "a text|--runs 5 --army1 1,1,1 --army2 2,2,2 --vary /machines/1/name=1:2:1|holds no whole number there"
  "bad range|--runs 5 --army1 1,1,1 --army2 2,2,2 --vary $damage=5:1:1|is not POINTER=FROM:TO:STEP"
  "zero step|--runs 5 --army1 1,1,1 --army2 2,2,2 --vary $damage=1:5:0|is not POINTER=FROM:TO:STEP"
  "no statistics|--army1 1,1,1 --army2 2,2,2 --vary $damage=1:5:1|need --runs or --matrix"
  "too many counts|--matrix --runs 1 --vary $damage=1:400:1|400 values x 729 pairs of setups make more than 200000 counts"
  "one field twice|--runs 5 --army1 1,1,1 --army2 2,2,2 --vary $damage=1:2:1 --vary $damage=3:4:1|--vary $damage: the field is varied twice"
  "grid chart|--runs 5 --army1 1,1,1 --army2 2,2,2 --vary $damage=1:2:1 --vary $agility=1:2:1 --chart $work/x.png|--chart draws a sweep of one --vary"
)
for entry in "${refusals[@]}"; do
  IFS='|' read -r name arguments expected <<<"$entry"
  # shellcheck disable=SC2086
  "$battle" $arguments >"$work/out" 2>"$work/err"
  status=$?
  [ "$status" -eq 2 ] || fail "$name: exited $status, not 2"
  grep -qF -- "$expected" "$work/err" || fail "$name: '$(cat "$work/err")' lacks '$expected'"
  [ ! -s "$work/out" ] || fail "$name: printed a summary"
done
# A single value, the data's own, of a field the battles read is taken.
"$battle" --runs 5 --army1 1,1,1 --army2 2,2,2 --vary "$damage=3:3:1" >/dev/null ||
  fail "a one-value sweep of the data's own value was refused"
# The same pilot field is read once a machine of the setups carries the pilot.
python3 - "$work/data.json" "$work/piloted.json" <<'PYTHON'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
d["squads"][0]["machines"][0]["pilot"] = "ハルデン"
json.dump(d, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False)
PYTHON
"$battle" --data "$work/piloted.json" --runs 5 --army1 1,1,1 --army2 2,2,2 --vary /pilots/0/stats/9=1:5:2 >/dev/null ||
  fail "a pilot value of a piloted machine was refused"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "sweeps: all checks passed"
