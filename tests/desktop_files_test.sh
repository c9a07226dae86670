#!/usr/bin/env bash
# The files a desktop reads: the menu entry and the AppStream metainfo pass
# their validators without a word, the icon is drawn at 48, 128 and 256
# pixels, and the man pages made from the programs' --help render without
# a warning and name every option the programs list. A missing validator
# skips its check with a line, and fails it under CI=true.
set -uo pipefail

build="$(cd "${1:?usage: desktop_files_test.sh BUILD-DIR}" && pwd)"
source_dir="$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
packaging="$source_dir/packaging"
generated="$build/packaging"
id=org.korvanta.korvanta
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
skip() {
  if [ "${CI:-}" = true ]; then fail "$* (CI=true: scripts/install-deps.sh installs it)"; else echo "skipped: $*"; fi
}
work="$(mktemp -d /tmp/korvanta-desktop-XXXXXX)"
trap 'rm -rf "$work"' EXIT

# Validators count a warning as a failure: anything printed is one.
if command -v desktop-file-validate >/dev/null; then
  out="$(desktop-file-validate "$packaging/$id.desktop" 2>&1)"
  [ $? = 0 ] && [ -z "$out" ] && pass "desktop-file-validate prints nothing" || fail "desktop-file-validate: $out"
  grep -qx 'Exec=korvanta-launch' "$packaging/$id.desktop" && grep -qx 'Categories=Game;StrategyGame;' "$packaging/$id.desktop" &&
    grep -qx "Icon=$id" "$packaging/$id.desktop" && pass "the entry runs the launcher, with our icon, among strategy games" ||
    fail "the desktop entry's Exec, Icon or Categories"
else
  skip "desktop-file-validate not installed (desktop-file-utils)"
fi
if command -v appstreamcli >/dev/null; then
  out="$(appstreamcli validate --no-net --pedantic --no-color "$packaging/$id.metainfo.xml" 2>&1)"
  status=$?
  # Only the verdict line may be printed.
  extra="$(printf '%s\n' "$out" | grep -v -e '^✔ Validation was successful\.$' -e '^$')"
  [ $status = 0 ] && [ -z "$extra" ] && pass "appstreamcli validate --no-net: no remark" || fail "appstreamcli: $out"
else
  skip "appstreamcli not installed (appstream)"
fi
grep -q "<id>$id</id>" "$packaging/$id.metainfo.xml" && grep -q "<release version=\"$version\"" "$packaging/$id.metainfo.xml" &&
  pass "metainfo: id $id, release $version" || fail "metainfo lacks id $id or a release $version (the project's version)"
grep -q '<screenshot' "$packaging/$id.metainfo.xml" && ! grep -q '<image>https://' "$packaging/$id.metainfo.xml" &&
  fail "metainfo: a screenshot without a public https address"

for size in 48 128 256; do
  icon="$generated/icons/${size}x${size}/$id.png"
  if [ -f "$icon" ]; then
    dims="$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(26); print(*struct.unpack(">II", d[16:24]), d[25])' "$icon")"
    [ "$dims" = "$size $size 6" ] && pass "icon ${size}x${size} RGBA" || fail "icon $icon: width height colour type $dims"
  else
    fail "no icon $icon"
  fi
done

if ! command -v help2man >/dev/null; then
  skip "help2man not installed: no man pages"
elif ! command -v man >/dev/null; then
  skip "man not installed (man-db)"
else
  for page in korvanta.6 korvanta-battle.6 korvanta-image.1; do
    file="$generated/man/$page.gz"
    [ -f "$file" ] || { fail "no man page $file"; continue; }
    program="${page%.*}"
    warnings="$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null)"
    [ -z "$warnings" ] && pass "man $page renders without a warning" || fail "man $page: $warnings"
    # Bytes 4-7 of a gzip header: the time stamp.
    [ "$(od -An -tx1 -j4 -N4 "$file" | tr -d ' ')" = 00000000 ] &&
      pass "$page.gz has no time stamp (gzip -n)" || fail "$page.gz carries a time stamp"
    # Every option the program's --help lists appears on its page.
    binary="$build/app/$program"
    [ -x "$binary" ] || binary="$build/tools/$program"
    text="$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$file" 2>/dev/null | sed 's/‐/-/g')"
    missing=""
    for option in $("$binary" --help | grep -o -- '--[a-z0-9][a-z0-9-]*' | sort -u); do
      grep -q -- "$option" <<<"$text" || missing="$missing $option"
    done
    [ -z "$missing" ] && pass "$page names every option of $program --help" || fail "$page lacks$missing"
  done
  [ "$(readlink "$generated/man/korvanta-launch.6.gz")" = korvanta.6.gz ] && pass "korvanta-launch(6) is korvanta(6)" ||
    fail "no korvanta-launch.6.gz link"
fi

[ $failures = 0 ] && echo "all passed" || echo "$failures failed"
[ $failures = 0 ]
