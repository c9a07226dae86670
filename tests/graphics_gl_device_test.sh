#!/usr/bin/env bash
# The hardware path's device setup on OpenGL, on private Xvfb servers (Mesa's
# llvmpipe): the default run counts llvmpipe as no device and takes the
# memory path; KORVANTA_GRAPHICS=gl forces the hardware path; every provoked
# failure (KORVANTA_GL_DENY, KORVANTA_GL_FAIL) logs its line and ends on the
# memory path with no GL object alive, or fails only the image being made; a
# reset is seen by the present and restored at the next pump; the close
# button leaves no GL object counted; the presented picture equals the memory
# path's pixel for pixel.
#   bash tests/graphics_gl_device_test.sh BUILD_DIR
set -u
build=$(cd "${1:?build directory}" && pwd)
probe="$build/tools/gl_device_probe"

for tool in Xvfb iconv import xwininfo; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 0; }
done
[ -x "$probe" ] || { echo "FAIL: $probe was not built"; exit 1; }

. "$(dirname "$0")/gl_xvfb_lib.sh" gl

# Runs the probe in a fresh folder $1 on display $2 with the environment
# settings that follow; the log in UTF-8 goes to $1/log.
run_probe() {
    local folder="$work/$1" on=$2
    shift 2
    mkdir -p "$folder"
    (cd "$folder" && env DISPLAY="$on" "$@" "$probe" $PROBE_ARGS >out 2>err)
    echo $? >"$folder/status"
    iconv -f CP932 -t UTF-8 "$folder/Log.txt" >"$folder/log" 2>/dev/null
}
PROBE_ARGS=""

has_line() { grep -qF -- "$2" "$work/$1/log"; }

start_server 24
d24=$display
start_server 16
d16=$display

# ---- the default run: llvmpipe is no device
run_probe default "$d24" KORVANTA_GRAPHICS=
if grep -q '^started software depth 16 live 0 context 0$' "$work/default/out" &&
   has_line default "IDirect3D9 オブジェクトを取得します.... IDirect3D9 オブジェクトの取得に失敗しました" &&
   ! has_line default "d3d9.dll" && ! has_line default "IDirect3DDevice9"; then
    pass "default run: a software rasteriser is no device, memory path at depth 16"
else
    fail "default run: $(cat "$work/default/out")"; grep -a 'IDirect3D\|d3d9' "$work/default/log"
fi

# ---- a machine with a GPU device node, but an X server without direct
# rendering (Xvfb): Mesa is not even loaded. KORVANTA_GRAPHICS=gl loads it.
mesa_loaded() {  # folder display [environment...] -> "yes" or "no"
    local folder="$work/$1" on=$2
    shift 2
    mkdir -p "$folder"
    (cd "$folder" && exec env DISPLAY="$on" "$@" "$probe" --hold 3 >out 2>err) &
    local pid=$!
    for _ in $(seq 600); do
        grep -q '^start cpu' "$folder/out" 2>/dev/null && break
        sleep 0.1
    done
    if grep -q 'swrast_dri\|libGLX_mesa\|libLLVM' "/proc/$pid/maps" 2>/dev/null; then echo yes; else echo no; fi
    wait $pid
}
touch "$work/renderD128"
if [ "$(mesa_loaded gpunode "$d24" KORVANTA_GRAPHICS= KORVANTA_GL_DEVICE_NODES="$work/renderD*")" = no ] &&
   grep -q '^started software' "$work/gpunode/out" &&
   [ "$(mesa_loaded gpuforced "$d24" KORVANTA_GRAPHICS=gl KORVANTA_GL_DEVICE_NODES="$work/renderD*")" = yes ]; then
    pass "a GPU device node behind an X server without direct rendering: the GL library is not loaded"
else
    fail "GPU node on Xvfb: $(cat "$work/gpunode/out") / forced: $(cat "$work/gpuforced/out")"
fi

