#!/usr/bin/env bash
# korvanta --data on the headless desktop: the preparation screen lists the
# file's four squads (the open list four entries deep), picks of the third
# and fourth squads fight exactly the battle of korvanta-battle --data with
# the same seed and rows.
set -uo pipefail
build="${1:?usage: korvanta_data_session_test.sh BUILD-DIR}"
source "$(dirname "$0")/korvanta_session_lib.sh"

white=255,255,255
black=0,0,0

"$battle" --dump-data "$work/data.json"
python3 - "$work/data.json" <<'PYTHON'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
d["squads"].append({"typeId": 1, "evasionBonusOff": 0, "machines": [
    {"machine": "ドゥーガ", "pilot": "ゼフィル・ナヴァ"}, {"machine": "ヴォルテ", "pilot": "ハルデン"},
    {"machine": "ドゥーガ"}]})
d["squads"].append({"typeId": 139, "evasionBonusOff": 0, "machines": [{"machine": "ヴォルテ"}]})
d["armies"][1]["evasionBonus"] = 10
json.dump(d, open(sys.argv[1], "w", encoding="utf-8"), ensure_ascii=False)
PYTHON

dir="$work/data"
session="$(choose 0 0 2; choose 0 1 3; click 130 150
  printf 'mouse move 600 300\nwait 5 frames\nscreenshot prep.png\n'
  click 190 $((140 + 10 + 20 * 0)); choose 1 2 2; fight; quit)"
run_session "$dir" "$session" --data "$work/data.json"
[ "$status" = 0 ] && pass "data session ends with 0" || fail "data session: status $status: $(cat "$dir/stderr")"
expect_same_battle "$dir" --data "$work/data.json" --army1 3,4,0 --army2 1,0,3
# Army 2's first list (top line 140) holds four entries: its frame runs to
# line 220, below where two entries would end (180).
expect_pixels "$dir/prep.png" 239,150=$white 239,210=$white 190,219=$white 237,212=$black

# A faulty file stops the program before its window, with status 2.
printf '{"version": 1}' >"$work/bad.json"
(cd "$dir" && "$korvanta" --data "$work/bad.json" --headless --script script.txt >/dev/null 2>"$work/err")
[ $? = 2 ] && grep -qF "korvanta: --data: $work/bad.json: the document: the field \"armies\" is missing" "$work/err" &&
  pass "a faulty file: status 2 and the place" || fail "a faulty file: $(cat "$work/err")"
finish
