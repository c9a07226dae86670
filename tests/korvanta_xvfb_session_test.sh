#!/usr/bin/env bash
# A person's session in a real window on our own Xvfb, driven with xdotool:
# squads picked with the mouse, B, the battle to its end, N, Escape and a
# key. The window's pictures are checked, and the log's battle lines equal
# those of korvanta-battle with the same seed and squads.
set -uo pipefail
build="${1:?usage: korvanta_xvfb_session_test.sh BUILD-DIR}"
for tool in Xvfb xdotool import iconv python3; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed"
    exit 0
  fi
done
source "$(dirname "$0")/korvanta_session_lib.sh"

xvfb_pid=""
korvanta_pid=""
stop_all() {
  [ -n "$korvanta_pid" ] && kill "$korvanta_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  cleanup
}
trap stop_all EXIT

white=255,255,255
black=0,0,0
blue=0,28,255
yellow=255,227,0

Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
unset WAYLAND_DISPLAY

session="$work/xvfb"
mkdir -p "$session"
ln -s "$source_dir/PIC" "$session/PIC"
(cd "$session" && exec "$korvanta" --seed 42 >"$session/stdout" 2>"$session/stderr") &
korvanta_pid=$!
window="$(timeout 30 xdotool search --sync --onlyvisible --name '^Korvanta$' 2>/dev/null | head -n1)"
[ -n "$window" ] || { echo "FAIL: no window titled Korvanta"; cat "$session/stderr"; exit 1; }
sleep 0.5
xdotool windowfocus "$window" 2>/dev/null

# Each press is a tap, pressed and released at once so that one pump takes
# both, and is followed by a pause of many frames (30 ms each): two taps in
# one pump would count as one.
click_at() {
  xdotool mousemove --window "$window" "$1" "$2"
  sleep 0.3
  xdotool mousedown 1 mouseup 1
  sleep 0.3
}
pick() {
  local y=$(($1 * 100 + 40 + $2 * 20))
  click_at 130 $((y + 10))
  click_at 190 $((y + 10 + 20 * $3))
}
key() {
  xdotool key --delay 0 "$1"
  sleep 0.3
}
shot() { import -window "$window" "png24:$session/$1" 2>>"$session/import.log"; }

pick 0 0 0
pick 0 1 1
pick 1 0 1
click_at 130 190
xdotool mousemove --window "$window" 600 300
sleep 0.3
shot prep.png
click_at 190 190
key b
sleep 0.5
shot battle.png
sleep 4  # the battle needs at most 43 frames of 30 ms
shot over.png
key n
sleep 0.6
shot back.png
key Escape
sleep 0.3
kill -0 "$korvanta_pid" 2>/dev/null && pass "Escape alone waits for a key" || fail "ended on Escape alone"
key space
status=running
for _ in $(seq 300); do
  if ! kill -0 "$korvanta_pid" 2>/dev/null; then
    wait "$korvanta_pid"
    status=$?
    break
  fi
  sleep 0.1
done
korvanta_pid=""
[ "$status" = 0 ] && pass "the session ends with 0" || fail "the session: status $status"
expect_same_battle "$session" --army1 1,2,0 --army2 2,0,1

# The preparation screen with army 2's row 3 list open; the battle's boxes in
# the window's colours; after the end still the battle screen; then back.
expect_pixels "$session/prep.png" 123,43=148,150,165 139,45=$white \
  0,45=$white 139,45=$white 70,39=$white 0,185=$white 140,180=$white 239,219=$white 237,217=$black 240,190=$black
expect_pixels "$session/battle.png" 120,10=$blue 129,59=$blue 55,20=$yellow 215,180=$blue 0,45=$black
expect_pixels "$session/over.png" 120,10=$blue 55,20=$yellow 215,180=$blue 0,45=$black
expect_pixels "$session/back.png" 0,45=$white 70,39=$white 140,180=$black

finish
