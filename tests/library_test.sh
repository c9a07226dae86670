#!/usr/bin/env bash
# The media layer as a library for other programs: the plain build's media
# library (the package test's folder, so that the two compile it once) is
# installed with its development files into a temporary prefix, which is then
# moved, as an unpacked tree may be. examples/hello is built against the
# moved tree twice, with CMake (find_package(KorvantaMedia)) and with one
# compiler command through pkg-config; each build runs headless from a folder
# of its own, writes Log.txt there, ends on Escape and shows exactly the
# committed picture tests/data/library/hello.png. A missing tool skips the
# test with a line (and fails it under CI=true).
set -uo pipefail

build="$(cd "${1:?usage: library_test.sh BUILD-DIR}" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")"

# shellcheck source=plain_build_lib.sh
source "$here/plain_build_lib.sh"
require_tools "the library test" cmake g++ pkg-config python3
start_checks library

# ---------------------------------------------------------------- the library
# Configured as tests/package_test.sh configures it (CTest keeps the two
# apart with a resource lock); only the library is compiled here.
configure_plain
if ! cmake --build "$plain" -j"$(nproc)" --target korvanta_media >"$work/build.out" 2>&1; then
  tail -n 30 "$work/build.out"
  fail "building the media library"
  finish
fi

installed="$work/installed"
if ! cmake --install "$plain" --component dev --prefix "$installed" >"$work/install.out" 2>&1; then
  cat "$work/install.out"
  fail "cmake --install --component dev"
  finish
fi
# The tree must work wherever it lands: nothing in it may name its first place.
prefix="$work/moved"
mv "$installed" "$prefix"
pc="$(find "$prefix" -name korvanta-media.pc)"
for file in include/korvanta/media.h "$(find "$prefix" -name libkorvanta_media.a -printf '%P')" \
  "$(find "$prefix" -name KorvantaMediaConfig.cmake -printf '%P')" "${pc#"$prefix/"}"; do
  [ -n "$file" ] && [ -f "$prefix/$file" ] && pass "$file installed" || fail "missing: '$file' under the prefix"
done
internals="$(find "$prefix/include" -path '*/media/*' -o -path '*/app/*')"
[ -z "$internals" ] && pass "no floor's header installed" || fail "installed: $internals"
grep -rl "$installed" "$prefix" >"$work/named" && fail "files naming the install folder: $(cat "$work/named")" ||
  pass "no installed file names the install folder"

# ---------------------------------------------------------------- the example, twice
hello="$source_dir/examples/hello"
if cmake -S "$hello" -B "$work/cmake-build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" \
  >"$work/hello-configure.out" 2>&1 && cmake --build "$work/cmake-build" >"$work/hello-build.out" 2>&1; then
  pass "examples/hello built with find_package(KorvantaMedia)"
else
  cat "$work/hello-configure.out" "$work/hello-build.out" | tail -n 30
  fail "examples/hello with CMake"
fi

mkdir "$work/pc-build"
flags="$(PKG_CONFIG_PATH="$(dirname "$pc")" pkg-config --cflags --libs --static korvanta-media)" ||
  fail "pkg-config knows no korvanta-media"
# shellcheck disable=SC2086  # the flags are words
if g++ -O2 -o "$work/pc-build/hello" "$hello/hello.cpp" $flags >"$work/pc-build.out" 2>&1; then
  pass "examples/hello built with g++ ... \$(pkg-config --cflags --libs --static korvanta-media)"
else
  cat "$work/pc-build.out" | tail -n 30
  fail "examples/hello with pkg-config"
fi

# Draw a few frames, take the screenshot, then Escape: the program must end
# by itself (the timeout would say it did not).
printf 'wait 10 frames\nscreenshot shot.png\nkey down ESC\nwait 2 frames\nkey up ESC\n' >"$work/script.txt"
for kind in cmake pc; do
  program="$work/$kind-build/hello"
  [ -x "$program" ] || continue
  folder="$work/run-$kind"
  mkdir "$folder"
  cp "$hello/hello.png" "$folder/"
  (cd "$folder" && env -u DISPLAY -u WAYLAND_DISPLAY -u KORVANTA_LOG_ECHO KORVANTA_HEADLESS_DESKTOP="library-$$-$kind" \
    timeout 120 "$program" --headless --script "$work/script.txt" >"$work/$kind.out" 2>&1)
  status=$?
  [ $status = 0 ] && pass "$kind: hello ended on Escape with 0" || { fail "$kind: hello: status $status"; cat "$work/$kind.out"; }
  [ -s "$folder/Log.txt" ] && pass "$kind: Log.txt in the working folder" || fail "$kind: no Log.txt in the working folder"
  if [ -f "$folder/shot.png" ] && out="$(python3 "$here/scaled_image_compare.py" "$here/data/library/hello.png" "$folder/shot.png" 1)"; then
    pass "$kind: the screenshot is tests/data/library/hello.png"
  else
    fail "$kind: the screenshot differs from tests/data/library/hello.png: ${out:-no shot.png}"
    mkdir -p "$build/library_test" && cp "$folder/shot.png" "$build/library_test/hello-$kind.png" 2>/dev/null &&
      echo "  (kept as $build/library_test/hello-$kind.png)"
  fi
done

finish