# ---- KORVANTA_GRAPHICS=software: not even the attempt
run_probe software "$d24" KORVANTA_GRAPHICS=software
if grep -q '^started software' "$work/software/out" && ! has_line software "IDirect3D9"; then
    pass "KORVANTA_GRAPHICS=software skips the device"
else
    fail "KORVANTA_GRAPHICS=software: $(cat "$work/software/out")"
fi

# ---- forced hardware path, both depths
check_hardware() {
    local name=$1 format=$2 depth=$3
    local lines=(
        "IDirect3D9 オブジェクトを取得します.... 成功"
        "IDirect3DDevice9 オブジェクトを取得します.... ハードウエア頂点演算を使用します"
        "Driver:llvmpipe"
        "画面のフォーマットは $format です"
        "Ｚバッファのフォーマットは D3DFMT_D16 です"
        "16bit カラーフォーマットは D3DFMT_R5G6B5 です"
        "32bit カラーフォーマットは D3DFMT_X8R8G8B8 です"
        "アルファ付き 16bit カラーフォーマットは D3DFMT_A4R4G4B4 です"
        "アルファ付き 32bit カラーフォーマットは D3DFMT_A8R8G8B8 です"
        "アルファテスト用 16bit カラーフォーマットは D3DFMT_A1R5G5B5 です"
        "アルファテスト用 32bit カラーフォーマットは D3DFMT_A8R8G8B8 です"
        "ＤＸＴ１テクスチャフォーマットはD3DFMT_DXT1"
        "ＤＸＴ５テクスチャフォーマットはD3DFMT_DXT5"
        "描画用 32bit カラーフォーマットは D3DFMT_X8R8G8B8 です"
        "描画用アルファ付き 32bit カラーフォーマットは D3DFMT_A8R8G8B8 です"
        "Ｚバッファを作成します.... 成功"
        "プログラマブルシェーダーを使用します"
    )
    local line missing=""
    for line in "${lines[@]}"; do
        has_line "$name" "$line" || missing="$missing [$line]"
    done
    if [ -z "$missing" ] && grep -q "^started hardware depth $depth live [1-9][0-9]* context 1$" "$work/$name/out" &&
       grep -q '^ended software depth [0-9]* live 0 context 0$' "$work/$name/out"; then
        pass "$name: every device line, screen depth $depth, nothing left after the end"
    else
        fail "$name: missing$missing; $(cat "$work/$name/out")"
    fi
}
run_probe forced24 "$d24" KORVANTA_GRAPHICS=gl
check_hardware forced24 D3DFMT_X8R8G8B8 32
has_line forced24 "描画用 16bit カラーフォーマットは D3DFMT_X1R5G5B5 です" ||
    fail "forced24: on an X8R8G8B8 back buffer the drawable 16-bit row tries X1R5G5B5 first"
run_probe forced16 "$d16" KORVANTA_GRAPHICS=gl
check_hardware forced16 D3DFMT_R5G6B5 16
has_line forced16 "描画用 16bit カラーフォーマットは D3DFMT_R5G6B5 です" ||
    fail "forced16: on an R5G6B5 back buffer the drawable 16-bit row tries R5G6B5 first"

