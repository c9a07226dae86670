#!/usr/bin/env bash
# Text through the texture glyph caches of the hardware path, and a lost
# device, on private Xvfb servers (Mesa's llvmpipe, KORVANTA_GRAPHICS=gl):
# - the caches: 1-bit alpha for plain and edged fonts, 4-bit for antialiased
#   ones, the edge plane as the right half of edged fonts' caches;
# - the text picture (four font types, plain, under a brightness, blended,
#   cut by the draw area) set against the memory path's, at depths 16 and 24;
# - a simulated loss and WM_ACTIVATE: the image shows its file's new pixels,
#   the drawable image is empty, fonts keep their handles and their caches
#   fill again (the same text picture as before), the log says so, and no GL
#   object is left at the end;
# - after DeleteAllImages (the caches go too) text draws as before;
# - a device that cannot be made again leaves the memory path drawing;
# - a glyph cache that cannot be made again at draw time leaves its font a
#   memory cache, drawing;
# - a caller's image under the handle of a font's deleted cache image is
#   left alone;
# - a restore run by the wait inside a text or image draw.
#   bash tests/graphics_gl_text_test.sh BUILD_DIR
set -u
build=$(cd "${1:?build directory}" && pwd)
probe="$build/tools/gl_text_probe"

for tool in Xvfb iconv python3; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 0; }
done
[ -x "$probe" ] || { echo "FAIL: $probe was not built"; exit 1; }

. "$(dirname "$0")/gl_xvfb_lib.sh" gltext

# run NAME DISPLAY GRAPHICS DEPTH [probe arguments...]
run() {
    local folder="$work/$1" on=$2 graphics=$3 depth=$4
    shift 4
    mkdir -p "$folder"
    (cd "$folder" && env DISPLAY="$on" KORVANTA_GRAPHICS="$graphics" "$probe" --depth "$depth" --out pic "$@" \
        >out 2>err)
    echo $? >"$folder/status"
    iconv -f CP932 -t UTF-8 "$folder/Log.txt" >"$folder/log" 2>/dev/null
}

