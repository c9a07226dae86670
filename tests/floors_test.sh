#!/usr/bin/env bash
# The floors of the code base (tools/check_floors.py): main keeps every
# include and every call pointing down and docs/floors.dot drawn from the
# table; an upward include planted in a copy of the sources fails the check
# and names the file, and so do an example's include of a floor's header
# (examples see the public headers only) and an upward call hidden behind a
# forward declaration, found in the object files.
#   bash tests/floors_test.sh BUILD_DIR
set -u
build=$(cd "${1:?build directory}" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
check="$source_dir/tools/check_floors.py"
for tool in python3 nm c++filt; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 0; }
done
work=$(mktemp -d /tmp/korvanta-floors-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

if out=$(python3 "$check" --source "$source_dir" --build "$build" --dot-file "$source_dir/docs/floors.dot"); then
    pass "the sources and objects keep their floors: $out"
else
    fail "the floors are broken: $out"
fi

# An include planted in a fresh copy of the sources must fail the check and
# be named. plant_include FILE LINE PATTERN WHAT
plant_include() {
    rm -rf "$work/src"
    mkdir -p "$work/src"
    cp -r "$source_dir/media" "$source_dir/app" "$source_dir/include" "$source_dir/examples" "$work/src/"
    echo "$2" >>"$work/src/$1"
    out=$(python3 "$check" --source "$work/src")
    status=$?
    if [ $status = 1 ] && grep -q "$3" <<<"$out"; then
        pass "$4 fails and is named: $out"
    else
        fail "$4: status $status: $out"
    fi
}
# An include that climbs.
plant_include media/graphics/draw.cpp '#include "media/system/window.h"' \
    "^floors: media/graphics/draw.cpp:[0-9]* includes media/system/window.h: graphics may not include system" \
    "a planted upward include"
# An example is built against the installed library: it may include the
# public headers only, not a floor's, even one under them.
plant_include examples/hello/hello.cpp '#include <media/log/log.h>' \
    "^floors: examples/hello/hello.cpp:[0-9]* includes media/log/log.h: examples may include only facade" \
    "an example including a floor's header"

# A call that climbs behind a forward declaration: no include shows it, the
# object file's undefined symbol does.
objects="$work/build/media/CMakeFiles/korvanta_media.dir"
mkdir -p "$objects/graphics" "$objects/system"
cp "$build/media/CMakeFiles/korvanta_media.dir/system/window.cpp.o" "$objects/system/"
printf 'namespace media { int ApplyMainWindowStyle(); }\nint Restyle() { return media::ApplyMainWindowStyle(); }\n' >"$work/hidden.cpp"
if ! c++ -c "$work/hidden.cpp" -o "$objects/graphics/hidden.cpp.o"; then
    fail "the planted object could not be compiled"
else
    rm -rf "$work/src"
    mkdir -p "$work/src"
    cp -r "$source_dir/media" "$source_dir/app" "$work/src/"
    out=$(python3 "$check" --source "$work/src" --build "$work/build")
    status=$?
    if [ $status = 1 ] && grep -q "^floors: media/graphics/hidden.cpp calls media::ApplyMainWindowStyle(), defined on system" <<<"$out"; then
        pass "a forward-declared upward call fails and is named: $out"
    else
        fail "forward-declared upward call: status $status: $out"
    fi
fi

[ $failures = 0 ] || exit 1
echo "all passed"