# ---- provoked failures: each logs its line and ends on the memory path with
# no GL object and no context alive; a fallback row's next candidate keeps
# the hardware path. Without ES2 compatibility (GL before 4.1) GL_RGB565 is
# no render target: the depth probe and the 16-bit screen must not need it.
#   name | environment | expected line | path afterwards [| server depth, 24 if not given]
cases=(
    "nolibrary|SDL_OPENGL_LIBRARY=/nonexistent|d3d9.dll の読み込みに失敗しました|software"
    "oldcontext|MESA_GL_VERSION_OVERRIDE=3.1|IDirect3DDevice9 オブジェクトを取得します.... ソフトウエア頂点演算を使用します|hardware"
    "tooold|MESA_GL_VERSION_OVERRIDE=1.4|IDirect3DDevice9 オブジェクトを取得します.... Direct3DDevice9 の作成に失敗しました|software"
    "nos3tc|MESA_EXTENSION_OVERRIDE=-GL_EXT_texture_compression_s3tc|ＤＸＴ３テクスチャフォーマットは使えません|hardware"
    "nodepth|KORVANTA_GL_DENY=D16,D24X8,D32|使用できる Zバッファフォーマットが見つかりませんでした|software"
    "depth24|KORVANTA_GL_DENY=D16|Ｚバッファのフォーマットは D3DFMT_D24X8 です|hardware"
    "no16|KORVANTA_GL_DENY=R5G6B5,X1R5G5B5|使用できる 16bit カラーフォーマットが見つかりませんでした|software"
    "no32|KORVANTA_GL_DENY=colour32/X8R8G8B8|32bit カラーフォーマットは D3DFMT_R5G6B5 です|hardware"
    "noalpha16|KORVANTA_GL_DENY=alpha16/A4R4G4B4,alpha16/A8R8G8B8|使用できるアルファ付き 16bit カラーフォーマットが見つかりませんでした|software"
    "noalpha32|KORVANTA_GL_DENY=alpha32/A8R8G8B8,alpha32/A4R4G4B4|使用できるアルファ付き 32bit カラーフォーマットが見つかりませんでした|software"
    "notest16|KORVANTA_GL_DENY=alphatest16/A1R5G5B5,alphatest16/A8R8G8B8,alphatest16/A4R4G4B4|使用できるアルファテスト用 16bit カラーフォーマットが見つかりませんでした|software"
    "notest32|KORVANTA_GL_DENY=alphatest32/A8R8G8B8,alphatest32/A1R5G5B5,alphatest32/A4R4G4B4|使用できるアルファテスト用 32bit カラーフォーマットが見つかりませんでした|software"
    "nodxt1|KORVANTA_GL_DENY=DXT1|ＤＸＴ１テクスチャフォーマットは使えません|hardware"
    "nodraw16|KORVANTA_GL_DENY=drawable16/X1R5G5B5,drawable16/R5G6B5,drawable16/X8R8G8B8|使用できる描画用 16bit カラーフォーマットがありませんでした|hardware"
    "nodraw32|KORVANTA_GL_DENY=drawable32/X8R8G8B8,drawable32/R5G6B5,drawable32/X1R5G5B5|使用できる描画用 32bit カラーフォーマットがありませんでした|hardware"
    "nodrawalpha|KORVANTA_GL_DENY=drawablealpha32/A8R8G8B8,drawablealpha32/A4R4G4B4|使用できる描画用アルファ付き 32bit カラーフォーマットがありませんでした|hardware"
    "depth32|KORVANTA_GL_DENY=D16,D24X8|Ｚバッファのフォーマットは D3DFMT_D32 です|hardware"
    "colour16x1|KORVANTA_GL_DENY=colour16/R5G6B5|16bit カラーフォーマットは D3DFMT_X1R5G5B5 です|hardware"
    "alpha16a8|KORVANTA_GL_DENY=alpha16/A4R4G4B4|アルファ付き 16bit カラーフォーマットは D3DFMT_A8R8G8B8 です|hardware"
    "test16a8|KORVANTA_GL_DENY=alphatest16/A1R5G5B5|アルファテスト用 16bit カラーフォーマットは D3DFMT_A8R8G8B8 です|hardware"
    "nodxt2|KORVANTA_GL_DENY=DXT2|ＤＸＴ２テクスチャフォーマットは使えません|hardware"
    "nodxt4|KORVANTA_GL_DENY=DXT4|ＤＸＴ４テクスチャフォーマットは使えません|hardware"
    "nodxt5|KORVANTA_GL_DENY=DXT5|ＤＸＴ５テクスチャフォーマットは使えません|hardware"
    "drawable16x8|KORVANTA_GL_DENY=drawable16/R5G6B5,drawable16/X1R5G5B5|描画用 16bit カラーフォーマットは D3DFMT_X8R8G8B8 です|hardware|16"
    "nolibrary16|SDL_OPENGL_LIBRARY=/nonexistent|d3d9.dll の読み込みに失敗しました|software|16"
    "tooold16|MESA_GL_VERSION_OVERRIDE=1.4|IDirect3DDevice9 オブジェクトを取得します.... Direct3DDevice9 の作成に失敗しました|software|16"
    "nodepth16|KORVANTA_GL_DENY=D16,D24X8,D32|使用できる Zバッファフォーマットが見つかりませんでした|software|16"
    "no16at16|KORVANTA_GL_DENY=R5G6B5,X1R5G5B5|使用できる 16bit カラーフォーマットが見つかりませんでした|software|16"
    "no565|MESA_EXTENSION_OVERRIDE=-GL_ARB_ES2_compatibility|描画用 16bit カラーフォーマットは D3DFMT_X1R5G5B5 です|hardware|16"
    "failshader|KORVANTA_GL_FAIL=shader|シェーダーの作成に失敗しました|software"
    "failscreen|KORVANTA_GL_FAIL=screen|スクリーン用フレームバッファの作成に失敗しました|software"
    "failrenderer|KORVANTA_GL_FAIL=renderer|頂点バッファの作成に失敗しました|late"
    "norobust|KORVANTA_GL_FAIL=robust|ロバストコンテキストを作成できなかったため、デバイスロストを検出できません|hardware"
)
for entry in "${cases[@]}"; do
    IFS='|' read -r name setting line path server <<<"$entry"
    on=$d24 screen=32
    [ "${server:-24}" = 16 ] && on=$d16 screen=16
    run_probe "$name" "$on" KORVANTA_GRAPHICS=gl "$setting"
    out="$work/$name/out"
    ok=1
    has_line "$name" "$line" || ok=0
    if [ "$path" = software ] || [ "$path" = late ]; then
        # Back on the memory path at the depth that was asked for (late: a
        # failure after the device and its shaders were made).
        grep -q '^started software depth 16 live 0 context 0$' "$out" || ok=0
        [ "$path" = software ] && has_line "$name" "プログラマブルシェーダーを使用します" && ok=0
    else
        grep -q "^started hardware depth $screen live [1-9][0-9]* context 1\$" "$out" || ok=0
    fi
    grep -q '^ended software depth [0-9]* live 0 context 0$' "$out" || ok=0
    [ "$(cat "$work/$name/status")" = 0 ] || ok=0
    if [ $ok = 1 ]; then
        pass "$name ($setting): \"$line\", $path path"
    else
        fail "$name ($setting): wanted \"$line\" and the $path path; got $(cat "$out")"
        grep -a 'IDirect3D\|d3d9\|フォーマット\|Ｚバッファ\|シェーダー' "$work/$name/log" | head -30
        tail -5 "$work/$name/err"
    fi
