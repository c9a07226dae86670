#!/usr/bin/env bash
# Runs a headless session of the program (a plain build, no sanitizer) under
# valgrind: it must end with 0, with no valgrind error and no block definitely
# lost. Errors and leaks whose stacks never touch our code (the system's own
# libraries) are left to their suppressions in tests/valgrind.supp.
#   scripts/valgrind_check.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-plain"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANTA_BUILD_TESTS=OFF -DKORVANTA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvanta

work="$(mktemp -d /tmp/korvanta-valgrind-XXXXXX)"
trap 'rm -rf "$work"' EXIT
cp -r "$root/PIC" "$work/" 2>/dev/null || true
# Preparation screen, a battle, back, Escape and a key.
cat >"$work/session.txt" <<'SCRIPT'
wait 5 frames
mouse move 100 100
button down left
wait 1 frame
button up left
wheel 2
key down B
wait 2 frames
key up B
wait 30 frames
key down N
wait 2 frames
key up N
wait 5 frames
key down ESC
wait 300 ms
key up ESC
wait 300 ms
key down SPACE
wait 300 ms
key up SPACE
SCRIPT
status=0
(cd "$work" && timeout 300 valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
    --show-leak-kinds=definite --track-origins=yes --num-callers=30 \
    --suppressions="$root/tests/valgrind.supp" \
    "$build/app/korvanta" --headless --script session.txt --desktop "valgrind-$$") \
    >"$work/stdout" 2>"$work/valgrind.txt" || status=$?
if [ "$status" != 0 ]; then
    cat "$work/valgrind.txt"
    echo "FAIL: the session under valgrind ended with status $status"
    exit 1
fi
grep -E "ERROR SUMMARY|definitely lost" "$work/valgrind.txt" || true
echo "PASS: valgrind session"
