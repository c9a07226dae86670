#!/usr/bin/env bash
# Images on the hardware path against the memory path, on private Xvfb
# servers of depth 16 (both paths at 16 bits) and 24 (32-bit screen): the
# probe draws the same table of image cases on each path (KORVANTA_GRAPHICS=gl
# forces the hardware path on llvmpipe) and every case's rectangle must agree
# within the steps of the screen's channel width the case allows (0: equal).
#   bash tests/graphics_gl_image_test.sh BUILD_DIR
set -u
build=$(cd "${1:?build directory}" && pwd)
probe="$build/tools/gl_image_probe"
here=$(cd "$(dirname "$0")" && pwd)

for tool in Xvfb python3; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 0; }
done
[ -x "$probe" ] || { echo "FAIL: $probe was not built"; exit 1; }

. "$(dirname "$0")/gl_xvfb_lib.sh" glimage

# Runs the probe on display $2 with graphics $3 at screen depth $4 (more
# probe arguments follow); words and output under $work/$1.
run_probe() {
    local folder="$work/$1" on=$2 graphics=$3 depth=$4
    shift 4
    mkdir -p "$folder"
    (cd "$folder" && env DISPLAY="$on" KORVANTA_GRAPHICS="$graphics" "$probe" "$folder/words" --depth "$depth" "$@" >out 2>err)
    echo $? >"$folder/status"
}

