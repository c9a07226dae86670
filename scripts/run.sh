#!/usr/bin/env bash
# Sets everything up, builds, and runs Korvanta in the folder that holds PIC/.
# With a display it opens the window; extra arguments go to the program.
# Without one it plays the recorded session demo/session.txt on the headless
# desktop (KORVANTA_SEED, default 42, seeds the battle), prints the battle's
# lines of Log.txt in UTF-8 and leaves prep.png and battle.png beside it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Setting up and building report on standard error: standard output carries
# the battle's lines only.
{
  "$root/scripts/install-deps.sh"
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DKORVANTA_BUILD_TESTS=OFF -DKORVANTA_BUILD_BENCH=OFF >/dev/null
  cmake --build "$root/build" -j"$(nproc)"
} >&2
korvanta="$root/build/app/korvanta"
cd "$root"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$korvanta" "$@"
fi

seed="${KORVANTA_SEED:-42}"
echo "No display: playing demo/session.txt headless with --seed $seed" >&2
rm -f "$root/prep.png" "$root/battle.png"
status=0
"$korvanta" --seed "$seed" --headless --script "$root/demo/session.txt" --desktop "run-$$" "$@" || status=$?
# The battle starts with its first "初期化処理" line; from there to the end of the log.
iconv -f CP932 -t UTF-8 "$root/Log.txt" | tr -d '\r' |
  awk 'started || /^-?[0-9]+:初期化処理$/ { started = 1; print }'
echo "Log: $root/Log.txt (Shift-JIS). Screenshots: $root/prep.png and $root/battle.png" >&2
echo "The same battle without a window: build/app/korvanta-battle --seed $seed --army1 1,2,0 --army2 2,0,1 --utf8" >&2
exit "$status"
