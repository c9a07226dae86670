#!/usr/bin/env bash
# Sets everything up, builds, and runs Korvanta in the folder that holds PIC/.
# With a display it opens the window; extra arguments go to the program.
# Without one it plays the recorded session demo/session.txt on the headless
# desktop through scripts/demo.sh (KORVANTA_SEED, default 42, or a --seed
# argument seeds the battle), prints the battle's lines of Log.txt in UTF-8
# and leaves prep.png and battle.png beside it.
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

exec "$root/scripts/demo.sh" "$korvanta" "$root" "$@"