done
# Without S3TC every compressed row says so and falls back to the others.
for n in １ ２ ３ ４ ５; do
    has_line nos3tc "ＤＸＴ${n}テクスチャフォーマットは使えません" || fail "nos3tc: the DXT$n line does not say 使えません"
done
# The screen's failure comes after the shaders were built: no line says
# they are not used.
if has_line failscreen "プログラマブルシェーダーを使用しません" || has_line failrenderer "プログラマブルシェーダーを使用しません"; then
    fail "failscreen/failrenderer: the log says the shaders are not used, although they were built"
fi

# ---- an image whose textures cannot be made or filled: its line, no
# handle, no GL object left of it, and the hardware path draws on; a font
# made then keeps its glyphs in memory.
#   step | expected line
picture_file="$(cd "$(dirname "$0")/.." && pwd)/PIC/button.png"
for entry in "texture|テクスチャの作成に失敗しました" "upload|テクスチャへの画像の転送に失敗しました"; do
    IFS='|' read -r step line <<<"$entry"
    PROBE_ARGS="--image-check $picture_file" run_probe "image$step" "$d24" KORVANTA_GRAPHICS=gl KORVANTA_GL_FAIL=$step
    out="$work/image$step/out"
    if has_line "image$step" "$line" && grep -Eq '^image none live ([0-9]+) \1$' "$out" &&
       grep -q '^drawn hardware yes$' "$out" && grep -q '^font memory$' "$out" &&
       grep -q '^ended software depth [0-9]* live 0 context 0$' "$out"; then
        pass "KORVANTA_GL_FAIL=$step: \"$line\", no image, GL drawing goes on, fonts on memory caches"
    else
        fail "KORVANTA_GL_FAIL=$step: $(cat "$out")"; grep -a 'テクスチャ' "$work/image$step/log" | head -5
    fi