# Sets two pictures of screen words side by side, band by band (font type x
# line). Everywhere: the same pixels touched. Where the caches hold the same
# coverage as the memory path's (plain and antialiased fonts; edged ones
# unblended): within one step of each channel's width. Edged fonts blended,
# and antialiased edged fonts, compose their edge differently (see
# docs/FONTS.md), so only their shape is compared.
compare() {  # gl-picture software-picture depth
    python3 - "$@" <<'EOF'
import struct, sys
gl_path, sw_path, depth = sys.argv[1], sys.argv[2], int(sys.argv[3])
W, H = 640, 260
def words(path):
    data = open(path, 'rb').read()
    return struct.unpack('<%dI' % (len(data) // 4), data)
a, b = words(gl_path), words(sw_path)
if len(a) != W * H or len(b) != W * H:
    print('bad picture sizes', len(a), len(b)); sys.exit(1)
if depth == 16:
    channels = lambda w: ((w >> 11) & 31, (w >> 5) & 63, w & 31)
else:
    channels = lambda w: ((w >> 16) & 255, (w >> 8) & 255, w & 255)
background = b[0]
bad = []
for font in range(4):
    for line in range(3):
        top = 4 + font * 64 + line * 21
        strict = font in (0, 2) or (font == 1 and line < 2)
        shape = steps = 0
        for y in range(top, top + 21):
            for x in range(W):
                p, q = a[y * W + x], b[y * W + x]
                if (p == background) != (q == background):
                    shape += 1
                elif strict and max(abs(i - j) for i, j in zip(channels(p), channels(q))) > 1:
                    steps += 1
        if shape or steps:
            bad.append('type %d line %d: %d pixels touched on one path only, %d beyond one step' %
                       (font, line, shape, steps))
lit = sum(1 for w in b if w != background)
if lit < 5000:
    bad.append('only %d pixels of text' % lit)
print('; '.join(bad) if bad else 'same')
sys.exit(1 if bad else 0)
EOF
}

start_server 16
d16=$display
start_server 24
d24=$display

for depth in 16 32; do
    on=$d16
    [ "$depth" = 32 ] && on=$d24
    gl=gl$depth sw=sw$depth
    run "$gl" "$on" gl "$depth" --lose
    run "$sw" "$on" software "$depth"
    out="$work/$gl/out"

    if [ "$(cat "$work/$gl/status")" = 0 ] && grep -q "^started hardware depth $depth$" "$out" &&
       grep -q '^ended live 0$' "$out" && [ "$(cat "$work/$sw/status")" = 0 ] &&
       grep -q "^started software depth $depth$" "$work/$sw/out"; then
        pass "depth $depth: hardware and memory paths ran, no GL object left"
    else
        fail "depth $depth: $(cat "$out" "$work/$gl/err" "$work/$sw/out")"
        continue
    fi

    # The caches, before the loss and after it: type, alpha width, planes,
    # texels in the glyph and the edge plane.
    caches_ok=1
    for type in 0 1 2 3; do
        alpha=1 planes=1
        [ "$type" -ge 2 ] && alpha=4
        [ $((type % 2)) = 1 ] && planes=2
        lines=$(grep -c "^font $type texture 1 alpha $alpha planes $planes texels [1-9][0-9]* " "$out")
        edge_lines=$(grep "^font $type " "$out" | awk -v p=$planes '($11 > 0) == (p == 2)' | wc -l)
        [ "$lines" = 3 ] && [ "$edge_lines" = 3 ] || caches_ok=0
    done
    if [ $caches_ok = 1 ] && ! grep -q '^font [0-3] texture 1' "$work/$sw/out"; then
        pass "depth $depth: texture caches A1R5G5B5 / A4R4G4B4, the edge plane on the right, refilled after the loss and after DeleteAllImages"
    else
        fail "depth $depth: glyph caches: $(grep '^font' "$out" "$work/$sw/out")"
    fi

    if result=$(compare "$work/$gl/pic" "$work/$sw/pic" "$depth"); then
        pass "depth $depth: text of the four font types as on the memory path"
    else
        fail "depth $depth: text against the memory path: $result"
    fi
    if result=$(compare "$work/$gl/pic.after" "$work/$sw/pic" "$depth"); then
        pass "depth $depth: after the loss the text draws as before"
    else
        fail "depth $depth: text after the loss: $result"
    fi

    if result=$(compare "$work/$gl/pic.refilled" "$work/$sw/pic" "$depth"); then
        pass "depth $depth: after DeleteAllImages the fonts' caches are made again"
    else
        fail "depth $depth: text after DeleteAllImages: $result"
    fi

    if grep -q '^restored hardware live [1-9]' "$out" && ! grep -q '^check .* FAIL' "$out" &&
       [ "$(grep -c '^check .* ok' "$out")" = 6 ] && grep -qF "グラフィックを復帰します" "$work/$gl/log"; then
        pass "depth $depth: lost device restored: new file's pixels, drawable image empty, fonts and text back, logged"
    else
        fail "depth $depth: restore: $(grep '^check\|^restored' "$out")"
        grep -c "グラフィックを復帰します" "$work/$gl/log"
    fi
done

# ---- the device cannot be made again after the loss: the memory path takes
# over, its text exactly as a memory-path run's, nothing of GL left.
run deny "$d16" gl 16 --deny-on-restore
out="$work/deny/out"
if [ "$(cat "$work/deny/status")" = 0 ] && grep -q '^restored software live 0$' "$out" &&
   [ "$(grep -c '^check .* ok' "$out")" = 6 ] && [ "$(grep -c '^font [0-3] texture 0 ' "$out")" = 8 ] &&
   cmp -s "$work/deny/pic.after" "$work/sw16/pic" && cmp -s "$work/deny/pic.refilled" "$work/sw16/pic" &&
   grep -qF "使用できる Zバッファフォーマットが見つかりませんでした" "$work/deny/log" &&
   grep -qF "グラフィックを復帰します" "$work/deny/log" && grep -q '^ended live 0$' "$out"; then
    pass "device not made again after the loss: memory path, images reloaded, fonts with memory caches, same text"
else
    fail "device not made again: $(cat "$out" "$work/deny/err")"
fi

# ---- a glyph cache that cannot be made again at the next text (every image
# deleted, the device out of room for the cache): each font turns to a memory
# cache and its text draws as on the memory path.
run fallback "$d16" gl 16 --cache-fails
out="$work/fallback/out"
result=""
if [ "$(cat "$work/fallback/status")" = 0 ] && grep -q '^started hardware depth 16$' "$out" &&
   [ "$(grep -c '^font [0-3] texture 0 ' "$out")" = 4 ] && grep -q '^check picture-fallback ok' "$out" &&
   result=$(compare "$work/fallback/pic.fallback" "$work/sw16/pic" 16) &&
   grep -qF "テクスチャ文字キャッシュの作成に失敗しました" "$work/fallback/log" && grep -q '^ended live 0$' "$out"; then
    pass "glyph cache not made again at draw time: the fonts take memory caches, same text"
else
    fail "glyph cache not made again at draw time: ${result:-} $(cat "$out" "$work/fallback/err")"
fi

# ---- a caller's image that came to carry the handle of a font's deleted
# cache image (check numbers wrap): the font makes a new cache of its own and
# leaves that image alone (neither deleted nor written).
run alias "$d16" gl 16 --cache-alias
out="$work/alias/out"
result=""
if [ "$(cat "$work/alias/status")" = 0 ] && grep -q '^alias image 1 kept 256$' "$out" &&
   grep -q '^check picture-alias ok' "$out" && result=$(compare "$work/alias/pic.alias" "$work/sw16/pic" 16) &&
   grep -q '^ended live 0$' "$out"; then
    pass "a caller's image under a deleted cache image's handle: left alone, the text as before"
else
    fail "a caller's image under a deleted cache image's handle: ${result:-} $(grep -v '^font' "$out"; head -n 20 "$work/alias/err")"
fi

# ---- the loss found by an activation that waits in the queue while the
# window is inactive, so that the wait inside a text or image draw runs the
# restore: the draw goes on with the font records and textures as they are
# after it (under AddressSanitizer the freed ones would be reported). Text
# draws; an image whose device could not be made again in its wait draws
# nothing that once, and on the memory path from then on.
for deny in "" --deny-on-restore; do
    for what in text image; do
        name=wait-$what${deny:+-deny}
        run "$name" "$d16" gl 16 $deny --restore-in-wait $what
        out="$work/$name/out"
        path=hardware
        [ -n "$deny" ] && path=software
        want="^wait $what result 0 active 1 path $path lit [1-9]"
        [ "$what$deny" = image--deny-on-restore ] && want="^wait image result -1 active 1 path software lit 0$"
        if [ "$(cat "$work/$name/status")" = 0 ] && grep -q "$want" "$out" &&
           grep -q "^again $what result 0 path $path lit [1-9]" "$out" && grep -q '^ended live 0$' "$out"; then
            pass "restore inside the wait of a$([ $what = image ] && echo "n") $what draw${deny:+ (device not made again)}"
        else
            fail "restore inside the wait of a $what draw $deny: $(cat "$out"; head -n 20 "$work/$name/err")"
        fi
    done
done

[ "$failures" = 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all passed"
