#!/usr/bin/env bash
# Full screen on the hardware path (OpenGL on Mesa's llvmpipe, forced with
# KORVANTA_GRAPHICS=gl) against the memory path in the same mode (the default
# run, which counts llvmpipe as no device), on private Xvfb servers of
# 640 x 480:
#  - the display-mode switch comes after the context is made, and the window
#    covers the whole screen;
#  - the front screen: its timer makes the sub back buffer and presents it;
#  - 320 x 240 is shown doubled on the 640 x 480 mode;
#  - every activation (sent to the window, and through the X server's focus)
#    rebuilds the device and switches the mode again, the sub back buffer is
#    made again, and the GL objects do not pile up;
# and each time the screen shows the memory path's pixels.
# Xvfb offers one display mode, its own size (RandR lists nothing else and
# takes no new mode), so the switch is to that size: a change of the
# display's size cannot be seen here.
#   bash tests/graphics_gl_fullscreen_test.sh BUILD_DIR
set -u
build=$(cd "${1:?build directory}" && pwd)
probe="$build/tools/gl_device_probe"

for tool in Xvfb iconv import xwininfo python3; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 0; }
done
[ -x "$probe" ] || { echo "FAIL: $probe was not built"; exit 1; }

. "$(dirname "$0")/gl_xvfb_lib.sh" glfull

start_server 24 640x480
d24=$display
start_server 16 640x480
d16=$display

# Runs the probe in folder $1 on display $2 with KORVANTA_GRAPHICS=$3 and the
# probe arguments that follow, takes a picture of the whole screen once it
# shows its picture (folder/screen.rgb) and the window's place and size
# (folder/window: "x y width height"); the log in UTF-8 goes to folder/log.
# The probe holds its picture $hold seconds (4 unless set); $between, when
# set, is run with the display before the picture is taken.
run_shown() {
    local folder="$work/$1" on=$2 graphics=$3
    shift 3
    mkdir -p "$folder"
    (cd "$folder" && exec env DISPLAY="$on" KORVANTA_GRAPHICS="$graphics" "$probe" "$@" --hold "${hold:-4}" \
        >out 2>err) &
    local pid=$!
    for _ in $(seq 600); do
        grep -q '^shown' "$folder/out" 2>/dev/null && break
        sleep 0.1
    done
    sleep 0.5
    [ -n "${between:-}" ] && "$between" "$on"
    local info
    info=$(DISPLAY="$on" xwininfo -name GlDeviceProbe 2>/dev/null)
    sed -n 's/.*Absolute upper-left X: *\([0-9-]*\).*/\1/p; s/.*Absolute upper-left Y: *\([0-9-]*\).*/\1/p;
            s/.*Width: *\([0-9]*\).*/\1/p; s/.*Height: *\([0-9]*\).*/\1/p' <<<"$info" | tr '\n' ' ' >"$folder/window"
    DISPLAY="$on" import -window root -depth 8 "rgb:$folder/screen.rgb" 2>/dev/null
    wait $pid || fail "$1: the probe ended with $?: $(tail -3 "$folder/err")"
    iconv -f CP932 -t UTF-8 "$folder/Log.txt" >"$folder/log" 2>/dev/null
}

