#!/usr/bin/env bash
# korvanta --scale on the headless desktop: its values and the refused ones
# (exit 2), KORVANTA_SCALE refused outside and ignored inside a headless run,
# a scale-2 screenshot that is the scale-1 one with every pixel doubled, the
# script's mouse read in window coordinates (a button's edges at scale 2),
# and the same log as at scale 1.
set -uo pipefail
build="${1:?usage: korvanta_scale_headless_test.sh BUILD-DIR}"
unset KORVANTA_SCALE
source "$(dirname "$0")/korvanta_session_lib.sh"
compare="$source_dir/tests/scaled_image_compare.py"

white=255,255,255
black=0,0,0

# ---------------------------------------------------------------- values
grep -q -- "--scale N" <("$korvanta" --help) && pass "--help names --scale" || fail "--help does not name --scale"
for bad in "--scale" "--scale 0" "--scale 5" "--scale 2.0" "--scale x" "--scale AUTO" "--scale -1"; do
  # shellcheck disable=SC2086
  "$korvanta" $bad --headless --script /dev/null >"$work/out" 2>&1
  status=$?
  [ $status = 2 ] && grep -q -- "--scale" "$work/out" && pass "'$bad' refused with 2" || fail "'$bad': status $status"
done
"$korvanta" --scale "" --headless --script /dev/null >"$work/out" 2>&1
status=$?
[ $status = 2 ] && pass "an empty --scale refused with 2" || fail "empty --scale: status $status"
# Checked before the display is looked for.
for bad in 0 5 big; do
  env -u DISPLAY -u WAYLAND_DISPLAY KORVANTA_SCALE=$bad "$korvanta" >"$work/out" 2>&1
  status=$?
  [ $status = 2 ] && grep -q "KORVANTA_SCALE" "$work/out" && pass "KORVANTA_SCALE=$bad refused with 2" ||
    fail "KORVANTA_SCALE=$bad: status $status"
done

# ---------------------------------------------------------------- pixels
# The preparation screen, the pointer away from the buttons, before the
# frame-rate box first shows (after 60 frames).
still() { printf 'mouse move %d %d\nwait 5 frames\nscreenshot shot.png\nclose\n' "$1" "$2"; }
run_session "$work/one" "$(still 600 300)"
[ "$status" = 0 ] && pass "scale 1: ends with 0" || fail "scale 1: status $status"
run_session "$work/two" "$(still 1200 600)" --scale 2
[ "$status" = 0 ] && pass "scale 2: ends with 0" || fail "scale 2: status $status"
result="$(python3 "$compare" "$work/one/shot.png" "$work/two/shot.png" 2)" &&
  pass "scale 2: the screenshot is scale 1's doubled" || fail "scale 2 against scale 1: $result"
# The start measures the processor's speed and the free memory: those lines
# may differ from run to run.
steady_log() { log_text "$1" | grep -v -e "^メモリ総量:" -e "ＣＰＵ動作速度"; }
if [ "$(steady_log "$work/two")" = "$(steady_log "$work/one")" ]; then
  pass "scale 2: the same log as scale 1"
else
  fail "scale 2: the log differs from scale 1's"
  diff <(steady_log "$work/one") <(steady_log "$work/two") | head -n 10
fi

# A headless run ignores KORVANTA_SCALE, even a bad one; --scale auto takes
# the headless desktop's 1024 x 768, where only scale 1 fits.
for setting in 3 bad; do
  KORVANTA_SCALE=$setting run_session "$work/env-$setting" "$(still 600 300)"
  [ "$status" = 0 ] && [ "$(python3 "$compare" "$work/one/shot.png" "$work/env-$setting/shot.png" 1)" = same ] &&
    pass "KORVANTA_SCALE=$setting ignored headless" || fail "KORVANTA_SCALE=$setting headless: status $status"
done
run_session "$work/auto" "$(still 600 300)" --scale auto
[ "$status" = 0 ] && [ "$(python3 "$compare" "$work/one/shot.png" "$work/auto/shot.png" 1)" = same ] &&
  pass "--scale auto headless is 1" || fail "--scale auto headless: status $status"

# ---------------------------------------------------------------- the button's edges
# Army 1's first button covers screen pixels 121 to 140 and 41 to 60:
# window pixels 242 to 281 and 82 to 121 at scale 2. An open list shows
# white at screen pixel 239,50.
edge() {
  run_session "$work/edge-$1-$2" "$(click "$1" "$2"; printf 'mouse move 1200 600\nwait 3 frames\nscreenshot shot.png\nclose\n')" --scale 2
}
for point in "242 82 $white opens" "241 81 $black misses" "281 121 $white opens" "282 122 $black misses"; do
  read -r x y colour what <<<"$point"
  edge "$x" "$y"
  [ "$status" = 0 ] && [ "$(pixels "$work/edge-$x-$y/shot.png" 478,100)" = "$colour" ] &&
    pass "scale 2: a click at $x,$y $what the list" || fail "scale 2: a click at $x,$y: status $status, $(pixels "$work/edge-$x-$y/shot.png" 478,100)"
done

finish
