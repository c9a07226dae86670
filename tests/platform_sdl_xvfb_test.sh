#!/bin/bash
# The SDL backend on a private Xvfb: a real window shows the exact colours of
# a 16-bit picture (copied and stretched), the depth-24 screen counts as a
# 32-bit desktop, and keys arrive as the virtual keys of a JIS keyboard.
#   bash tests/platform_sdl_xvfb_test.sh BUILD_DIR
set -u
build=${1:?build directory}
demo="$build/tools/platform_demo"

if ! command -v Xvfb >/dev/null; then
    echo "SKIPPED: Xvfb is not installed"
    exit 0
fi
for tool in import convert xwininfo xdotool od; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done
[ -x "$demo" ] || { echo "FAIL: $demo was not built"; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
demo_pid=""
cleanup() {
    [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    echo "--- demo output"; cat "$work/demo.out" 2>/dev/null
    echo "--- demo errors"; cat "$work/demo.err" 2>/dev/null
    exit 1
}

# Wait up to $2 seconds for a pattern in a file.
wait_for() {
    local pattern=$1 seconds=$2 file=$3
    for _ in $(seq $((seconds * 10))); do
        grep -q "$pattern" "$file" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for '[0-9]' 20 "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"

"$demo" --seconds 60 --modes >"$work/demo.out" 2>"$work/demo.err" &
demo_pid=$!
wait_for '^ready' 60 "$work/demo.out" || fail "the demo window did not come up"

grep -q '^desktop 1024x768 32-bit$' "$work/demo.out" || fail "a depth-24 screen must read as a 32-bit desktop"
grep -q '^refresh [0-9]* Hz$' "$work/demo.out" || fail "no refresh rate"
# Display modes match on size, depth and refresh, as on the headless desktop:
# a refresh the display lacks is refused, refresh 0 takes any.
modes=$(grep '^change ' "$work/demo.out")
[ "$(echo "$modes" | wc -l)" = 3 ] || fail "expected three mode changes, got: $modes"
[ "$(echo "$modes" | sed -n 1p | awk '{print $3}')" = ok ] || fail "the listed mode was refused: $modes"
[ "$(echo "$modes" | sed -n 2p | awk '{print $3}')" = refused ] || fail "a refresh rate the display lacks was taken: $modes"
[ "$(echo "$modes" | sed -n 3p | awk '{print $3}')" = ok ] || fail "refresh 0 was refused: $modes"

window=$(xwininfo -name "Korvanta platform demo" | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
[ -n "$window" ] || fail "no window named \"Korvanta platform demo\""
size=$(xwininfo -id "$window" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
[ "$size" = "700x400" ] || fail "client area is $size, not 700x400"

import -window "$window" "$work/shot.png" || fail "cannot grab the window"
convert "$work/shot.png" -depth 8 "rgb:$work/shot.rgb" || fail "cannot convert the grab"

pixel() {  # x y -> RRGGBB
    od -An -tx1 -j $((($2 * 700 + $1) * 3)) -N3 "$work/shot.rgb" | tr -d ' \n'
}
check() {  # x y expected what
    local got
    got=$(pixel "$1" "$2")
    [ "$got" = "$3" ] || { echo "pixel ($1,$2), $4: got $got, expected $3"; bad=1; }
}
bad=0
# Copied stripes: 0x07E0 0xF800 0x001F 0xFFFF 0x8410 0x0841 0xFFE0 0x0000.
stripes=(00ff00 ff0000 0000ff ffffff 848284 080808 ffff00 000000)
for i in "${!stripes[@]}"; do
    check $((i * 700 / 8 + 40)) 150 "${stripes[$i]}" "stripe $i"
    check $((i * 700 / 8 + 1)) 0 "${stripes[$i]}" "stripe $i, top row"
done
# Stretched band from 4 x 1: 0xF81F 0x07FF 0x4208 0xAD55.
band=(ff00ff 00ffff 424142 adaaad)
for i in "${!band[@]}"; do
    check $((i * 175 + 80)) 350 "${band[$i]}" "band $i"
    check $((i * 175)) 399 "${band[$i]}" "band $i, bottom row"
done
[ "$bad" = 0 ] || fail "the window does not show the exact colours"

# Keys: 'a', the JIS ':' key (the US apostrophe position), right Control,
# keypad '/', Escape. (xdotool presses the left modifier first on its own.)
xdotool key a apostrophe Control_R KP_Divide Escape
wait_for 'keydown 0x1B' 20 "$work/demo.out" || fail "Escape did not arrive"
for expected in "keydown 0x41 scan 0x1E" "keydown 0xBA scan 0x28" "keydown 0x11 scan 0x1D extended" \
                "keydown 0x6F scan 0x35 extended" "keydown 0x1B scan 0x01"; do
    grep -qx "$expected" "$work/demo.out" || fail "missing \"$expected\""
done

wait "$demo_pid"
status=$?
demo_pid=""
[ "$status" = 0 ] || fail "the demo ended with status $status"
echo "PASS"
