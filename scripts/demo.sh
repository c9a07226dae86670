#!/usr/bin/env bash
# The headless demo: plays demo/session.txt with PROGRAM in FOLDER (which
# holds PIC/), prints the battle's lines of FOLDER/Log.txt in UTF-8 and
# leaves prep.png and battle.png beside it. KORVANTA_SEED (default 42) seeds
# the battle; a --seed among the extra arguments wins. scripts/run.sh calls
# it where there is no display.
# Usage: scripts/demo.sh PROGRAM FOLDER [ARGUMENTS...]
set -euo pipefail
korvanta="${1:?usage: demo.sh PROGRAM FOLDER [ARGUMENTS...]}"
folder="${2:?usage: demo.sh PROGRAM FOLDER [ARGUMENTS...]}"
shift 2
root="$(cd "$(dirname "$0")/.." && pwd)"
folder="$(cd "$folder" && pwd)"
cd "$folder"
# The seed really used: the last --seed among the arguments wins over
# KORVANTA_SEED, as the program takes the last one it is given.
seed="${KORVANTA_SEED:-42}"
args=("$@")
for ((i = 0; i < ${#args[@]}; ++i)); do
  [ "${args[i]}" = --seed ] && [ $((i + 1)) -lt ${#args[@]} ] && seed="${args[i + 1]}"
done
echo "No display: playing demo/session.txt headless with --seed $seed" >&2
# Nothing of an earlier run may pass for this one's.
rm -f "$folder/Log.txt" "$folder/prep.png" "$folder/battle.png"
status=0
"$korvanta" --seed "$seed" --headless --script "$root/demo/session.txt" --desktop "run-$$" "$@" || status=$?
if [ "$status" -ne 0 ]; then
  echo "korvanta ended with status $status; no battle to show" >&2
  exit "$status"
fi
if [ ! -f "$folder/Log.txt" ]; then
  echo "korvanta wrote no Log.txt in $folder (see the message above); no battle to show" >&2
  exit "$status"
fi
# The battle starts with its first "初期化処理" line; from there to the end of the log.
iconv -f CP932 -t UTF-8 "$folder/Log.txt" | tr -d '\r' |
  awk 'started || /^-?[0-9]+:初期化処理$/ { started = 1; print }'
shots=""
for shot in prep.png battle.png; do
  [ -f "$folder/$shot" ] && shots="$shots $folder/$shot"
done
echo "Log: $folder/Log.txt (Shift-JIS). Screenshots:${shots:- none}" >&2
echo "The same battle without a window: build/app/korvanta-battle --seed $seed --army1 1,2,0 --army2 2,0,1 --utf8" >&2
exit "$status"
