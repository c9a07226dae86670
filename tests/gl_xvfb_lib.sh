# Sourced by the hardware path's Xvfb tests: a work folder (kept with
# KEEP_WORK=1), private Xvfb servers and the program in `program`, all gone
# at the end, and the pass/fail count.
#   . tests/gl_xvfb_lib.sh NAME     (the work folder is /tmp/korvanta-NAME-*)
# Mesa loads its driver (and LLVM) with dlopen. AddressSanitizer's
# __tls_get_addr interception then records a bogus dynamic TLS block for some
# thread, and LeakSanitizer's tracer dies of SIGSEGV reading it at exit
# ("Tracer caught signal 11", "DTLS ... at 0x...1616"), failing a probe that
# ended cleanly. Without the interception the leak check still scans every
# thread's static TLS and stacks.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}intercept_tls_get_addr=0"
# The user's window scale would change every window and picture checked.
unset KORVANTA_SCALE

work=$(mktemp -d "/tmp/korvanta-${1:?work name}-XXXXXX")
servers=()
program=""
cleanup() {
    # The program goes before its server: one left running would hold its
    # window class on a display number the next server may take at once.
    if [ -n "$program" ]; then
        kill "$program" 2>/dev/null
        wait "$program" 2>/dev/null
    fi
    for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# Starts an Xvfb of depth $1 and size $2 (default 1024x768); its display
# goes to $display.
display=""
start_server() {
    local file="$work/display-$1"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 "${2:-1024x768}x$1" 3>"$file" 2>"$work/xvfb-$1.log" &
    servers+=($!)
    for _ in $(seq 100); do
        [ -s "$file" ] && break
        sleep 0.1
    done
    [ -s "$file" ] || { echo "FAIL: Xvfb of depth $1 did not start"; exit 1; }
    display=":$(head -n1 "$file")"
}
