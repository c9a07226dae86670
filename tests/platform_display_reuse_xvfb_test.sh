#!/usr/bin/env bash
# A second copy of a program is refused on its desktop, and only there: an X
# server started under the number of one that has gone (Xvfb -displayfd takes
# the lowest free number, so parallel tests get numbers used a moment ago) is
# a desktop of its own, although a program of the old server has not ended
# yet. Such a leftover once made a test's program quit as a second copy.
#   bash tests/platform_display_reuse_xvfb_test.sh BUILD_DIR
set -u
build=$(cd "${1:?build directory}" && pwd)
probe="$build/tools/gl_device_probe"

for tool in Xvfb iconv xdpyinfo; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 0; }
done
[ -x "$probe" ] || { echo "FAIL: $probe was not built"; exit 1; }

. "$(dirname "$0")/gl_xvfb_lib.sh" reuse
leftover=""
finish() {
    # A stopped process ends only by SIGKILL.
    [ -n "$leftover" ] && kill -KILL "$leftover" 2>/dev/null
    cleanup
}
trap finish EXIT

# Runs the probe (memory path) in folder $1 on display $2, held $3 seconds,
# in the background; its pid goes to $started once it has its window.
started=""
start_probe() {
    local folder="$work/$1"
    mkdir -p "$folder"
    (cd "$folder" && exec env DISPLAY="$2" KORVANTA_GRAPHICS=software "$probe" --hold "$3" >out 2>err) &
    started=$!
    for _ in $(seq 300); do
        grep -q '^started\|^failed' "$folder/out" 2>/dev/null && break
        sleep 0.1
    done
}
log_of() { iconv -f CP932 -t UTF-8 "$work/$1/Log.txt" 2>/dev/null; }

start_server 24 640x480
old_server=${servers[0]}
number=${display#:}
start_probe old "$display" 60
leftover=$started
grep -q '^started' "$work/old/out" || { echo "FAIL: the first probe did not start: $(cat "$work/old/out")"; exit 1; }

# The old program stays (stopped) while its server goes.
kill -STOP "$leftover"
kill "$old_server"
wait "$old_server" 2>/dev/null
servers=()
Xvfb ":$number" -nolisten tcp -screen 0 640x480x24 2>"$work/xvfb-again.log" &
servers+=($!)
for _ in $(seq 100); do
    [ -S "/tmp/.X11-unix/X$number" ] && DISPLAY=":$number" xdpyinfo >/dev/null 2>&1 && break
    kill -0 "${servers[0]}" 2>/dev/null || break
    sleep 0.1
done
if ! kill -0 "${servers[0]}" 2>/dev/null; then
    # Another process took the number in between: nothing to see here.
    echo "SKIPPED: display :$number was taken by another server before ours started again"
    exit 0
fi

# Held until the second copy has been tried, however slow the machine.
start_probe new ":$number" 60
new=$started
if grep -q '^started' "$work/new/out" && log_of new | grep -q '二重起動はされていませんでした'; then
    pass "a program of a server gone does not count as a running copy on the new server of its number"
else
    fail "the new server's program was taken for a second copy: $(cat "$work/new/out") $(log_of new | grep 二重起動)"
fi
start_probe second ":$number" 0
if grep -q '^failed' "$work/second/out" && log_of second | grep -q '二重起動されています、ソフトを終了します'; then
    pass "a second copy on the same server is still refused"
else
    fail "a second copy on the same server started: $(cat "$work/second/out")"
fi
kill "$new" 2>/dev/null
wait "$new" 2>/dev/null

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all passed"