done

# The library line comes before the vertical-blank object's lines.
if grep -n 'd3d9.dll\|DirectDraw' "$work/nolibrary/log" | head -1 | grep -q d3d9; then
    pass "nolibrary: the library line comes first"
else
    fail "nolibrary: the library line must come first"
fi

# ---- a lost device: the window's activation finds it by its trial present
# and builds the device again; the software path has nothing to lose.
PROBE_ARGS="--lose" run_probe lost "$d24" KORVANTA_GRAPHICS=gl
if grep -q '^restored hardware depth 32 live [1-9][0-9]* context 1$' "$work/lost/out" &&
   [ "$(grep -c 'IDirect3DDevice9 オブジェクトを取得します' "$work/lost/log")" = 2 ] &&
   grep -q '^ended software depth [0-9]* live 0 context 0$' "$work/lost/out"; then
    pass "a lost device is made again on activation"
else
    fail "lost device: $(cat "$work/lost/out")"
fi
# A reset with the window kept active: the present that finds it returns -1
# and the next pump makes the device again without an activation; a key
# tapped in that pump is still read, and the picture comes back. Then the
# close button: its window takes the context with it, every GL object is
# released before, and the GL functions are forgotten.
PROBE_ARGS="--image-check $picture_file --lose-at-present --close" run_probe atpresent "$d24" KORVANTA_GRAPHICS=gl
out="$work/atpresent/out"
if grep -Eq '^image made live ([0-9]+) ' "$out" && grep -qx 'font texture' "$out" && grep -qx 'lost present -1' "$out" &&
   grep -q '^pumped hardware depth 32 live [1-9][0-9]* context 1$' "$out" &&
   [ "$(grep -c 'IDirect3DDevice9 オブジェクトを取得します' "$work/atpresent/log")" = 2 ] &&
   has_line atpresent "グラフィックを復帰します" && grep -qx 'key kept yes' "$out" &&
   grep -qx 'pixels back yes present 0' "$out"; then
    pass "a reset seen by the present: -1, restored at the next pump, the tapped key kept, the picture back"
else
    fail "reset seen by the present: $(cat "$out")"
fi
if grep -qx 'closed live 0 context 0 functions 0' "$out" && grep -q '^ended software depth [0-9]* live 0 context 0$' "$out"; then
    pass "the close button: no GL object counted and no GL function kept once the window is gone"
else
    fail "close button: $(grep '^closed\|^ended' "$out")"
fi

# An installed program's pictures come from its share folder (the picture
# fallback), started from a folder without PIC/: the restore reads them
# again from there, with no failure line.
mkdir -p "$work/share/PIC"
cp "$(dirname "$0")/../PIC/button.png" "$work/share/PIC/"
PROBE_ARGS="--lose --pictures-from $work/share" run_probe fallback "$d24" KORVANTA_GRAPHICS=gl
if grep -qx "picture $work/share/PIC/button.png" "$work/fallback/out" && grep -qx 'refilled yes' "$work/fallback/out" &&
   grep -q '^restored hardware' "$work/fallback/out" && has_line fallback "グラフィックを復帰します" &&
   ! grep -q 'ロードできませんでした\|がありません' "$work/fallback/log"; then
    pass "pictures from the fallback folder are read again after a lost device"
