#!/usr/bin/env bash
# Sets everything up, builds the test suite under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs it with CTest; then the thread tests
# under ThreadSanitizer and a headless session under valgrind.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
build="$root/build-asan"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKORVANTA_SANITIZE=ON -DKORVANTA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"
# The image suites are optional (README.md): name the comparisons that
# skipped for want of them (under CI=true they failed instead).
testdata="${KORVANTA_TESTDATA:-$root/../shared/testdata}"
for suite in bmpsuite pngsuite; do
  [ -d "$testdata/$suite" ] ||
    echo "skipped: the $suite comparisons (no $testdata/$suite; set KORVANTA_TESTDATA to a folder holding it)"
done
"$root/scripts/thread_check.sh"
"$root/scripts/valgrind_check.sh"
"$root/scripts/fuzz.sh" 30
