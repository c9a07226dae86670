#!/usr/bin/env bash
# Battle data files from the outside: --dump-data round-trips to byte-identical
# logs and statistics, a table of faulty files each gets status 2 and a
# message naming the file and the place (from both programs, before any
# battle), and a larger catalogue reaches the setups, matrix and charts.
set -uo pipefail
korvanta="$(cd "$1" && pwd)/app/korvanta"
needed_programs=$korvanta
. "$(dirname "$0")/battle_command_lib.sh" "$1"
# A log without its "%d:" timestamps (Shift-JIS bytes and CR LF kept).
untimed() { sed -E 's/^-?[0-9]+://' "$1"; }

"$battle" --dump-data "$work/data.json" || fail "--dump-data exited $?"
grep -q '"name": "ゼフィル・ナヴァ"' "$work/data.json" || fail "the dump does not hold the pilot's name in UTF-8"

# ---------------------------------------------------------------- round trip
for setup in "1|1,1,1|2,2,2|" "7|2,1,0|0,1,2|" "12345|1,0,2|2,0,1|" "99|0,0,0|1,2,1|" "3|2,2,2|1,1,1|2,40" \
  "4000000000|0,2,0|1,0,0|"; do
  IFS='|' read -r seed army1 army2 restart <<<"$setup"
  extra=()
  [ -n "$restart" ] && extra=(--restart-at "$restart")
  "$battle" --seed "$seed" --army1 "$army1" --army2 "$army2" "${extra[@]}" --log "$work/builtin.log" >/dev/null
  "$battle" --data "$work/data.json" --seed "$seed" --army1 "$army1" --army2 "$army2" "${extra[@]}" \
    --log "$work/file.log" >/dev/null || fail "the dumped data did not run ($setup)"
  cmp -s <(untimed "$work/builtin.log") <(untimed "$work/file.log") ||
    fail "seed $seed, $army1 against $army2: the dumped data's log differs from the built-in one"
done
"$battle" --matrix --runs 3 --army1 1,0,0:2,2,1 --json --jobs 2 >"$work/builtin.json"
"$battle" --data "$work/data.json" --matrix --runs 3 --army1 1,0,0:2,2,1 --json --jobs 2 >"$work/file.json"
cmp -s "$work/builtin.json" "$work/file.json" || fail "the dumped data's statistics differ"
"$battle" --data "$work/data.json" --dump-data "$work/again.json"
cmp -s "$work/data.json" "$work/again.json" || fail "dumping the loaded dump changes it"

# A pipe is read as it comes: a shell's <(...), and a FIFO whose writer starts a moment later.
"$battle" --data <(cat "$work/data.json") --seed 7 --army1 2,1,0 --army2 0,1,2 --log "$work/pipe.log" ||
  fail "--data <(...) exited $?"
mkfifo "$work/late.fifo"
(sleep 1 && cat "$work/data.json" >"$work/late.fifo") &
"$battle" --data "$work/late.fifo" --seed 7 --army1 2,1,0 --army2 0,1,2 --log "$work/late.log" ||
  fail "--data FIFO exited $?"
wait
"$battle" --seed 7 --army1 2,1,0 --army2 0,1,2 --log "$work/builtin.log" >/dev/null
for log in pipe late; do
  cmp -s <(untimed "$work/builtin.log") <(untimed "$work/$log.log") || fail "the data through a $log pipe fights another battle"
done

# A mistyped output naming the data file is refused before it could replace it.
cp "$work/data.json" "$work/kept.json"
"$battle" --data "$work/kept.json" --runs 2 --army1 1,1,1 --army2 2,2,2 --csv "$work/./kept.json" >/dev/null 2>"$work/err"
[ $? -eq 2 ] && grep -qF -- "--csv '$work/./kept.json' would overwrite the --data file it reads" "$work/err" ||
  fail "--csv over the --data file: $(cat "$work/err")"
cmp -s "$work/data.json" "$work/kept.json" || fail "--csv replaced the --data file"

