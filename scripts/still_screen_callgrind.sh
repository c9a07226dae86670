#!/usr/bin/env bash
# Instructions per frame of the preparation screen standing still: the
# program runs headless under callgrind for 150 and for 450 frames (then the
# script closes the window); the difference of the two totals over the 300
# frames between leaves out start and end.
#   scripts/still_screen_callgrind.sh [BUILD_DIR]   (default build-bench: Release, no sanitizers)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-bench}"
[ -d "$build" ] || { echo "no build folder $build"; exit 1; }
# Absolute: the program runs in a folder of its own.
program="$(cd "$build" && pwd)/app/korvanta"
[ -x "$program" ] || { echo "no $program (build the korvanta target first)"; exit 1; }

work="$(mktemp -d /tmp/korvanta-still-XXXXXX)"
trap 'rm -rf "$work"' EXIT
cp -r "$root/PIC" "$work/" 2>/dev/null || true

total() {
    local frames=$1
    printf 'wait %d frames\nclose\n' "$frames" >"$work/session-$frames.txt"
    (cd "$work" && valgrind --tool=callgrind --callgrind-out-file="$work/callgrind-$frames.out" \
        "$program" --headless --script "session-$frames.txt" --desktop "still-$$-$frames") \
        >"$work/output-$frames.txt" 2>&1
    # The totals line of the profile: "summary: N" (or "totals: N").
    grep -E '^(summary|totals):' "$work/callgrind-$frames.out" | tail -1 | awk '{print $2}'
}

short=$(total 150)
long=$(total 450)
echo "150 frames: $short instructions"
echo "450 frames: $long instructions"
awk -v a="$short" -v b="$long" 'BEGIN { printf "per frame: %.3f M instructions\n", (b - a) / 300 / 1e6 }'
