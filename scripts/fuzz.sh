#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for SECONDS
# (default 30), one after another: the image decoders, seeded from the
# fixtures, the files other programs wrote and the public suites when
# present; the battle data reader; and
# the media layer's API (fuzz_api), seeded from fuzz/seeds/api and its
# regression inputs.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
# Targets: bmp jpeg png rawbgra tga dds chain battle_data api. A crash stops
# the script with status 1 and leaves the reproducer in
# build-fuzz/findings/<target>/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(bmp jpeg png rawbgra tga dds chain battle_data api)
build="$root/build-fuzz"
export CC=clang CXX=clang++
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
names=()
for t in "${targets[@]}"; do names+=("fuzz_$t"); done
flock /tmp/korvanta-build.lock cmake --build "$build" -j2 --target "${names[@]}" >/dev/null

# Seeds: the repository's fixtures, plus the public suites when they are there
# (KORVANTA_TESTDATA, else ../shared/testdata beside the repository).
testdata="${KORVANTA_TESTDATA:-$root/../shared/testdata}"
images="$root/tests/data/images"
foreign="$root/tests/data/foreign_images"  # files other programs wrote
seed() {  # target -> seed files
  case "$1" in
    bmp) ls "$images"/*.bmp "$foreign"/*.bmp "$testdata"/bmpsuite/g/*.bmp "$testdata"/bmpsuite/q/*.bmp ;;
    jpeg) ls "$images"/*.jpg "$foreign"/*.jpg ;;
    png) ls "$images"/*.png "$foreign"/*.png "$root"/tests/data/fuzz/png/* "$testdata"/pngsuite/*.png ;;
    rawbgra) ls "$images"/*.bgra ;;
    tga) ls "$images"/*.tga "$foreign"/*.tga ;;
    dds) ls "$images"/*.dds "$foreign"/*.dds ;;
    battle_data) ls "$root"/tests/data/battle/*.json ;;
    chain) ls "$images"/bmp_pal8_topdown.bmp "$images"/bmp_pal4_rle.bmp "$images"/im_colour.jpg \
              "$images"/png_rgba.png "$images"/png_palette_trns.png "$images"/bgra8.bgra \
              "$images"/tga_t9_16_top_footer.tga "$images"/dxt5_10x6_mips.dds \
              "$testdata"/bmpsuite/g/pal8.bmp "$testdata"/pngsuite/basn6a08.png ;;
    api) ls "$root"/fuzz/seeds/api/* "$root"/tests/data/fuzz/api/* ;;
  esac 2>/dev/null || true  # a missing suite leaves its files out
}
for suite in bmpsuite pngsuite; do
  [ -d "$testdata/$suite" ] || echo "fuzz: no $suite at $testdata/$suite; seeding from the repository's fixtures (set KORVANTA_TESTDATA to add it)"
done

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:allocator_may_return_null=1"
# Fontconfig keeps blocks of its own until exit (fuzz_api makes fonts).
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
status=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  findings="$build/findings/$t"
  mkdir -p "$corpus" "$findings"
  seeds="$(seed "$t" | wc -l)"
  [ "$seeds" -gt 0 ] || { echo "fuzz_$t: no seed files found"; status=1; continue; }
  seed "$t" | while read -r f; do cp -n "$f" "$corpus/" 2>/dev/null || true; done
  echo "fuzz_$t: ${seconds}s, $seeds seeds"
  maxlen=65536
  [ "$t" != api ] || maxlen=8192  # a program stops after 400 calls anyway
  if ! "$build/fuzz_$t" -max_total_time="$seconds" -max_len="$maxlen" -rss_limit_mb=2048 -timeout=20 \
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
