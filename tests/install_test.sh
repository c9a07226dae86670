#!/usr/bin/env bash
# cmake --install into a temporary prefix: what lands where (and that the
# probes do not), the installed korvanta finding its pictures under
# share/korvanta when started from a folder without PIC/, and the menu
# launcher's state folder and single start.
set -uo pipefail

build="$(cd "${1:?usage: install_test.sh BUILD-DIR}" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d /tmp/korvanta-install-XXXXXX)"
holder=""
cleanup() {
  [ -n "$holder" ] && kill "$holder" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
log_utf8() { iconv -f CP932 -t UTF-8 "$1" | tr -d '\r' | sed 's/^-\{0,1\}[0-9]*://'; }

prefix="$work/prefix"
if ! cmake --install "$build" --prefix "$prefix" >"$work/install.out" 2>&1; then
  cat "$work/install.out"
  echo "FAIL: cmake --install failed"
  exit 1
fi

for file in games/korvanta games/korvanta-battle games/korvanta-launch bin/korvanta-image; do
  [ -x "$prefix/$file" ] && pass "$file installed" || fail "$file missing"
done
for file in share/korvanta/PIC/button.png share/korvanta/PIC/button2.png share/korvanta/demo/session.txt; do
  [ -f "$prefix/$file" ] && pass "$file installed" || fail "$file missing"
done
id=org.korvanta.korvanta
for file in share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/48x48/apps/$id.png share/icons/hicolor/128x128/apps/$id.png share/icons/hicolor/256x256/apps/$id.png \
  share/doc/korvanta/copyright share/doc/korvanta/changelog.gz; do
  [ -f "$prefix/$file" ] && pass "$file installed" || fail "$file missing"
done
if command -v help2man >/dev/null || [ "${CI:-}" = true ]; then
  for file in share/man/man6/korvanta.6.gz share/man/man6/korvanta-battle.6.gz share/man/man6/korvanta-launch.6.gz \
    share/man/man1/korvanta-image.1.gz; do
    [ -e "$prefix/$file" ] && pass "$file installed" || fail "$file missing"
  done
else
  echo "skipped: the man pages (help2man not installed)"
fi
# The media library's development files come along (tests/library_test.sh
# builds on them).
for file in include/korvanta/media.h libkorvanta_media.a KorvantaMediaConfig.cmake korvanta-media.pc; do
  [ -n "$(find "$prefix" -path "*$file")" ] && pass "$file installed" || fail "$file missing"
done
probes="$(find "$prefix" -name '*probe*' -o -name platform_demo -o -name send_wm_delete -o -name 'korvanta_tests')"
[ -z "$probes" ] && pass "no probes or tests installed" || fail "installed: $probes"

# ---------------------------------------------------------------- pictures from anywhere
# Started from a folder without PIC/: --version, then a headless session
# whose screenshot shows both rows' button pictures (the released face).
nopic="$work/nopic"
mkdir "$nopic"
out="$(cd "$nopic" && env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/games/korvanta" --version)"
[ $? = 0 ] && [[ "$out" == korvanta\ * ]] && [ -z "$(ls -A "$nopic")" ] &&
  pass "installed korvanta --version: '$out', no Log.txt" || fail "installed --version: '$out', folder: $(ls -A "$nopic")"

printf 'wait 20 frames\nmouse move 300 300\nwait 5 frames\nscreenshot shot.png\nclose\n' >"$work/script.txt"
(cd "$nopic" && timeout 120 "$prefix/games/korvanta" --headless --script "$work/script.txt" --desktop "install-$$" \
  >"$work/stdout" 2>"$work/stderr")
status=$?
[ $status = 0 ] && pass "headless session from a folder without PIC/ ends with 0" ||
  { fail "headless session: status $status"; cat "$work/stderr"; }
[ ! -e "$nopic/PIC" ] || fail "the session made a PIC folder"
if [ -f "$nopic/Log.txt" ]; then
  if log_utf8 "$nopic/Log.txt" | grep -E 'グラフィックファイル .* がありません|ロードできませんでした'; then
    fail "the log names a missing picture"
  else
    pass "the log names no missing picture"
  fi
else
  fail "no Log.txt in the working folder"
fi
[ ! -e "$prefix/share/korvanta/Log.txt" ] || fail "a log was written into share/korvanta"
faces="$(python3 "$here/png_probe.py" "$nopic/shot.png" 123,43 123,63 2>&1 | tr '\n' ' ')"
[ "$faces" = "148,150,165 148,150,165 " ] && pass "the button pictures are drawn" ||
  fail "button faces at 123,43 and 123,63: $faces (want 148,150,165)"

# The build tree's program has no such folder: without PIC/ it draws no buttons.
if [ -x "$build/app/korvanta" ]; then
  bare="$work/bare"
  mkdir "$bare"
  (cd "$bare" && timeout 120 "$build/app/korvanta" --headless --script "$work/script.txt" --desktop "install-bare-$$" \
    >/dev/null 2>&1)
  log_utf8 "$bare/Log.txt" | grep -q 'グラフィックファイル .*button.png がありません' &&
    pass "the build tree's korvanta still misses PIC/" || fail "the build tree's korvanta found pictures without PIC/"
fi

# ---------------------------------------------------------------- the launcher
# A relative XDG_STATE_HOME is ignored; the state folder is made and the
# program runs there; a second start while the lock is held runs nothing.
home="$work/home"
mkdir "$home"
out="$(cd "$work" && HOME="$home" XDG_STATE_HOME="relative/state" "$prefix/games/korvanta-launch" --version)"
[ $? = 0 ] && [[ "$out" == korvanta\ * ]] && [ -d "$home/.local/state/korvanta" ] && [ ! -e "$work/relative" ] &&
  pass "launcher: relative XDG_STATE_HOME ignored, ~/.local/state/korvanta made" || fail "launcher (relative): '$out'"
state="$work/state"
out="$(cd "$work" && HOME="$home" XDG_STATE_HOME="$state" "$prefix/games/korvanta-launch" --version)"
[ $? = 0 ] && [ -e "$state/korvanta/korvanta.lock" ] && pass "launcher: absolute XDG_STATE_HOME used" ||
  fail "launcher (absolute): '$out', $(ls -A "$state/korvanta" 2>&1)"
# The program runs in the state folder: the headless session's log lands there.
(cd "$work" && HOME="$home" XDG_STATE_HOME="$state" timeout 120 "$prefix/games/korvanta-launch" \
  --headless --script "$work/script.txt" --desktop "install-launch-$$" >/dev/null 2>&1)
[ -s "$state/korvanta/Log.txt" ] && [ ! -e "$work/Log.txt" ] && pass "launcher: the log lands in the state folder" ||
  fail "launcher: no Log.txt in $state/korvanta"
flock "$state/korvanta/korvanta.lock" sleep 60 &
holder=$!
for _ in $(seq 50); do
  flock -n "$state/korvanta/korvanta.lock" true 2>/dev/null || break
  sleep 0.1
done
out="$(HOME="$home" XDG_STATE_HOME="$state" "$prefix/games/korvanta-launch" --version)"
status=$?
[ $status != 0 ] && [ -z "$out" ] && pass "launcher: a second start while one runs starts nothing (status $status)" ||
  fail "launcher with the lock held: status $status, '$out'"

[ $failures = 0 ] && echo "all passed" || echo "$failures failed"
[ $failures = 0 ]
