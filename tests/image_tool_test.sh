#!/usr/bin/env bash
# korvanta-image from the outside: arguments and exit status, the pixels it
# writes at both depths, failure reasons in UTF-8, no ./Log.txt, and copies
# running side by side.
set -uo pipefail
build="$(cd "$1" && pwd)"
tool="$build/tools/korvanta-image"
data="$(cd "$(dirname "$0")/data/images" && pwd)"
if [ ! -x "$tool" ]; then
  echo "FAIL: $tool is missing"
  exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
expect_status() {  # status, then the command
  local want="$1"
  shift
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  [ "$got" = "$want" ] || fail "$* exited $got, expected $want: $(cat "$work/err")"
}

expect_status 0 "$tool" --help
grep -q "Usage: korvanta-image" "$work/out" || fail "--help prints no usage"
for args in "" "one" "--depth 24 a b" "--depth" "--bogus a b" "a b c"; do
  # shellcheck disable=SC2086
  expect_status 2 "$tool" $args
done

expect_status 1 "$tool" "$work/missing.png" "$work/o.png"
grep -q "グラフィックファイル $work/missing.png がありません" "$work/err" || fail "missing file reason: $(cat "$work/err")"
echo "plain text" >"$work/text.png"
expect_status 1 "$tool" "$work/text.png" "$work/o.png"
grep -q "右記のグラフィックファイルのロードに失敗しました：$work/text.png" "$work/err" || fail "undecodable reason: $(cat "$work/err")"
[ ! -e "$work/o.png" ] || fail "an output was written for a failed load"

# pattern.png pixel (1,0) is (37,5,91,28): stored at 16 bits R5G6B5 with
# 8-bit alpha, widened back by bit replication; at 32 bits unchanged.
pixel() { convert "$1" -format "%[fx:int(255*p{1,0}.r+0.5)],%[fx:int(255*p{1,0}.g+0.5)],%[fx:int(255*p{1,0}.b+0.5)],%[fx:int(255*p{1,0}.a+0.5)]" info:; }
expect_status 0 "$tool" --info "$data/pattern.png" "$work/p16.png"
grep -q "decoder: PNG" "$work/out" || fail "--info names no decoder: $(cat "$work/out")"
grep -q "size: 11 x 7" "$work/out" || fail "--info size: $(cat "$work/out")"
grep -q "alpha: yes" "$work/out" || fail "--info alpha: $(cat "$work/out")"
[ "$(pixel "$work/p16.png")" = "33,4,90,28" ] || fail "16-bit pixel $(pixel "$work/p16.png")"
expect_status 0 "$tool" --depth 32 "$data/pattern.png" "$work/p32.png"
[ "$(pixel "$work/p32.png")" = "37,5,91,28" ] || fail "32-bit pixel $(pixel "$work/p32.png")"
expect_status 0 "$tool" --depth=32 --info "$data/im_rgb.tga" "$work/rgb.png"
grep -q "alpha: no" "$work/out" || fail "a picture without alpha: $(cat "$work/out")"
[ "$(pixel "$work/rgb.png" | cut -d, -f4)" = "255" ] || fail "alpha of a picture without alpha"

# Japanese names are native (UTF-8) names: い.png takes its い_a.png, in a
# folder with a Japanese name and a '~'; a missing name is printed as given.
# (Relative names: the "_a" goes before the first dot of the whole path, and
# the temporary folder's name has one.)
jp="$work/画像~1"
mkdir -p "$jp/絵"
cp "$data/png_rgb.png" "$jp/絵/い.png"
cp "$data/png_grey.png" "$jp/絵/い_a.png"
cd "$jp"
expect_status 0 "$tool" --info "絵/い.png" "$work/jp.png"
grep -q "alpha picture: yes" "$work/out" || fail "い.png found no い_a.png: $(cat "$work/out" "$work/err")"
expect_status 1 "$tool" "絵/表missing.png" "$work/o.png"
grep -q "^korvanta-image: 絵/表missing.png: cannot load" "$work/err" || fail "missing Japanese name: $(cat "$work/err")"
grep -q "グラフィックファイル 絵/表missing.png がありません" "$work/err" || fail "missing Japanese name's reason: $(cat "$work/err")"
cd "$work"

# Copies side by side, each with its own log and desktop.
pids=()
for i in 1 2 3 4; do
  "$tool" --depth 32 "$data/dxt5_8x8.dds" "$work/par$i.png" 2>"$work/par$i.err" &
  pids+=($!)
done
for i in 1 2 3 4; do
  wait "${pids[$((i - 1))]}" || fail "parallel copy $i failed: $(cat "$work/par$i.err")"
  cmp -s "$work/par1.png" "$work/par$i.png" || fail "parallel copy $i wrote other pixels"
done
[ ! -e "$work/Log.txt" ] || fail "korvanta-image wrote ./Log.txt"

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "korvanta-image: all checks passed"