else
    fail "fallback pictures after a lost device: $(cat "$work/fallback/out") $(grep 'ロード\|ありません' "$work/fallback/log")"
fi
PROBE_ARGS="--lose" run_probe notlost "$d24" KORVANTA_GRAPHICS=software
if grep -q '^restored software' "$work/notlost/out" && [ "$(grep -c 'DirectDraw' "$work/notlost/log")" = 1 ]; then
    pass "the software path is not restored on activation"
else
    fail "software path on activation: $(cat "$work/notlost/out")"
fi

# ---- a full-screen depth of 8 has no back buffer; the memory path's mode
# change then fails too, so the start fails.
PROBE_ARGS="--fullscreen 1024 768 --depth 8" run_probe depth8 "$d24" KORVANTA_GRAPHICS=gl
if has_line depth8 "非対応のバックバッファービット深度が指定されました" && grep -q '^failed .* live 0 context 0$' "$work/depth8/out"; then
    pass "full-screen depth 8: no back-buffer format, start-up fails, nothing left"
else
    fail "full-screen depth 8: $(cat "$work/depth8/out")"; grep -a '非対応\|IDirect' "$work/depth8/log"
fi

# ---- the picture through GL equals the memory path's, pixel for pixel
window_picture() {  # folder display -> folder/window.rgb
    local folder="$work/$1" on=$2
    for _ in $(seq 600); do
        grep -q '^shown' "$folder/out" 2>/dev/null && break
        sleep 0.1
    done
    sleep 0.5
    # Read through the root window: the GL window's visual has a colour map of
    # its own, which a picture of the window alone would go through.
    local info x y
    info=$(DISPLAY="$on" xwininfo -name GlDeviceProbe 2>/dev/null)
    x=$(sed -n 's/.*Absolute upper-left X: *\([0-9-]*\).*/\1/p' <<<"$info")
    y=$(sed -n 's/.*Absolute upper-left Y: *\([0-9-]*\).*/\1/p' <<<"$info")
    [ -n "$x" ] && [ -n "$y" ] &&
        DISPLAY="$on" import -window root -crop "700x400+$x+$y" -depth 8 "rgb:$folder/window.rgb" 2>/dev/null
}
# Equal pixel for pixel, except inside the alpha-blended rectangle of the
# picture (x 50..399, y 150..299), where the device rounds the blend and the
# memory path truncates it: there one step of the screen's channel width.
same_picture() {  # memory.rgb gl.rgb depth
    python3 - "$@" <<'PY'
import sys
a = open(sys.argv[1], 'rb').read()
b = open(sys.argv[2], 'rb').read()
shifts = (3, 2, 3) if sys.argv[3] == '16' else (0, 0, 0)
if len(a) != len(b) or len(a) != 700 * 400 * 3:
    print('pictures of different sizes'); sys.exit(1)
bad = []
for i in range(0, len(a), 3):
    if a[i:i + 3] == b[i:i + 3]:
        continue
    x, y = (i // 3) % 700, (i // 3) // 700
    blended = 50 <= x < 400 and 150 <= y < 300
    if not blended or any(abs((a[i + c] >> shifts[c]) - (b[i + c] >> shifts[c])) > 1 for c in range(3)):
        bad.append((x, y, tuple(a[i:i + 3]), tuple(b[i:i + 3])))
if bad:
    print(len(bad), 'pixels, first', bad[:3]); sys.exit(1)
print('blend within one step')
PY
}
compare_pictures() {  # display depth-argument name
    local on=$1 depth=$2 name=$3
    mkdir -p "$work/$name-sw" "$work/$name-gl"
    (cd "$work/$name-sw" && DISPLAY="$on" KORVANTA_GRAPHICS=software "$probe" --depth "$depth" --picture --hold 4 >out 2>err) &
    local pid=$!
    window_picture "$name-sw" "$on"
    wait $pid || fail "$name: the memory-path run ended with $?: $(tail -3 "$work/$name-sw/err")"
    (cd "$work/$name-gl" && DISPLAY="$on" KORVANTA_GRAPHICS=gl "$probe" --depth "$depth" --picture --hold 4 >out 2>err) &
    pid=$!
    window_picture "$name-gl" "$on"
    wait $pid || fail "$name: the GL run ended with $?: $(tail -3 "$work/$name-gl/err")"
    if ! grep -q '^started hardware' "$work/$name-gl/out"; then
        fail "$name: the GL run did not take the hardware path: $(cat "$work/$name-gl/out")"
    elif [ "$(tr -d '\0' <"$work/$name-sw/window.rgb" 2>/dev/null | wc -c)" -eq 0 ]; then
        fail "$name: no picture of the window, or an all-black one"
    elif verdict=$(same_picture "$work/$name-sw/window.rgb" "$work/$name-gl/window.rgb" "$depth"); then
        pass "$name: the window shows the same pixels through GL as from memory ($verdict)"
    else
        fail "$name: the window's pixels differ between the memory path and GL: $verdict"
    fi
}
compare_pictures "$d16" 16 picture16
compare_pictures "$d24" 32 picture32
# A failure after the device was made falls back whole: the window shows the
# memory path's picture.
mkdir -p "$work/late-gl"
(cd "$work/late-gl" && DISPLAY="$d24" KORVANTA_GRAPHICS=gl KORVANTA_GL_FAIL=renderer "$probe" --depth 32 --picture --hold 3 \
    >out 2>err) &
late_pid=$!
window_picture late-gl "$d24"
wait $late_pid || fail "renderer failure: the run ended with $?: $(tail -3 "$work/late-gl/err")"
if grep -q '^started software depth 32 live 0 context 0$' "$work/late-gl/out" &&
   [ -s "$work/late-gl/window.rgb" ] && cmp -s "$work/picture32-sw/window.rgb" "$work/late-gl/window.rgb"; then
    pass "after a renderer failure the window shows the memory path's picture"
else
    fail "renderer failure picture: $(cat "$work/late-gl/out")"
fi

# ---- the program itself on the hardware path: its window comes up, frames
# are presented through GL, and the close button ends it with 0.
korvanta="$build/app/korvanta"
send_close="$build/tools/send_wm_delete"
if command -v xdotool >/dev/null && [ -x "$korvanta" ] && [ -x "$send_close" ]; then
    mkdir -p "$work/program"
    (cd "$work/program" && exec env DISPLAY="$d24" KORVANTA_GRAPHICS=gl "$korvanta" >out 2>err) &
    program_pid=$!
    window=$(DISPLAY="$d24" timeout 60 xdotool search --sync --onlyvisible --name '^Korvanta$' 2>/dev/null | head -n1)
    sleep 2
    [ -n "$window" ] && DISPLAY="$d24" "$send_close" "$window"
    for _ in $(seq 600); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$program_pid" 2>/dev/null; then
        kill "$program_pid"
        fail "korvanta on the hardware path did not end after the close button"
    elif wait "$program_pid" && iconv -f CP932 -t UTF-8 "$work/program/Log.txt" >"$work/program/log" &&
         has_line program "プログラマブルシェーダーを使用します" && has_line program "ソフトを終了する準備が整いました"; then
        pass "korvanta runs on the hardware path and ends with 0 by its close button"
    else
        fail "korvanta on the hardware path: $(tail -5 "$work/program/err")"
    fi
else
    echo "SKIPPED: the program check needs xdotool, korvanta and send_wm_delete"
fi

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all passed"
