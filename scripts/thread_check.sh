#!/usr/bin/env bash
# Builds the tests of shared state (memory manager, call lock) under
# ThreadSanitizer in a build of their own and runs them.
#   scripts/thread_check.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-tsan"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKORVANTA_SANITIZE_THREAD=ON -DKORVANTA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvanta_thread_tests
# ThreadSanitizer's shadow memory needs a fixed address layout: without
# address-space randomisation it runs on any kernel.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
cd "$build/tests"
setarch "$(uname -m)" -R ./korvanta_thread_tests
