#!/usr/bin/env bash
# The headless demo that scripts/run.sh plays without a display: it shows
# this run's battle or none, with the seed really used and the program's
# own exit status.
set -uo pipefail
build="${1:?usage: korvanta_demo_test.sh BUILD-DIR}"
source "$(dirname "$0")/korvanta_session_lib.sh"
demo="$source_dir/scripts/demo.sh"

folder="$work/demo"
mkdir -p "$folder"
ln -s "$source_dir/PIC" "$folder/PIC"

# A program that refuses its arguments: its status, no battle, and the old
# log and screenshots are gone rather than shown as this run's.
refused_cases=(
  "KORVANTA_SEED=abc|"
  "KORVANTA_SEED=42|--bogus"
)
for case in "${refused_cases[@]}"; do
  for old in with without; do
    rm -f "$folder"/*.txt "$folder"/*.png
    [ $old = with ] && printf '0:\x8f\x89\x8a\xfa\x89\xbb\x8f\x88\x97\x9d\r\n0:old battle\r\n' >"$folder/Log.txt" &&
      touch "$folder/prep.png" "$folder/battle.png"
    env "${case%%|*}" "$demo" "$korvanta" "$folder" ${case#*|} >"$work/out" 2>"$work/err"
    got=$?
    if [ "$got" = 2 ] && [ ! -s "$work/out" ] && [ ! -e "$folder/Log.txt" ] && [ ! -e "$folder/prep.png" ] &&
       grep -q "status 2" "$work/err"; then
      pass "demo, ${case%%|*} ${case#*|} $old an old log: status 2, no battle"
    else
      fail "demo, ${case%%|*} ${case#*|} $old an old log: status $got, printed $(wc -l <"$work/out") lines"
      cat "$work/err"
    fi
  done
done

# A --seed argument wins over KORVANTA_SEED: the seed named is the one the
# battle was fought with, and the whole battle is printed, up to the
# program's shutdown.
KORVANTA_SEED=7 "$demo" "$korvanta" "$folder" --seed 9 >"$work/out" 2>"$work/err"
got=$?
reference_dir="$work/reference"
reference="$(SEED=9 reference_lines --army1 1,2,0 --army2 2,0,1)"
printed="$(sed -E 's/^-?[0-9]+://' "$work/out")"
[ "$got" = 0 ] && pass "demo --seed 9: status 0" || fail "demo --seed 9: status $got"
grep -q -- "--seed 9\$" "$work/err" && ! grep -q -- "--seed 7" "$work/err" &&
  pass "demo --seed 9: names seed 9" || fail "demo --seed 9: names another seed: $(grep -- --seed "$work/err")"
[ "$(printf '%s\n' "$printed" | head -n "$(printf '%s\n' "$reference" | wc -l)")" = "$reference" ] &&
  grep -q "ターン目(接近戦)" <<<"$reference" &&
  pass "demo --seed 9: the whole battle of korvanta-battle --seed 9" ||
  fail "demo --seed 9: the printed battle is not korvanta-battle's"
[ -f "$folder/prep.png" ] && [ -f "$folder/battle.png" ] && pass "demo: both screenshots" || fail "demo: screenshots missing"

finish
