#!/usr/bin/env bash
# The hardware path (OpenGL on Mesa's llvmpipe, forced with
# KORVANTA_GRAPHICS=gl) against the memory path, read as the back screen's
# own pixel words, on private Xvfb servers of depth 16 (both paths at 16
# bits) and 24 (a 32-bit screen):
#  - tools/gl_compare_probe's table of drawing cases: equal where the drawing
#    rules fix the pixels, within one step of a channel where blending or
#    brightness rounds, two for bilinear filtering;
#  - the program's preparation screen (a list open) and its battle screen
#    (first frame and the end), written by KORVANTA_SCREEN_DUMP before the
#    frame-rate figure is drawn. At depth 24 the program's hardware screen
#    is 32 bits, its memory screen 16: they are compared as R5G6B5.
# Known differences of the hardware path are listed in $expected below (and
# in docs/HARDWARE.md, "Where the hardware path's pixels differ"); a case
# listed there must still draw, and is reported when it no longer differs.
#   bash tests/graphics_gl_compare_test.sh BUILD_DIR
set -u
build=$(cd "${1:?build directory}" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
probe="$build/tools/gl_compare_probe"
korvanta="$build/app/korvanta"
battle="$build/app/korvanta-battle"

for tool in Xvfb xdotool iconv; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 0; }
done
[ -x "$probe" ] || { echo "FAIL: $probe was not built"; exit 1; }
[ -x "$korvanta" ] || { echo "FAIL: $korvanta was not built"; exit 1; }

# Expected differences: "<Xvfb depth>|<case>|<steps>|<why>", depth and case
# as shell patterns, the first entry that matches counts; there the case may
# differ by up to <steps> of a channel ("any": not compared). Everything else
# must meet its own rule.
alpha_test_green="images without alpha are A1R5G5B5 textures at 16 bits (the alpha-test row): green keeps five bits and comes back as 5:6:5 with its lowest bit copied from its highest"
antialiased_edge="by rule: the texture cache of an antialiased edged font combines overlapping edge stamps as (256 - (16 - a) x (16 - v)) / 16 where the memory cache keeps the largest, so its edges are denser on their outer pixels (antialiased glyphs without edge, and edges of glyphs without antialiasing, match)"
expected=(
    "16|image_opaque|1|$alpha_test_green"
    "16|image_keyed|1|$alpha_test_green"
    "16|image_key_near|1|$alpha_test_green"
    "16|image_part|1|$alpha_test_green"
    "16|image_derived|1|$alpha_test_green"
    "16|quad_nearest|1|$alpha_test_green"
    "16|target_image|1|$alpha_test_green (the picture drawn into the target)"
    "*|quad_half|any|a quad of half the image's size samples exactly on texel edges, where nearest filtering may take either texel"
    "24|image_alpha_blend|2|an alpha image under blend modes 1 to 4: texel alpha times the blend parameter rounds once more than in memory"
    "24|battle-*|31|a window on a 32-bit desktop makes the hardware screen 32 bits: the raw box colour 65280 is green there, yellow on the 16-bit memory screen (compared as R5G6B5: 31 steps of red)"
    "*|text_type2_antialiased_edge2|any|$antialiased_edge"
    "*|text_type3_antialiased_edge*|any|$antialiased_edge"
)

. "$(dirname "$0")/gl_xvfb_lib.sh" glcmp
. "$(dirname "$0")/battle_log_lib.sh"

expected_entry() {  # depth case -> "steps|why", or nothing
    local entry depth name steps why
    for entry in "${expected[@]}"; do
        IFS='|' read -r depth name steps why <<<"$entry"
        # shellcheck disable=SC2053
        [[ $1 == $depth && $2 == $name ]] && { echo "$steps|$why"; return; }
    done
}

# Judges the lines of gl_compare_probe --compare for the server depth $1.
judge() {
    local depth=$1 line name rule outcome steps entry allowed why
    while read -r line; do
        read -r name rule outcome steps _ <<<"$line"
        entry=$(expected_entry "$depth" "$name")
        allowed=${entry%%|*} why=${entry#*|}
        case "$outcome" in
            exact|within)
                if [ -n "$entry" ]; then
                    echo "NOTE: depth $depth $name meets its rule ($line), though listed as differing: $why"
                else
                    pass "depth $depth $line"
                fi ;;
            differs)
                if [ -n "$entry" ] && { [ "$allowed" = any ] || [ "$steps" -le "$allowed" ]; }; then
                    pass "depth $depth $line (expected: $why)"
                else
                    fail "depth $depth $line"
                fi ;;
            *) fail "depth $depth $line" ;;
        esac
    done
}

# ---- the table of drawing cases
dump_cases() {  # name display graphics depth-argument
    mkdir -p "$work/$1"
    (cd "$work/$1" && env DISPLAY="$2" KORVANTA_GRAPHICS="$3" "$probe" --dump words --depth "$4" >out 2>err)
    local status=$?
    [ $status = 0 ] || fail "$1: the probe ended with $status: $(tail -3 "$work/$1/err")"
}
compare_cases() {  # server-depth display software-depth gl-screen-depth
    local depth=$1 on=$2
    dump_cases "sw$depth" "$on" software "$3"
    dump_cases "gl$depth" "$on" gl 16
    if ! grep -q "^started software depth $3\$" "$work/sw$depth/out"; then
        fail "depth $depth: the memory path did not start at depth $3: $(cat "$work/sw$depth/out")"
    elif ! grep -q "^started hardware depth $4\$" "$work/gl$depth/out"; then
        fail "depth $depth: the hardware path did not start at depth $4: $(cat "$work/gl$depth/out")"
    else
        "$probe" --compare "$work/sw$depth/words" "$work/gl$depth/words" >"$work/compare$depth"
        judge "$depth" <"$work/compare$depth"
        [ -s "$work/compare$depth" ] || fail "depth $depth: nothing compared"
    fi
}

