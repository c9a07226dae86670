#!/bin/bash
# A real window on a private Xvfb, fed through XTest: after a burst of a
# thousand pointer moves (flushed with XSync), a tapped click and a tapped
# key are seen within a bounded number of frames.
#   bash tests/platform_input_burst_xvfb_test.sh BUILD_DIR
set -u
build=${1:?build directory}
probe="$(cd "$build" && pwd)/tools/input_burst_probe"
bound=40   # frames from the first move seen to the click and the key (the burst alone would take 200)

if ! command -v Xvfb >/dev/null; then
    echo "SKIPPED: Xvfb is not installed"
    exit 0
fi
for tool in python3 xwininfo; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done
[ -x "$probe" ] || { echo "FAIL: $probe was not built"; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
probe_pid=""
cleanup() {
    [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    echo "--- probe output"; cat "$work/probe.out" 2>/dev/null
    echo "--- probe errors"; tail -20 "$work/probe.err" 2>/dev/null
    exit 1
}

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

(cd "$work" && exec "$probe" --seconds 60) >"$work/probe.out" 2>"$work/probe.err" &
probe_pid=$!
wait_for '^ready' 60 "$work/probe.out" || fail "the probe window did not come up"

window=$(xwininfo -name "Korvanta input probe" | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
[ -n "$window" ] || fail "no window named \"Korvanta input probe\""
read -r left top < <(xwininfo -id "$window" | awk '/Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4} END{print x, y}')

# XTest through libXtst: the moves as fast as the server takes them, then
# XSync; then the click and the key, each a tap (pressed and released at
# once), which the probe must still read down in one frame.
python3 - "$left" "$top" <<'PY' || fail "XTest input failed"
import ctypes, sys
left, top = int(sys.argv[1]), int(sys.argv[2])
x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
display = x11.XOpenDisplay(None)
if not display:
    sys.exit("cannot open the display")
for i in range(1000):
    xtst.XTestFakeMotionEvent(display, -1, left + 20 + i % 600, top + 20 + i % 300, 0)
x11.XSync(display, 0)
xtst.XTestFakeButtonEvent(display, 1, 1, 0)
xtst.XTestFakeButtonEvent(display, 1, 0, 0)
keycode = x11.XKeysymToKeycode(display, 0x61)  # 'a'
xtst.XTestFakeKeyEvent(display, keycode, 1, 0)
xtst.XTestFakeKeyEvent(display, keycode, 0, 0)
x11.XSync(display, 0)
PY

wait "$probe_pid"
status=$?
probe_pid=""
[ "$status" = 0 ] || fail "the probe did not see the click and the key (status $status)"
moved=$(sed -n 's/^moved //p' "$work/probe.out")
button=$(sed -n 's/^button //p' "$work/probe.out")
key=$(sed -n 's/^key //p' "$work/probe.out")
[ -n "$moved" ] && [ -n "$button" ] && [ -n "$key" ] || fail "missing a report"
[ $((button - moved)) -le $bound ] || fail "the click came $((button - moved)) frames after the first move"
[ $((key - moved)) -le $bound ] || fail "the key came $((key - moved)) frames after the first move"
echo "PASS (moved at frame $moved, click $((button - moved)) and key $((key - moved)) frames later)"
