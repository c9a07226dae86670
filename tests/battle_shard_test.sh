#!/usr/bin/env bash
# korvanta-battle --shard K/N --part FILE and --merge: the merged summary,
# JSON, CSV and chart equal the one-machine run byte for byte with 1, 3 and 7
# shards (runs with per-battle rows, a matrix, a sweep over a data file); parts
# of other runs, overlapping or missing slices and damaged parts are refused.
set -uo pipefail
. "$(dirname "$0")/battle_command_lib.sh" "$1"

"$battle" --dump-data "$work/data.json"
python3 - "$work/data.json" <<'PYTHON'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
d["squads"].append({"typeId": 5, "evasionBonusOff": 0, "machines": [
    {"machine": "ドゥーガ", "pilot": "ゼフィル・ナヴァ"}, {"machine": "ヴォルテ"}]})
json.dump(d, open(sys.argv[1], "w", encoding="utf-8"), ensure_ascii=False)
PYTHON

# name | arguments of the run | output options (the CSV and chart go to $out/)
runs=(
  "runs|--runs 41 --seed 4294967290 --army1 2,1,0 --army2 0,2,2|--csv CSV --chart PNG"
  "matrix|--matrix --runs 3 --army1 1,0,0:2,2,2:0,0,1 --army2 0,0,0:1,1,1:2,1,0:0,2,0|--csv CSV --chart PNG --json"
  "sweep|--data $work/data.json --matrix --runs 4 --army1 3,0,0:1,1,0 --army2 2,2,0 --vary /pilots/1/stats/10=0:20:10|--csv CSV --chart PNG"
  "grid|--runs 5 --army1 1,0,0 --army2 0,2,0 --vary /machines/1/weapons/0/damage=2:4:2 --vary /machines/0/agility=10:12:2|--json --csv CSV"
)
for entry in "${runs[@]}"; do
  IFS='|' read -r name arguments outputs <<<"$entry"
  mkdir -p "$work/$name/one"
  # shellcheck disable=SC2086
  one_outputs=$(echo "$outputs" | sed "s#CSV#$work/$name/one/out.csv#; s#PNG#$work/$name/one/out.png#")
  # shellcheck disable=SC2086
  "$battle" $arguments $one_outputs --jobs 2 >"$work/$name/one/summary" || { fail "$name: the one-machine run exited $?"; continue; }
  for shards in 1 3 7; do
    folder="$work/$name/$shards"
    mkdir -p "$folder"
    parts=()
    for ((k = shards - 1; k >= 0; k--)); do
      # The per-battle rows travel in the parts only when the shards are run with --csv.
      csv=()
      [[ "$outputs" == *CSV* ]] && csv=(--csv "$folder/ignored.csv")
      # shellcheck disable=SC2086
      "$battle" $arguments "${csv[@]}" --shard "$k/$shards" --part "$folder/part$k" --jobs 1 >"$folder/out$k" ||
        fail "$name: shard $k/$shards exited $?"
      [ ! -s "$folder/out$k" ] || fail "$name: shard $k/$shards printed a summary"
      parts+=("$folder/part$k")
    done
    [ ! -e "$folder/ignored.csv" ] || fail "$name: a shard wrote the CSV"
    merge_outputs=$(echo "$outputs" | sed "s#CSV#$folder/out.csv#; s#PNG#$folder/out.png#")
    # shellcheck disable=SC2086
    "$battle" --merge "${parts[@]}" $merge_outputs >"$folder/summary" || { fail "$name: merging $shards exited $?"; continue; }
    cmp -s "$work/$name/one/summary" "$folder/summary" || fail "$name: the summary of $shards shards differs"
    for file in out.csv out.png; do
      [ -e "$work/$name/one/$file" ] || continue
      cmp -s "$work/$name/one/$file" "$folder/$file" || fail "$name: $file of $shards shards differs"
    done
  done
done

# ---------------------------------------------------------------- refused
base=(--runs 20 --army1 1,0,0 --army2 2,0,0)
for k in 0 1 2; do
  "$battle" "${base[@]}" --shard "$k/3" --part "$work/p$k" --jobs 1
done
"$battle" --runs 20 --army1 1,0,0 --army2 2,0,0 --seed 2 --shard 1/3 --part "$work/other-seed" --jobs 1
"$battle" --data "$work/data.json" "${base[@]}" --shard 1/3 --part "$work/other-data" --jobs 1
"$battle" "${base[@]}" --shard 1/4 --part "$work/other-count" --jobs 1
python3 - "$work/p1" "$work/damaged" "$work/truncated" <<'PYTHON'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.index(b"tallies")
line_end = data.index(b"\n", at) + 1
data[line_end] = ord("7") if data[line_end] != ord("7") else ord("8")
open(sys.argv[2], "wb").write(bytes(data))
open(sys.argv[3], "wb").write(open(sys.argv[1], "rb").read()[:-30])
PYTHON
printf 'not a part\n' >"$work/text"
sed 's/^settings .*/settings 99999999999999999999/' "$work/p1" >"$work/huge-count"
# name | parts | the message's text
refusals=(
  "missing slice|$work/p0 $work/p2|shard 1/3 is missing"
  "overlap|$work/p0 $work/p1 $work/p2 $work/p1|$work/p1: shard 1/3 overlaps $work/p1"
  "other seed|$work/p0 $work/other-seed $work/p2|$work/other-seed: a part of other data or arguments than $work/p0"
  "other data|$work/p0 $work/other-data $work/p2|$work/other-data: a part of other data or arguments than $work/p0"
  "other count|$work/p0 $work/other-count $work/p2|$work/other-count: a part of 4 shards"
  "damaged|$work/p0 $work/damaged $work/p2|$work/damaged: a damaged or truncated part"
  "truncated|$work/p0 $work/truncated $work/p2|$work/truncated: a damaged or truncated part"
  "absurd count|$work/p0 $work/huge-count $work/p2|$work/huge-count: a damaged or truncated part ('99999999999999999999' is not a count)"
  "not a part|$work/text|$work/text: a damaged or truncated part (not a part"
  "no file|$work/none|$work/none: cannot be read"
  "folder|$work|$work: cannot be read: Is a directory"
  "FIFO without a writer|$work/fifo|$work/fifo: cannot be read: no program opened the FIFO for writing"
  "endless device|/dev/zero|/dev/zero: is a device, not a part file"
)
mkfifo "$work/fifo"
for entry in "${refusals[@]}"; do
  IFS='|' read -r name parts expected <<<"$entry"
  # shellcheck disable=SC2086
  "$battle" --merge $parts >"$work/out" 2>"$work/err"
  status=$?
  [ "$status" -eq 2 ] || fail "$name: exited $status, not 2"
  grep -qF -- "$expected" "$work/err" || fail "$name: '$(cat "$work/err")' lacks '$expected'"
  [ ! -s "$work/out" ] || fail "$name: printed a summary"
done
"$battle" --merge "$work/p0" "$work/p1" "$work/p2" --csv "$work/rows.csv" >/dev/null 2>"$work/err"
[ $? -eq 2 ] && grep -qF "the parts hold no per-battle rows" "$work/err" || fail "rows asked of parts without them"
"$battle" "${base[@]}" --shard 3/3 --part "$work/x" 2>"$work/err"
[ $? -eq 2 ] || fail "--shard 3/3 was accepted"
"$battle" "${base[@]}" --shard 0/3 2>"$work/err"
[ $? -eq 2 ] && grep -qF -- "--shard needs --part" "$work/err" || fail "--shard without --part"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "shards: all checks passed"
