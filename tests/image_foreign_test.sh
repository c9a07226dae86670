#!/usr/bin/env bash
# Pictures made by other programs (tests/data/foreign_images/, written by
# tools/make_foreign_images.sh): korvanta-image loads each at screen depth 32
# and its pixels are compared with ImageMagick's decoding of the same file,
# the way MANIFEST says (exact, within N, alpha dropped, rows reversed, as
# another file, or rejected); at screen depth 16 each must hold the depth-32 pixels narrowed
# to 5-6-5 (high bits kept, widened back by bit replication).
set -uo pipefail
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
tool="$build/tools/korvanta-image"
data="$(cd "${FOREIGN_IMAGES:-$here/data/foreign_images}" && pwd)"
convert=/usr/bin/convert  # ImageMagick itself
[ -x "$convert" ] || convert=convert
if [ ! -x "$tool" ]; then
  echo "FAIL: $tool is missing"
  exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# One file: both depths and ImageMagick's reading, each into work/FILE.*.
# Relative names from the corpus folder, so no "_a" picture is ever found.
load() {
  local file="$1" mode="$2" out="$work/$1"
  cd "$data" || exit 1
  "$tool" --depth 32 "$file" "$out.32.png" >/dev/null 2>"$out.err"
  echo $? >"$out.status"
  [ "$mode" = reject ] && return
  "$tool" --depth 16 "$file" "$out.16.png" >/dev/null 2>>"$out.err"
  "$convert" "${file}[0]" -depth 8 -format '%w %h\n' -write info:"$out.size" rgba:"$out.ref" 2>>"$out.err"
}
jobs=0
while IFS=$'\t' read -r file mode _; do
  load "$file" "$mode" &
  jobs=$((jobs + 1))
  if [ "$jobs" -ge 3 ]; then
    wait -n
    jobs=$((jobs - 1))
  fi
done <"$data/MANIFEST"
wait

python3 - "$data/MANIFEST" "$work" "$here" <<'PY'
import os
import sys

manifest, work = sys.argv[1], sys.argv[2]
sys.path.insert(0, sys.argv[3])
from png_probe import read_png  # noqa: E402


def read(name, mode="rb"):
    try:
        with open(os.path.join(work, name), mode) as f:
            return f.read()
    except OSError:
        return None


def rgba_png(name):
    """(width, height, RGBA bytes) of korvanta-image's output: 8-bit RGBA, not interlaced."""
    if read(name) is None:
        return None
    width, height, channels, rows = read_png(os.path.join(work, name))
    if channels != 4:
        raise SystemExit(f"{name}: korvanta-image wrote {channels} channels, not RGBA")
    return width, height, b"".join(bytes(row) for row in rows)


def narrowed(ours32):
    """The depth-32 pixels as a 5-6-5 screen keeps them (alpha whole)."""
    out = bytearray(ours32)
    for i in range(0, len(out), 4):
        r, g, b = out[i] >> 3, out[i + 1] >> 2, out[i + 2] >> 3
        out[i], out[i + 1], out[i + 2] = (r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)
    return bytes(out)


failures, count = [], 0
for line in open(manifest, encoding="utf-8"):
    file, mode = line.rstrip("\n").split("\t")[:2]
    mode = mode.split()
    count += 1
    status = (read(file + ".status", "r") or "?").strip()
    err = (read(file + ".err", "r") or "").strip()[:300]
    if mode[0] == "reject":
        if status != "1":
            failures.append("%s: loaded (status %s), but it is rejected by design" % (file, status))
        continue
    if status != "0":
        failures.append("%s: not loaded (status %s): %s" % (file, status, err))
        continue
    ours, ours16 = rgba_png(file + ".32.png"), rgba_png(file + ".16.png")
    reference = mode[1] if mode[0] == "same" else file
    ref, ref_size = read(reference + ".ref"), read(reference + ".size", "r")
    if None in (ours, ours16, ref, ref_size):
        failures.append("%s: a decoding is missing: %s" % (file, err))
        continue
    width, height, ours = ours
    ours16 = ours16[2]
    ref_size = ref_size.split()
    if [str(width), str(height)] != ref_size:
        failures.append("%s: size %d x %d, ImageMagick reads %s x %s" % (file, width, height, ref_size[0], ref_size[1]))
        continue
    if mode[0] == "flipped":  # ImageMagick 6 reads a bottom-up TGA top row first
        row = width * 4
        ref = b"".join(ref[y * row:(y + 1) * row] for y in reversed(range(height)))
    limit = int(mode[1]) if mode[0] in ("near", "noalpha", "flipped") else 0
    worst, where = -1, None
    for i in range(0, len(ref), 4):
        want = ref[i:i + 4]
        if mode[0] == "noalpha":
            want = want[:3] + b"\xff"
        diff = max(abs(a - b) for a, b in zip(ours[i:i + 4], want))
        if mode[0] == "noalpha" and ours[i + 3] != 255:
            diff = 999
        if diff > worst:
            worst, where = diff, (i // 4 % width, i // 4 // width, tuple(ours[i:i + 4]), tuple(want))
    if worst > limit:
        failures.append("%s: pixel (%d, %d) is %s, ImageMagick reads %s (difference %d, allowed %d)"
                        % ((file,) + where + (worst, limit)))
    if ours16 != narrowed(ours):
        first = next(i for i in range(0, len(ours), 4) if ours16[i:i + 4] != narrowed(ours)[i:i + 4])
        failures.append("%s: at depth 16 pixel (%d, %d) is %s, not %s" % (
            file, first // 4 % width, first // 4 // width, tuple(ours16[first:first + 4]),
            tuple(narrowed(ours)[first:first + 4])))
for failure in failures:
    print("FAIL: " + failure)
if count < 100:
    print("FAIL: only %d files in MANIFEST" % count)
    sys.exit(1)
if failures:
    print("%d of %d foreign files failed" % (len(failures), count))
    sys.exit(1)
print("all %d foreign files load as ImageMagick reads them" % count)
PY