# ---------------------------------------------------------------- bad files
# name | change to the dumped document d (Python) | text the message holds
bad_cases=(
  'missing field|del d["machines"][1]["weapons"][0]["damage"]|/machines/1/weapons/0: the field "damage" is missing'
  'unknown field|d["pilots"][0]["luck"] = 3|/pilots/0/luck: unknown field'
  'negative attacks|d["machines"][1]["weapons"][0]["attacks"] = -1|/machines/1/weapons/0/attacks: -1 is out of range (0 to 100)'
  'fraction|d["machines"][0]["weapons"][2]["damage"] = 2.5|/machines/0/weapons/2/damage: must be a whole number'
  'whole value with a point|d["machines"][0]["durability"] = 70.0|/machines/0/durability: must be written as a whole number without a point or exponent (70), is 70.0'
  'whole value beyond 64 bits|d["machines"][0]["durability"] = 2.0**64|/machines/0/durability: 1.8446744073709552e+19 is out of range (1 to 10000)'
  'beyond 32 bits|d["machines"][0]["durability"] = 4294967366|/machines/0/durability: 4294967366 is out of range'
  'text for a number|d["machines"][0]["fuel"] = "100"|/machines/0/fuel: must be a whole number (0 to 10000), is string'
  'situation 8|d["armies"][1]["situation"] = 8|/armies/1/situation: 8 is out of range (0 to 7)'
  'negative situation|d["armies"][0]["situation"] = -1|/armies/0/situation: -1 is out of range (0 to 7)'
  'sixth weapon slot|d["machines"][0]["weapons"] += [d["machines"][0]["weapons"][0]] * 3|/machines/0/weapons: holds 6 entries, must hold 0 to 5'
  'mark beyond a byte|d["machines"][1]["weapons"][1]["marks"][4] = 256|/machines/1/weapons/1/marks/4: 256 is out of range (0 to 255)'
  'short pilot values|d["pilots"][1]["stats"].pop()|/pilots/1/stats: holds 13 entries, must hold 14'
  'flag 2|d["machines"][0]["hasShield"] = 2|/machines/0/hasShield: 2 is out of range (0 to 1)'
  'empty machine type|d["machines"][0]["typeId"] = 0|/machines/0/typeId: 0 is out of range'
  'unknown machine|d["squads"][1]["machines"][2]["machine"] = "ザク"|/squads/1/machines/2/machine: no machine is named "ザク"'
  'unknown pilot|d["squads"][0]["machines"][0]["pilot"] = "アムロ"|/squads/0/machines/0/pilot: no pilot is named "アムロ"'
  'not Shift-JIS|d["machines"][0]["name"] = "ヴォルテ\U0001F600"|/machines/0/name: "ヴォルテ😀" cannot be written in Shift-JIS'
  'decomposed kana|d["machines"][0]["name"] = "ウ\u3099ォルテ"|/machines/0/name: "ヴォルテ" cannot be written in Shift-JIS (it holds a combining sound mark, U+3099 or U+309A'
  'not Shift-JIS weapon|d["machines"][1]["weapons"][0]["name"] = "Ω\u00e9"|/machines/1/weapons/0/name:'
  'line break in a name|d["machines"][1]["name"] = "ドゥ\nーガ"|/machines/1/name: holds the control character U+000A (a name is one line of text)'
  'zero in a name|d["pilots"][0]["name"] = "ハル\u0000デン"|/pilots/0/name: holds the control character U+0000'
  'twelve squads|d["squads"] = d["squads"] * 6|/squads: holds 12 squads, at most 11'
  'fourth machine|d["squads"][0]["machines"].append({"machine": "ヴォルテ"})|/squads/0/machines/3: a squad holds at most 3 machines'
  'no machines|d["squads"][1]["machines"] = []|/squads/1/machines: holds 0 entries, must hold 1 to 3'
  'repeated machine name|d["machines"][1]["name"] = "ヴォルテ"|/machines/1/name: the name is also that of entry 0'
  'other version|d["version"] = 2|/version: this program reads version 1'
  'wrong type|d["machines"] = {}|/machines: must be an array, is object'
  'not an object|d = [d]|the document: must be an object, is array'
)
for entry in "${bad_cases[@]}"; do
  IFS='|' read -r name change expected <<<"$entry"
  python3 - "$work/data.json" "$work/bad.json" "$change" <<'PYTHON' || { fail "$name: could not make the file"; continue; }
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
exec(sys.argv[3])
open(sys.argv[2], "w", encoding="utf-8").write(json.dumps(d, ensure_ascii=False, indent=1))
PYTHON
  cp "$work/bad.json" "$work/bad-$name.json"
done

