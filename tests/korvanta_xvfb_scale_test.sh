#!/usr/bin/env bash
# korvanta at scale 2 in a real window on an Xvfb of 1600 x 900, on the
# memory path and the hardware path: the window and its size hints are
# 1400 x 800, the preparation screen is the scale-1 one with every pixel
# doubled, and a button's edges are where its screen pixels put them. The
# software run asks with --scale 2, the hardware run with KORVANTA_SCALE=auto
# (1600 x 900 fits two).
set -uo pipefail
build="${1:?usage: korvanta_xvfb_scale_test.sh BUILD-DIR}"
build="$(cd "$build" && pwd)"
for tool in Xvfb xdotool xwininfo xprop import iconv python3; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed"
    exit 0
  fi
done
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
korvanta="$build/app/korvanta"
send_close="$build/tools/send_wm_delete"
probe="$source_dir/tests/png_probe.py"
compare="$source_dir/tests/scaled_image_compare.py"
[ -x "$korvanta" ] || { echo "FAIL: $korvanta not built"; exit 1; }
[ -x "$send_close" ] || { echo "FAIL: $send_close not built"; exit 1; }
unset KORVANTA_SCALE WAYLAND_DISPLAY
# The work folder, the pass and fail counts, Mesa's sanitizer options and
# the server: the hardware path's test library.
. "$(dirname "$0")/gl_xvfb_lib.sh" xvfb-scale
start_server 24 1600x900
export DISPLAY=$display

# Starts korvanta in folder $1 with graphics $2 and the environment and
# arguments that follow ("--" between them), and waits for its frame loop;
# the window goes to $window.
window=""
start() {
  local folder="$work/$1" graphics=$2
  shift 2
  local environment=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    environment+=("$1")
    shift
  done
  [ $# -gt 0 ] && shift
  mkdir -p "$folder"
  ln -s "$source_dir/PIC" "$folder/PIC"
  (cd "$folder" && exec env KORVANTA_GRAPHICS="$graphics" "${environment[@]}" "$korvanta" --seed 7 "$@" \
    >out 2>err) &
  program=$!
  window="$(timeout 60 xdotool search --sync --onlyvisible --name '^Korvanta$' 2>/dev/null | head -n1)"
  [ -n "$window" ] || { fail "$1: no window"; cat "$folder/err"; return 1; }
  # The window shows before the frame loop runs: the squad data is the last
  # thing read before it.
  for _ in $(seq 600); do
    iconv -c -f CP932 -t UTF-8 "$folder/Log.txt" 2>/dev/null | grep -q "部隊データ読み込み" && break
    sleep 0.1
  done
  sleep 0.5
  xdotool windowfocus "$window" 2>/dev/null
}

# Ends the program started last with its close button; true on status 0.
stop() {
  "$send_close" "$window"
  for _ in $(seq 600); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  wait "$program"
  local status=$?
  program=""
  [ $status = 0 ] && pass "$1: ends with 0" || fail "$1: status $status"
}

click_at() {
  xdotool mousemove --window "$window" "$1" "$2"
  sleep 0.3
  xdotool mousedown 1 mouseup 1
  sleep 0.3
}
shot() {
  xdotool mousemove --window "$window" "$1" "$2"
  sleep 0.4
  import -window "$window" "png24:$3" 2>>"$work/import.log"
}
pixel() { python3 "$probe" "$1" "$2"; }

white=255,255,255
black=0,0,0
for graphics in software gl; do
  if [ $graphics = software ]; then
    asked=(-- --scale 2)
  else
    asked=(KORVANTA_SCALE=auto)
  fi

  start "$graphics-1" $graphics || continue
  shot 600 300 "$work/$graphics-1.png"
  stop "$graphics scale 1"

  start "$graphics-2" $graphics "${asked[@]}" || continue
  geometry="$(xwininfo -id "$window")"
  size="$(awk '/^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 } END { print w "x" h }' <<<"$geometry")"
  [ "$size" = 1400x800 ] && pass "$graphics scale 2: window 1400 x 800" || fail "$graphics scale 2: window $size"
  hints="$(xprop -id "$window" WM_NORMAL_HINTS)"
  grep -q "minimum size: 1400 by 800" <<<"$hints" && grep -q "maximum size: 1400 by 800" <<<"$hints" &&
    pass "$graphics scale 2: size hints 1400 x 800" || fail "$graphics scale 2: size hints $hints"

  # The pointer away from the buttons; the frame-rate box (top left, its
  # numbers change) left out.
  shot 1200 600 "$work/$graphics-2.png"
  result="$(python3 "$compare" "$work/$graphics-1.png" "$work/$graphics-2.png" 2 0,0,120,40)" &&
    pass "$graphics scale 2: the screen doubled" || fail "$graphics scale 2 against scale 1: $result"

  # Army 1's first button covers screen pixels 121 to 140 and 41 to 60; its
  # open list shows white at screen pixel 239,50 (window 478,100). A pick in
  # the list (screen 190,50) closes it again.
  for point in "241 81 $black misses" "282 122 $black misses" "242 82 $white opens" "281 121 $white opens"; do
    read -r x y colour what <<<"$point"
    click_at "$x" "$y"
    shot 1200 600 "$work/$graphics-click-$x-$y.png"
    got="$(pixel "$work/$graphics-click-$x-$y.png" 478,100)"
    [ "$got" = "$colour" ] && pass "$graphics scale 2: a click at $x,$y $what the list" ||
      fail "$graphics scale 2: a click at $x,$y: $got at 478,100"
    [ "$colour" = "$white" ] && click_at 380 100
  done
  stop "$graphics scale 2"
  grep -q . "$work/$graphics-2/err" && fail "$graphics scale 2: standard error: $(head -n3 "$work/$graphics-2/err")"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
