#!/usr/bin/env bash
# korvanta on the headless desktop driven by taps only: every click and key
# is pressed and released with no wait between them, so the pump takes each
# press and its release together. The lists open and take their picks, B
# starts the battle of korvanta-battle with those squads, and Escape then a
# key end the program with 0.
set -uo pipefail
build="${1:?usage: korvanta_taps_test.sh BUILD-DIR}"
source "$(dirname "$0")/korvanta_session_lib.sh"

white=255,255,255
black=0,0,0

# A click and a key released at once; two frames before the next action, so
# that two taps never share a pump.
tap_click() { printf 'mouse move %d %d\nwait 2 frames\nbutton down left\nbutton up left\nwait 2 frames\n' "$1" "$2"; }
tap_key() { printf 'key down %s\nkey up %s\nwait 2 frames\n' "$1" "$1"; }

taps="$work/taps"
session="$(
  printf 'wait 5 frames\n'
  tap_click 130 50            # army 1, row 1: its list opens
  printf 'mouse move 600 300\nwait 2 frames\nscreenshot open.png\n'
  tap_click 190 70            # its second entry
  tap_click 130 190           # army 2, row 3
  tap_click 190 190           # its first entry
  printf 'mouse move 600 300\nwait 2 frames\nscreenshot picked.png\n'
  tap_key B
  printf 'wait 100 frames\n'
  # No frames run after Escape: the wait before the last key counts time.
  printf 'key down ESC\nkey up ESC\nwait 200 ms\nkey down SPACE\nkey up SPACE\n'
)"
run_session "$taps" "$session"
[ "$status" = 0 ] && pass "taps: Escape then Space end with 0" || fail "taps: status $status"
# Army 1's row 1 list: two entries from y 40, x 140 to 239, black inside.
expect_pixels "$taps/open.png" 140,40=$white 239,40=$white 239,79=$white 190,79=$white 237,77=$black
# Both lists closed again after their picks.
expect_pixels "$taps/picked.png" 239,40=$black 239,79=$black 239,190=$black 239,219=$black
expect_same_battle "$taps" --army1 2,0,0 --army2 0,0,1

finish
