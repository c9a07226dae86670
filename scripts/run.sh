#!/usr/bin/env bash
# Sets everything up, builds, and runs Korvanta: the window where a display
# exists, a headless battle otherwise. Extra arguments go to the program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DKORVANTA_BUILD_TESTS=OFF -DKORVANTA_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build" -j"$(nproc)"
cd "$root"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$root/build/app/korvanta" ]; then
  exec "$root/build/app/korvanta" "$@"
fi
echo "No display: running a headless battle (1,1,1 against 2,2,2); the log is in $root/Log.txt" >&2
"$root/build/app/korvanta-battle" --army1 1,1,1 --army2 2,2,2 --utf8 "$@"