# Files that no change to a document makes: name | file | text the message holds
printf '' >"$work/empty.json"
head -c 300 "$work/data.json" >"$work/truncated.json"
printf '\x89PNG\r\n\x1a\n\0\0\0\rIHDR' >"$work/binary.png"
printf '{"version": 1,\n "armies": "\x83\x7b"}' >"$work/shiftjis.json"
sed 's/"agility": 12,/"agility": 12, "agility": 13,/' "$work/data.json" >"$work/repeated.json"
sed '2s/$/ ,/' "$work/data.json" >"$work/comma.json"
sed 's/"agility": 14,/"agility": 9999e99999,/' "$work/data.json" >"$work/huge.json"
mkdir -p "$work/folder.json"
iconv -f UTF-8 -t UTF-16 "$work/data.json" >"$work/utf16.json"
iconv -f UTF-8 -t UTF-16LE "$work/data.json" >"$work/utf16le.json"
sed '1s|$| // my squads|' "$work/data.json" >"$work/comment.json"
mkfifo "$work/fifo.json"
truncate -s 65M "$work/sparse.json"
file_cases=(
  "empty file|$work/empty.json|$work/empty.json:1:1: the file is empty"
  "truncated file|$work/truncated.json|$work/truncated.json:"
  "binary file|$work/binary.png|$work/binary.png:3:1: a zero byte: this is not a text file"
  "Shift-JIS bytes|$work/shiftjis.json|$work/shiftjis.json:2:13: syntax error while parsing value - invalid string: ill-formed UTF-8 byte; last read: '\"\\x83' (a battle data file is UTF-8)"
  "UTF-16 with a mark|$work/utf16.json|$work/utf16.json:1:1: the file is UTF-16 text; a battle data file is UTF-8 (save it as UTF-8)"
  "UTF-16 without a mark|$work/utf16le.json|$work/utf16le.json:1:1: the file is UTF-16 text"
  "comment|$work/comment.json|$work/comment.json:1:3: syntax error while parsing object key - invalid literal; last read: '{ /'; expected string literal (JSON has no comments)"
  "FIFO without a writer|$work/fifo.json|$work/fifo.json: no program opened the FIFO for writing within 3 seconds"
  "huge file|$work/sparse.json|$work/sparse.json: is larger than 64 MB"
  "endless device|/dev/zero|/dev/zero: is larger than 64 MB, more than any battle data file holds"
  "repeated key|$work/repeated.json|$work/repeated.json: /machines/0/agility: the key \"agility\" appears twice"
  "stray comma|$work/comma.json|$work/comma.json:2:"
  "number beyond a double|$work/huge.json|$work/huge.json:76:18: the number 9999e99999 is too large for any field"
  "folder|$work/folder.json|$work/folder.json: is a folder"
  "missing file|$work/none.json|$work/none.json: No such file or directory"
)
for entry in "${bad_cases[@]}"; do
  IFS='|' read -r name change expected <<<"$entry"
  file_cases+=("$name|$work/bad-$name.json|$work/bad-$name.json: $expected")
done
# Syntax errors name the line and column.
syntax_pattern=':[0-9]+:[0-9]+: (syntax error|parse error)'

mkdir -p "$work/run"
for entry in "${file_cases[@]}"; do
  IFS='|' read -r name file expected <<<"$entry"
  (cd "$work/run" && "$battle" --data "$file" --seed 1 --army1 1,1,1 --army2 2,2,2 >"$work/out" 2>"$work/err")
  status=$?
  [ "$status" -eq 2 ] || fail "$name: korvanta-battle exited $status, not 2"
  grep -qF -- "korvanta-battle: --data: $expected" "$work/err" || fail "$name: message '$(cat "$work/err")' lacks '$expected'"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "$name: the message is not one line"
  [ ! -e "$work/run/Log.txt" ] || fail "$name: a battle started (Log.txt written)"
  case "$name" in
    "truncated file"|"Shift-JIS bytes"|"stray comma")
      grep -qE -- "$syntax_pattern" "$work/err" || fail "$name: no line and column in '$(cat "$work/err")'" ;;
  esac
  (cd "$work/run" && "$korvanta" --data "$file" --headless --script /dev/null >/dev/null 2>"$work/err2")
  status=$?
  [ "$status" -eq 2 ] || fail "$name: korvanta exited $status, not 2"
  [ "$(sed 's/^korvanta: //' "$work/err2")" = "$(sed 's/^korvanta-battle: //' "$work/err")" ] ||
    fail "$name: the programs word it differently: '$(cat "$work/err2")'"
  rm -f "$work/run/Log.txt"
done

# ---------------------------------------------------------------- a larger catalogue
# Squad 3 mixes the types and carries pilots; squad 4 is one Volte.
python3 - "$work/data.json" "$work/four.json" "$work/five.json" <<'PYTHON'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
d["squads"].append({"typeId": 7, "evasionBonusOff": 1, "machines": [
    {"machine": "ドゥーガ", "pilot": "ゼフィル・ナヴァ"}, {"machine": "ヴォルテ", "pilot": "ハルデン"},
    {"machine": "ドゥーガ"}]})