# Equal pixel for pixel, except inside the alpha-blended rectangle (left top
# right bottom on the screen, $4), where the device rounds the blend and the
# memory path truncates it: there one step of the screen's channel width.
# With "doubled" ($5) every 2 x 2 block of the picture is one colour.
same_screen() {  # memory.rgb gl.rgb depth "blend rectangle" [doubled]
    python3 - "$@" <<'PY'
import sys
a = open(sys.argv[1], 'rb').read()
b = open(sys.argv[2], 'rb').read()
shifts = (3, 2, 3) if sys.argv[3] == '16' else (0, 0, 0)
left, top, right, bottom = map(int, sys.argv[4].split())
doubled = len(sys.argv) > 5
width, height = 640, 480
if len(a) != len(b) or len(a) != width * height * 3:
    print('pictures of different sizes'); sys.exit(1)
if a.count(0) == len(a):
    print('an all-black memory picture'); sys.exit(1)
bad = []
for i in range(0, len(a), 3):
    if a[i:i + 3] == b[i:i + 3]:
        continue
    x, y = (i // 3) % width, (i // 3) // width
    blended = left <= x < right and top <= y < bottom
    if not blended or any(abs((a[i + c] >> shifts[c]) - (b[i + c] >> shifts[c])) > 1 for c in range(3)):
        bad.append((x, y, tuple(a[i:i + 3]), tuple(b[i:i + 3])))
if bad:
    print(len(bad), 'pixels differ, first', bad[:3]); sys.exit(1)
if doubled:
    for y in range(0, height, 2):
        for x in range(0, width, 2):
            i = (y * width + x) * 3
            block = {b[j:j + 3] for j in (i, i + 3, i + width * 3, i + width * 3 + 3)}
            if len(block) != 1:
                print('the block at', (x, y), 'is not one pixel doubled:', sorted(block)); sys.exit(1)
print('same pixels' + (', each doubled' if doubled else ''))
PY
}

# The lines of the log from the device's line on, in order: the mode switch
# comes after the context is made and before the screen's formats.
switched_after_context() {  # folder width height depth
    awk -v mode="画面モードの変更処理を開始します $2 x $3  $4 bit" '
        /IDirect3DDevice9 オブジェクトを取得します\.\.\.\. ハードウエア頂点演算を使用します/ { context = NR }
        index($0, mode) && context && !switched { switched = NR }
        /画面解像度を変更します\.\.\. 成功しました/ && switched && !done { done = NR }
        /画面のフォーマットは/ && done { formats = NR }
        END { exit !(context && switched > context && done > switched && formats > done) }' "$work/$1/log"
}

# ---- full screen at the server's own size, at both depths
compare_full() {  # name display depth
    local name=$1 on=$2 depth=$3 verdict
    run_shown "$name-sw" "$on" "" --fullscreen 640 480 --depth "$depth" --picture
    run_shown "$name-gl" "$on" gl --fullscreen 640 480 --depth "$depth" --picture
    local out="$work/$name-gl/out"
    if ! grep -q "^started hardware depth $depth live [1-9][0-9]* context 1$" "$out" ||
       ! grep -qx 'screen 640 480 emulated 0 windowed 0' "$out"; then
        fail "$name: not full screen on the hardware path: $(cat "$out")"
    elif ! switched_after_context "$name-gl" 640 480 "$depth"; then
        fail "$name: the display mode was not switched after the context was made: $(grep -E 'IDirect3DDevice9|画面モード|画面解像度|フォーマットは D3DFMT_[XR]' "$work/$name-gl/log" | tr '\n' ' ')"
    elif [ "$(cat "$work/$name-gl/window")" != "0 0 640 480 " ]; then
        fail "$name: the window does not cover the screen: $(cat "$work/$name-gl/window")"
    elif ! grep -q '^started software' "$work/$name-sw/out" || ! grep -qx 'screen 640 480 emulated 0 windowed 0' "$work/$name-sw/out"; then
        fail "$name: the memory-path run is not full screen on the memory path: $(cat "$work/$name-sw/out")"
    elif ! grep -q '^ended software depth [0-9]* live 0 context 0$' "$out"; then
        fail "$name: GL objects left at the end: $(cat "$out")"
    elif verdict=$(same_screen "$work/$name-sw/screen.rgb" "$work/$name-gl/screen.rgb" "$depth" "50 150 400 300"); then
        pass "$name: the mode switched after the context, the screen shows the memory path's pixels ($verdict)"
    else
        fail "$name: the screen differs from the memory path's: $verdict"
    fi
}
compare_full full32 "$d24" 32
compare_full full16 "$d16" 16

# ---- the front screen's timer makes the sub back buffer; two activations
# then each rebuild the device and switch the mode again, and the timer makes
# the sub back buffer anew.
run_shown front-sw "$d24" "" --fullscreen 640 480 --depth 32 --front --activate 2
run_shown front-gl "$d24" gl --fullscreen 640 480 --depth 32 --front --activate 2
out="$work/front-gl/out"
live=$(sed -n 's/^started hardware depth 32 live \([0-9]*\) context 1$/\1/p' "$out")
if [ -z "$live" ]; then
    fail "front: not on the hardware path: $(cat "$out")"
elif [ "$(grep -c "^activated hardware depth 32 live $live context 1$" "$out")" != 2 ] ||
     [ "$(grep -c '^screen 640 480 emulated 0 windowed 0$' "$out")" != 3 ]; then
    fail "front: an activation did not rebuild the same device in the same mode: $(cat "$out")"
elif [ "$(grep -c 'IDirect3DDevice9 オブジェクトを取得します' "$work/front-gl/log")" != 3 ] ||
     [ "$(grep -c '画面モードの変更処理を開始します 640 x 480  32 bit' "$work/front-gl/log")" != 3 ] ||
     [ "$(grep -c '画面解像度を変更します... 成功しました' "$work/front-gl/log")" != 3 ] ||
     [ "$(grep -c 'グラフィックを復帰します' "$work/front-gl/log")" != 2 ]; then
    fail "front: each activation must make the device, switch the mode and restore: $(grep -E 'IDirect3DDevice9|画面モード|画面解像度|復帰' "$work/front-gl/log" | tr '\n' ' ')"
else
    pass "front: every activation made the device again and switched the mode ($live GL objects each time)"
fi
if ! grep -qx 'front sub 1' "$out" || ! grep -qx 'shown sub 1' "$out" ||
   ! grep -qx 'front sub 0' "$work/front-sw/out" || ! grep -qx 'shown sub 0' "$work/front-sw/out"; then
    fail "front: the timer made no sub back buffer on the hardware path, before and after the activations (or one on the memory path): $(grep ' sub ' "$out" "$work/front-sw/out" | tr '\n' ' ')"
elif grep -q 'サブバックバッファの作成に失敗しました' "$work/front-gl/log"; then
    fail "front: the sub back buffer failed"
elif ! grep -q '^ended software depth [0-9]* live 0 context 0$' "$out"; then
    fail "front: GL objects left at the end: $(cat "$out")"
elif verdict=$(same_screen "$work/front-sw/screen.rgb" "$work/front-gl/screen.rgb" 32 "50 150 400 300"); then
    pass "front: the timer's sub back buffer shows the memory path's pixels ($verdict)"
else
    fail "front: the screen through the sub back buffer differs from the memory path's: $verdict"
fi

# ---- the focus taken away and given back through the X server, twice: each
# time the window is activated again the device is made again and the mode
# switched again. (Xvfb has no window manager: the minimising at the
# deactivation is never done, and the window comes back without a restore.)
focus_away_and_back() {  # display
    local window root
    window=$(DISPLAY="$1" xdotool search --name '^GlDeviceProbe$' 2>/dev/null | head -n1)
    root=$(DISPLAY="$1" xwininfo -root 2>/dev/null | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
    for _ in 1 2; do
        DISPLAY="$1" xdotool windowfocus "$root" 2>/dev/null
        sleep 1
        DISPLAY="$1" xdotool windowfocus "$window" 2>/dev/null
        sleep 1.5
    done
}
if command -v xdotool >/dev/null; then
    hold=10 between=focus_away_and_back run_shown focus-gl "$d24" gl --fullscreen 640 480 --depth 32 --picture
    log="$work/focus-gl/log"
    if [ "$(grep -c 'IDirect3DDevice9 オブジェクトを取得します' "$log")" != 3 ] ||
       [ "$(grep -c '画面解像度を変更します... 成功しました' "$log")" != 3 ] ||
       [ "$(grep -c 'グラフィックを復帰します' "$log")" != 2 ]; then
        fail "focus: each activation through the X server must make the device, switch the mode and restore: $(grep -E 'IDirect3DDevice9|画面モード|画面解像度|復帰' "$log" | tr '\n' ' ')"
    elif [ "$(cat "$work/focus-gl/window")" != "0 0 640 480 " ]; then
        fail "focus: the window does not cover the screen again: $(cat "$work/focus-gl/window")"
    elif ! grep -q '^ended software depth [0-9]* live 0 context 0$' "$work/focus-gl/out"; then
        fail "focus: GL objects left at the end: $(cat "$work/focus-gl/out")"
    elif verdict=$(same_screen "$work/full32-sw/screen.rgb" "$work/focus-gl/screen.rgb" 32 "50 150 400 300"); then
        pass "focus: two activations through the X server each restored the device; the memory path's pixels ($verdict)"
    else
        fail "focus: the screen after the activations differs from the memory path's: $verdict"
    fi
else
    echo "SKIPPED: the activations through the X server need xdotool"
fi

# ---- 320 x 240: the screen is 640 x 480 and shows its top-left quarter
# doubled.
run_shown emulated-sw "$d24" "" --fullscreen 320 240 --depth 32 --picture
run_shown emulated-gl "$d24" gl --fullscreen 320 240 --depth 32 --picture
out="$work/emulated-gl/out"
if ! grep -q '^started hardware depth 32' "$out" || ! grep -qx 'screen 640 480 emulated 1 windowed 0' "$out"; then
    fail "emulated: not the emulated 320 x 240 on the hardware path: $(cat "$out")"
elif ! grep -qx 'screen 640 480 emulated 1 windowed 0' "$work/emulated-sw/out"; then
    fail "emulated: the memory path does not emulate 320 x 240: $(cat "$work/emulated-sw/out")"
elif [ "$(cat "$work/emulated-gl/window")" != "0 0 640 480 " ] || [ "$(cat "$work/emulated-sw/window")" != "0 0 640 480 " ]; then
    fail "emulated: the window does not cover the 640 x 480 mode: $(cat "$work/emulated-gl/window") / memory path $(cat "$work/emulated-sw/window")"
elif ! switched_after_context emulated-gl 640 480 32; then
    fail "emulated: no switch to 640 x 480 after the context was made"
elif verdict=$(same_screen "$work/emulated-sw/screen.rgb" "$work/emulated-gl/screen.rgb" 32 "100 300 640 480" doubled); then
    pass "emulated: 320 x 240 doubled on 640 x 480, the memory path's pixels ($verdict)"
else
    fail "emulated: $verdict"
fi

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all passed"
