#!/usr/bin/env bash
# Builds the image-decoder fuzz targets with clang and libFuzzer and runs each
# for SECONDS (default 30), one after another, seeded from the test data and
# the fixtures. Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
# Targets: bmp jpeg png rawbgra tga dds chain. A crash stops the script with
# status 1 and leaves the reproducer in build-fuzz/findings/<target>/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(bmp jpeg png rawbgra tga dds chain)
build="$root/build-fuzz"
export CC=clang CXX=clang++
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
names=()
for t in "${targets[@]}"; do names+=("fuzz_$t"); done
flock /tmp/korvanta-build.lock cmake --build "$build" -j2 --target "${names[@]}" >/dev/null

testdata="$root/../shared/testdata"
images="$root/tests/data/images"
seed() {  # target -> seed files
  case "$1" in
    bmp) ls "$testdata"/bmpsuite/g/*.bmp "$testdata"/bmpsuite/q/*.bmp ;;
    jpeg) ls "$images"/*.jpg ;;
    png) ls "$testdata"/pngsuite/*.png "$images"/*.png ;;
    rawbgra) ls "$images"/*.bgra ;;
    tga) ls "$images"/*.tga ;;
    dds) ls "$images"/*.dds ;;
    chain) ls "$testdata"/bmpsuite/g/pal8.bmp "$images"/im_colour.jpg "$testdata"/pngsuite/basn6a08.png \
              "$images"/bgra8.bgra "$images"/tga_t9_16_top_footer.tga "$images"/dxt5_10x6_mips.dds ;;
  esac 2>/dev/null
}

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:allocator_may_return_null=1"
status=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  findings="$build/findings/$t"
  mkdir -p "$corpus" "$findings"
  seed "$t" | while read -r f; do cp -n "$f" "$corpus/" 2>/dev/null || true; done
  echo "fuzz_$t: ${seconds}s"
  if ! "$build/fuzz_$t" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=20 \
      -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$build/fuzz_$t.log" 2>&1; then
    echo "fuzz_$t: FAILED, see $build/fuzz_$t.log and $findings/"
    tail -n 40 "$build/fuzz_$t.log"
    status=1
  else
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$build/fuzz_$t.log" | tr '\n' ' '
    echo
  fi
done
exit "$status"