d["squads"].append({"typeId": 8, "evasionBonusOff": 0, "machines": [{"machine": "ヴォルテ"}]})
json.dump(d, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False)
d["squads"].append({"typeId": 9, "evasionBonusOff": 0, "machines": [{"machine": "ドゥーガ"}]})
json.dump(d, open(sys.argv[3], "w", encoding="utf-8"), ensure_ascii=False)
PYTHON
four="$work/four.json"
"$battle" --data "$four" --seed 5 --army1 3,4,0 --army2 2,0,1 --log "$work/four.log" >/dev/null ||
  fail "--army1 3,4,0 with four squads exited $?"
iconv -f CP932 -t UTF-8 "$work/four.log" | grep -F "ドゥーガ(3)" >/dev/null || fail "the mixed squad's third machine is not in the log"
"$battle" --data "$four" --dump-data "$work/four-again.json"
"$battle" --data "$work/four-again.json" --seed 5 --army1 3,4,0 --army2 2,0,1 --log "$work/four-again.log" >/dev/null
cmp -s <(untimed "$work/four.log") <(untimed "$work/four-again.log") ||
  fail "the dump of a catalogue with pilots and a mixed squad fights another battle"
"$battle" --data "$four" --seed 5 --army1 1,5,0 --army2 1,1,1 >/dev/null 2>"$work/err"
[ $? -eq 2 ] && grep -qF -- "--army1: row 2 must be 0 to 4 (the catalogue holds 4 squads), got '5'" "$work/err" ||
  fail "row 5 of four squads: $(cat "$work/err")"
"$battle" --seed 5 --army1 1,3,0 --army2 1,1,1 >/dev/null 2>"$work/err"
[ $? -eq 2 ] && grep -qF -- "must be 0 to 2" "$work/err" || fail "row 3 of the built-in data: $(cat "$work/err")"
# The pilots count: the same squads without them fight another battle.
python3 - "$four" "$work/nopilots.json" <<'PYTHON'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
for position in d["squads"][2]["machines"]:
    position.pop("pilot", None)
json.dump(d, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False)
PYTHON
"$battle" --data "$work/nopilots.json" --seed 5 --army1 3,4,0 --army2 2,0,1 --log "$work/nopilots.log" >/dev/null
cmp -s <(untimed "$work/four.log") <(untimed "$work/nopilots.log") && fail "the file's pilots changed nothing"
# The army values: army 1 at situation 6 chooses no machine for melee.
python3 - "$work/data.json" "$work/situation.json" <<'PYTHON'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
d["armies"][0]["situation"] = 6
json.dump(d, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False)
PYTHON
"$battle" --seed 2 --army1 1,1,1 --army2 2,2,2 --log "$work/s0.log" >/dev/null
"$battle" --data "$work/situation.json" --seed 2 --army1 1,1,1 --army2 2,2,2 --log "$work/s6.log" >/dev/null
[ "$(iconv -f CP932 -t UTF-8 "$work/s0.log" | grep -c "格闘戦攻撃なし")" -eq 0 ] || fail "the reference battle lacks a melee"
[ "$(iconv -f CP932 -t UTF-8 "$work/s6.log" | grep -c "格闘戦攻撃なし")" -eq 3 ] ||
  fail "situation 6 from the file left army 1 machines for melee"

# Every setup of four squads: 125 a side, ranked with two-digit-free texts.
"$battle" --data "$four" --matrix --runs 1 --army2 0,0,0:3,3,3 --jobs 2 --chart "$work/heat4.png" >"$work/m4.txt" ||
  fail "the matrix of four squads exited $?"
head -1 "$work/m4.txt" | grep -q "^125 army-1 setups against 2 army-2 setups" || fail "matrix: $(head -1 "$work/m4.txt")"
grep -qE "^ +[0-9]+  4,4,4 " "$work/m4.txt" || fail "setup 4,4,4 is not ranked"
"$battle" --data "$work/five.json" --matrix --runs 1 --army2 0,0,0 >/dev/null 2>"$work/err"
[ $? -eq 2 ] && grep -qF -- "216 setups, more than the 125 taken without a list; give --army1 a list" "$work/err" ||
  fail "five squads without a list: $(cat "$work/err")"
"$battle" --data "$work/five.json" --matrix --runs 2 --army1 5,5,5:1,0,5 --army2 0,0,0:5,4,3 --csv "$work/m5.csv" \
  >/dev/null || fail "five squads with lists exited $?"
grep -q '^"1,0,5","5,4,3",2,' "$work/m5.csv" || fail "the matrix CSV lacks the pair 1,0,5 against 5,4,3"
python3 - "$work/heat4.png" <<'PYTHON' || fail "the heat map of four squads"
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
width, height = struct.unpack(">II", data[16:24])
# 125 rows of 4 pixels and a key of several lines, inside the 1024 x 768 desktop.
assert 125 * 4 < height <= 768 and width <= 1024, (width, height)
PYTHON

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "battle data files: all checks passed"