# A 24-bit desktop runs the 32-bit screen.
for depth in 16 24; do
    start_server $depth
    screen=$([ $depth = 16 ] && echo 16 || echo 32)
    run_probe "sw$depth" "$display" software $screen --pictures "$here/data/images"
    run_probe "gl$depth" "$display" gl $screen --pictures "$here/data/images"
    if ! grep -q '^path software' "$work/sw$depth/out" || [ "$(cat "$work/sw$depth/status")" != 0 ]; then
        fail "depth $depth: the memory path did not draw: $(cat "$work/sw$depth/out" "$work/sw$depth/err")"
        continue
    fi
    if ! grep -q '^path hardware' "$work/gl$depth/out" || [ "$(cat "$work/gl$depth/status")" != 0 ]; then
        fail "depth $depth: the hardware path did not draw: $(cat "$work/gl$depth/out" "$work/gl$depth/err")"
        continue
    fi
    grep -q '^ended live 0$' "$work/gl$depth/out" || fail "depth $depth: GL objects left after the end"
    # llvmpipe has S3TC: every DXT picture whose sides are whole blocks stays compressed.
    grep -q '^dxt compressed 7 of 7$' "$work/gl$depth/out" ||
        fail "depth $depth: DXT pictures not kept compressed: $(grep '^dxt' "$work/gl$depth/out")"
    if python3 "$here/gl_image_compare.py" "$work/sw$depth" "$work/gl$depth"; then
        pass "depth $depth: every image case agrees with the memory path"
    else
        fail "depth $depth: image cases differ from the memory path"
    fi
    if grep -q '^scissor after clear ok$' "$work/gl$depth/out"; then
        pass "depth $depth: a cleared rectangle leaves the scissor on the draw area"
    else
        fail "depth $depth: $(grep '^scissor' "$work/gl$depth/out" || echo 'no scissor line')"
    fi
    # Outlines with reversed corners: each path paints its own pixel set.
    for path in sw gl; do
        if [ "$(grep -c '^outline .* ok$' "$work/$path$depth/out")" = 3 ]; then
            pass "depth $depth: $path outlines with reversed corners paint their pixels"
        else
            fail "depth $depth: $path outlines with reversed corners: $(grep '^outline' "$work/$path$depth/out")"
        fi
    done

    # The rows the probes chose are the ones used: the glyph caches' (the
    # 16-bit alpha-test and alpha rows), a DXT1 picture's (its own row, else
    # the 16-bit alpha-test one), the screen's (the drawable row of its depth).
    formats="glyph1 D3DFMT_A1R5G5B5 glyph4 D3DFMT_A4R4G4B4 dxt1 D3DFMT_DXT1"
    formats="$formats screen $([ $depth = 16 ] && echo '5 6 5 0' || echo '8 8 8 8')"
    if grep -qx "formats $formats" "$work/gl$depth/out"; then
        pass "depth $depth: texture and screen rows as chosen ($formats)"
    else
        fail "depth $depth: wanted formats $formats; got $(grep '^formats' "$work/gl$depth/out")"
    fi

    # Rows a 16-bit screen may fall to: drawable images (keyed ones too) and
    # the screen in X1R5G5B5 or X8R8G8B8, glyph caches and DXT1 pictures in
    # the rows standing in for theirs, all drawing the same as above (a
    # 32-bit screen takes X8R8G8B8 above).
    # An X1R5G5B5 screen keeps five bits of green: its steps count there.
    #   drawable row | rows refused | the formats line | comparison option
    rows=(
        "X1R5G5B5|drawable16/R5G6B5,DXT1|glyph1 D3DFMT_A1R5G5B5 glyph4 D3DFMT_A4R4G4B4 dxt1 D3DFMT_A1R5G5B5 screen 5 5 5 1|--five-bit-green"
        "X8R8G8B8|drawable16/R5G6B5,drawable16/X1R5G5B5,alphatest16/A1R5G5B5,alpha16/A4R4G4B4|glyph1 D3DFMT_A8R8G8B8 glyph4 D3DFMT_A8R8G8B8 dxt1 D3DFMT_DXT1 screen 8 8 8 8|"
    )
    [ $depth = 16 ] || rows=()
    for row in "${rows[@]}"; do
        IFS='|' read -r format denied expected option <<<"$row"
        KORVANTA_GL_DENY="$denied" run_probe "gl$depth-$format" "$display" gl $screen --pictures "$here/data/images"
        if ! iconv -f CP932 -t UTF-8 "$work/gl$depth-$format/Log.txt" 2>/dev/null |
            grep -q "描画用 16bit カラーフォーマットは D3DFMT_$format です"; then
            fail "depth $depth: the drawable row did not fall to $format"
        elif ! grep -qx "formats $expected" "$work/gl$depth-$format/out"; then
            fail "depth $depth, $denied refused: wanted $expected; got $(grep '^formats' "$work/gl$depth-$format/out")"
        elif python3 "$here/gl_image_compare.py" "$work/sw$depth" "$work/gl$depth-$format" $option \
            >"$work/row-$format.txt"; then
            pass "depth $depth: every image case agrees with $denied refused ($expected)"
        else
            fail "depth $depth: image cases differ with $denied refused"
            grep -v agrees "$work/row-$format.txt"
        fi
    done

    # Textures deleted and made again as after a lost device: the same
    # pictures, the drawable image empty again, the same number of GL objects.
    run_probe "swlost$depth" "$display" software $screen --recreate
    run_probe "gllost$depth" "$display" gl $screen --recreate
    counts=$(grep '^textures live' "$work/gllost$depth/out")
    read -r _ _ before _ released _ recreated <<<"$counts"
    if [ -n "$counts" ] && [ "$released" -lt "$before" ] && [ "$recreated" = "$before" ] &&
       [ "$(cat "$work/gllost$depth/status")" = 0 ] &&
       python3 "$here/gl_image_compare.py" "$work/swlost$depth" "$work/gllost$depth" >"$work/lost$depth.txt"; then
        pass "depth $depth: textures made again draw the same; $counts"
    else
        fail "depth $depth: textures made again: $counts $(cat "$work/gllost$depth/err")"
        grep -v agrees "$work/lost$depth.txt"
    fi

    # An upload whose staging memory is not there says so in the log, and
    # the image is drawn as before once the next upload succeeds.
    run_probe "sw_transfer$depth" "$display" software $screen --transfer-failure
    run_probe "gl_transfer$depth" "$display" gl $screen --transfer-failure
    line=$(iconv -f CP932 -t UTF-8 "$work/gl_transfer$depth/Log.txt" 2>/dev/null |
        grep -c "テクスチャへ転送する画像を一時的に格納するメモリ領域の確保に失敗しました")
    if [ "${line:-0}" -ge 1 ] && [ "$(cat "$work/gl_transfer$depth/status")" = 0 ] &&
       python3 "$here/gl_image_compare.py" "$work/sw_transfer$depth" "$work/gl_transfer$depth" >"$work/transfer$depth.txt"; then
        pass "depth $depth: a transfer without memory writes its line and the next upload draws the same"
    else
        fail "depth $depth: transfer without memory: line count ${line:-0} $(cat "$work/gl_transfer$depth/err")"
        grep -v agrees "$work/transfer$depth.txt"
    fi
done

[ $failures = 0 ] || exit 1
echo "all passed"