start_server 16
d16=$display
start_server 24
d24=$display
# At depth 16 both paths draw 16 bits. At depth 24 the hardware path makes a
# window's screen 32 bits although 16 is asked for; the memory path is asked
# for 32 bits there.
compare_cases 16 "$d16" 16 16
compare_cases 24 "$d24" 32 32

# ---- the program's screens
# Runs korvanta on display $2 with KORVANTA_GRAPHICS=$3 in folder $1 through
# one session: a list opened (F9), a squad picked, B (the battle's first
# frame is written), the battle's end (F9), the close button.
# Taps, pressed and released at once, each followed by many frames: two
# taps in one pump would count as one.
tap() {
    xdotool key --delay 0 "$1"
    sleep 0.5
}
click_at() {
    xdotool mousemove --window "$1" "$2" "$3"
    sleep 0.3
    xdotool mousedown 1 mouseup 1
    sleep 0.3
}
run_program_once() {
    local folder="$work/$1" window
    rm -rf "$folder"
    mkdir -p "$folder/dump"
    ln -s "$source_dir/PIC" "$folder/PIC"
    (cd "$folder" && exec env DISPLAY="$2" KORVANTA_GRAPHICS="$3" KORVANTA_SCREEN_DUMP="$folder/dump" \
        "$korvanta" --seed 7 >out 2>err) &
    program=$!
    export DISPLAY=$2
    window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Korvanta$' 2>/dev/null | head -n1)
    if [ -z "$window" ]; then
        fail "$1: no window"
        kill "$program"
        wait "$program" 2>/dev/null
        program=""
        return 1
    fi
    # The window shows long before the frame loop runs (the device, the
    # fonts, the data): clicks sent before then would all land in its first
    # pump. The squad data is the last thing read before the loop.
    for _ in $(seq 600); do
        iconv -c -f CP932 -t UTF-8 "$folder/Log.txt" 2>/dev/null | grep -q "部隊データ読み込み" && break
        sleep 0.1
    done
    sleep 0.5
    xdotool windowfocus "$window" 2>/dev/null
    click_at "$window" 130 50       # army 1, row 1: its list opens
    click_at "$window" 190 70       # its second entry
    click_at "$window" 130 150      # army 2, row 1
    click_at "$window" 190 160      # its first entry
    click_at "$window" 130 70       # army 1, row 2: its list stays open
    xdotool mousemove --window "$window" 600 300
    sleep 0.3
    tap F9                          # preparation-1
    click_at "$window" 190 90       # the list's second entry
    xdotool mousemove --window "$window" 600 300
    sleep 0.3
    tap F9                          # preparation-2
    tap b                           # battle-start
    sleep 3                         # the battle is over within 43 frames
    tap F9                          # battle-4
    tap Escape
    tap space
    for _ in $(seq 300); do
        kill -0 "$program" 2>/dev/null || break
        sleep 0.1
    done
    kill "$program" 2>/dev/null
    wait "$program" 2>/dev/null
    program=""
    [ "$(battle_only "$folder")" = "$expected_battle" ]
}

# The clicks and keys above are timed with sleeps. On a loaded machine a
# frame can outlast them, two clicks then share one pump and count as one,
# and the run fights another battle than the one planned: its pictures
# cannot be compared. Such a run, told by its battle lines, is run again.
SEED=7
reference_dir="$work/reference"
expected_battle=$(reference_lines --army1 2,2,0 --army2 2,0,0)
run_program() {  # name display graphics
    local attempt
    for attempt in 1 2 3; do
        run_program_once "$@" && return
        echo "NOTE: $1: attempt $attempt did not fight the planned battle (inputs merged under load)"
        [ -n "${KEEP_WORK:-}" ] && cp -r "$work/$1" "$work/$1-attempt$attempt"
    done
    fail "$1: no run of three fought the planned battle (--army1 2,2,0 --army2 2,0,0)"
}

compare_program() {  # server-depth display
    local depth=$1 on=$2 file name
    run_program "prog-sw$depth" "$on" software
    run_program "prog-gl$depth" "$on" gl
    iconv -f CP932 -t UTF-8 "$work/prog-gl$depth/Log.txt" 2>/dev/null | grep -q "プログラマブルシェーダーを使用します" ||
        fail "depth $depth: the program did not take the hardware path: $(iconv -f CP932 -t UTF-8 "$work/prog-gl$depth/Log.txt" 2>/dev/null | grep -E "IDirect3D|Direct3DDevice|シェーダー|二重起動|失敗" | tr '\n' ' ') $(tail -3 "$work/prog-gl$depth/err" 2>/dev/null | tr '\n' ' ')"
    for name in preparation-1 preparation-2 battle-start battle-4; do
        file="$work/prog-sw$depth/dump/$name.words"
        if [ ! -s "$file" ] || [ ! -s "$work/prog-gl$depth/dump/$name.words" ]; then
            fail "depth $depth: no screen $name written: $(ls "$work/prog-sw$depth/dump" "$work/prog-gl$depth/dump" | tr '\n' ' ')"
            continue
        fi
        "$probe" --compare "$file" "$work/prog-gl$depth/dump/$name.words"
    done >"$work/program$depth"
    judge "$depth" <"$work/program$depth"
}
compare_program 16 "$d16"
compare_program 24 "$d24"

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all passed"
