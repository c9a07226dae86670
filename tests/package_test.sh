#!/usr/bin/env bash
# The Debian package: a plain build (its own folder under the build folder,
# shared with tests/library_test.sh, configured for /usr, compiled through
# ccache when there is one) packed with cpack -G DEB, passed through the
# lintian gate, unpacked with dpkg-deb -x; the unpacked korvanta plays the
# demo session from a folder without PIC/ and draws its button pictures, and
# the unpacked korvanta-battle logs the same battle as the build's. A missing
# tool skips the test with a line (and fails it under CI=true).
set -uo pipefail

build="$(cd "${1:?usage: package_test.sh BUILD-DIR}" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
# shellcheck source=battle_log_lib.sh
source "$here/battle_log_lib.sh"

# shellcheck source=plain_build_lib.sh
source "$here/plain_build_lib.sh"
require_tools "the package test" cpack dpkg-deb dpkg-shlibdeps lintian help2man iconv python3
start_checks package

# ---------------------------------------------------------------- build and gate
configure_plain
if ! cmake --build "$plain" -j"$(nproc)" >"$work/build.out" 2>&1; then
  tail -n 30 "$work/build.out"
  fail "building the plain build"
  finish
fi
arch="$(dpkg --print-architecture)"
deb="$plain/korvanta_${version}_${arch}.deb"
rm -f "$deb"
# A strict umask must not leak into the package's directories.
if ! (cd "$plain" && umask 077 && cpack -G DEB) >"$work/cpack.out" 2>&1 || [ ! -f "$deb" ]; then
  cat "$work/cpack.out"
  fail "cpack -G DEB made no $(basename "$deb")"
  finish
fi
pass "cpack made $(basename "$deb")"

# Lintian says it runs as root on standard error; only its tags count.
lintian --fail-on error,warning --suppress-tags-from-file "$source_dir/packaging/lintian-accepted" "$deb" \
  >"$work/lintian.out" 2>"$work/lintian.err"
status=$?
[ $status = 0 ] && ! grep -q '^[EW]:' "$work/lintian.out" && pass "lintian gate" ||
  { fail "lintian gate (status $status)"; cat "$work/lintian.out" "$work/lintian.err"; }

# ---------------------------------------------------------------- what it holds
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Version)" = "$version" ] && pass "version $version (no commit)" || fail "package version '$(field Version)'"
depends="$(field Depends)"
for dependency in fonts-ipafont-gothic libsdl2 libfreetype6 libpng16 libc6; do
  [[ "$depends" == *"$dependency"* ]] || fail "Depends lacks $dependency: $depends"
done
[[ "$depends" == *fonts-ipafont-gothic*libsdl2* ]] && pass "Depends from the shared libraries plus the font"
[ "$(field Recommends)" = "libgl1, libgl1-mesa-dri" ] && pass "Recommends the GL libraries" ||
  fail "Recommends: '$(field Recommends)'"
maintainer="$(field Maintainer)"
[[ "$maintainer" =~ \<[^@\>]+@[^@\>]+\> ]] && pass "maintainer with an e-mail address" || fail "maintainer '$maintainer'"
summary="$(field Description | head -n 1)"
[[ "${summary,,}" != korvanta* ]] && [ "$(field Description | wc -l)" -gt 3 ] &&
  pass "summary '$summary' and a long description" || fail "description: $(field Description)"

dpkg-deb -c "$deb" >"$work/contents"
bad_dirs="$(awk '$1 ~ /^d/ && $1 != "drwxr-xr-x"' "$work/contents")"
[ -z "$bad_dirs" ] && pass "every directory 0755" || fail "directories: $bad_dirs"
dev="$(grep -E '/include/|\.a$|\.pc$|/cmake/|/probe|_probe|platform_demo|send_wm_delete' "$work/contents")"
[ -z "$dev" ] && pass "no development files or probes" || fail "in the package: $dev"

root="$work/root"
mkdir "$root"
dpkg-deb -x "$deb" "$root" || { fail "dpkg-deb -x"; finish; }
for program in usr/games/korvanta usr/games/korvanta-battle usr/bin/korvanta-image; do
  if readelf -S "$root/$program" | grep -q -e '\.symtab' -e '\.debug_'; then
    fail "$program is not stripped"
  else
    pass "$program stripped"
  fi
done
for doc in copyright changelog.gz; do
  [ -f "$root/usr/share/doc/korvanta/$doc" ] || fail "no usr/share/doc/korvanta/$doc"
done
grep -qi 'all rights reserved' "$root/usr/share/doc/korvanta/copyright" && pass "copyright: all rights reserved" ||
  fail "the copyright file does not reserve the rights"
for gz in "$root"/usr/share/doc/korvanta/changelog.gz "$root"/usr/share/man/man*/*.gz; do
  [ -L "$gz" ] && continue
  # gzip -9n: the best-compression flag (2) and no time stamp.
  [ "$(od -An -tx1 -j4 -N6 "$gz" | tr -d ' ')" = 000000000203 ] || fail "$(basename "$gz") not made by gzip -9n"
done
pass "changelog and man pages compressed with gzip -9n"

# ---------------------------------------------------------------- the unpacked programs
# From a folder without PIC/: the demo session draws the buttons and the log
# names no missing picture.
seed=42
session="$work/session"
mkdir "$session"
(cd "$session" && env -u KORVANTA_LOG_ECHO timeout 300 "$root/usr/games/korvanta" --seed "$seed" --headless \
  --script "$root/usr/share/korvanta/demo/session.txt" --desktop "package-$$" >"$work/session.out" 2>&1)
status=$?
[ $status = 0 ] && pass "the unpacked korvanta plays the demo session" ||
  { fail "the unpacked korvanta: status $status"; cat "$work/session.out"; }
if [ -f "$session/Log.txt" ]; then
  log_text "$session" | grep -E 'グラフィックファイル .* がありません|ロードできませんでした' &&
    fail "the session's log names a missing picture" || pass "no missing picture in the session's log"
else
  fail "the session wrote no Log.txt"
fi
faces="$(python3 "$here/png_probe.py" "$session/prep.png" 123,43 123,63 2>&1 | tr '\n' ' ')"
[ "$faces" = "148,150,165 148,150,165 " ] && pass "the button pictures in the screenshot" ||
  fail "button faces in prep.png: $faces (want 148,150,165 twice)"

# The unpacked korvanta-battle logs the battle of the build's, and the
# session fought that battle too.
for which in package build; do
  program="$root/usr/games/korvanta-battle"
  [ $which = build ] && program="$build/app/korvanta-battle"
  mkdir "$work/$which"
  (cd "$work/$which" && env -u KORVANTA_LOG_ECHO "$program" --seed "$seed" --army1 1,2,0 --army2 2,0,1 >/dev/null 2>&1) ||
    fail "$which korvanta-battle failed"
done
if [ -s "$work/package/Log.txt" ] && [ "$(log_text "$work/package")" = "$(log_text "$work/build")" ]; then
  pass "the unpacked korvanta-battle's log equals the build's ($(log_text "$work/package" | wc -l) lines)"
else
  fail "the unpacked korvanta-battle's log differs from the build's"
  diff <(log_text "$work/package") <(log_text "$work/build") | head -n 10
fi
count="$(battle_only "$work/package" | wc -l)"
[ "$count" -gt 20 ] && [ "$(battle_only "$session")" = "$(battle_only "$work/package")" ] &&
  pass "the session fought that battle ($count lines)" || fail "the session's battle differs from korvanta-battle's"

finish
