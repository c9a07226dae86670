#!/usr/bin/env bash
# korvanta in a real window on its own Xvfb: the window's place, size, title
# and fixed size; a second copy refused with 255; the close button and
# Escape-then-a-key (both tapped) and the window destroyed by another program
# each ending the program with 0; the log's start-up and shutdown lines in
# order; a click waking the window after the focus went away; of two copies
# started together only one running; the X server's end
# ending it with 1 (no hang, no fault at exit).
set -uo pipefail

build="${1:?usage: korvanta_xvfb_test.sh BUILD-DIR}"
build="$(cd "$build" && pwd)"
korvanta="$build/app/korvanta"
send_close="$build/tools/send_wm_delete"

for tool in Xvfb xdotool xwininfo xprop iconv; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed"
    exit 0
  fi
done
[ -x "$korvanta" ] || { echo "FAIL: $korvanta not built"; exit 1; }
[ -x "$send_close" ] || { echo "FAIL: $send_close not built"; exit 1; }

work="$(mktemp -d /tmp/korvanta-xvfb-XXXXXX)"
xvfb_pid=""
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# Our own X server; -displayfd writes the display number once it is ready.
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
unset WAYLAND_DISPLAY KORVANTA_SCALE

# Starts korvanta in folder $1, as a child of this shell; its pid goes to
# $started.
started=""
start_korvanta() {
  mkdir -p "$1"
  pushd "$1" >/dev/null || return
  "$korvanta" >"$1/stdout" 2>"$1/stderr" &
  started=$!
  popd >/dev/null || return
  pids+=("$started")
}

# Waits (at most 30 s) for the window titled Korvanta; prints its id.
find_window() {
  timeout 30 xdotool search --sync --onlyvisible --name '^Korvanta$' 2>/dev/null | head -n1
}

# Waits (at most $2 s) for child process $1 to end; its exit status, or
# "running", goes to $status.
status=""
wait_exit() {
  local pid=$1 limit=$2
  for _ in $(seq $((limit * 10))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      status=$?
      return
    fi
    sleep 0.1
  done
  status=running
}

log_utf8() { iconv -f CP932 -t UTF-8 "$1/Log.txt" | tr -d '\r'; }

# Waits (at most 30 s) for the program in folder $1 to reach its frame loop:
# the data is loaded just before it.
wait_frame_loop() {
  for _ in $(seq 300); do
    log_utf8 "$1" 2>/dev/null | grep -q "部隊データ読み込み" && return
    sleep 0.1
  done
}

# Checks that the fixed texts $2... appear in the log of folder $1 in this order.
expect_in_order() {
  local dir=$1
  shift
  local log
  log="$(log_utf8 "$dir")"
  local line=0
  for text in "$@"; do
    local found
    found="$(printf '%s\n' "$log" | awk -v from="$line" -v text="$text" 'NR > from && index($0, text) { print NR; exit }')"
    if [ -z "$found" ]; then
      fail "log of $(basename "$dir"): '$text' missing after line $line"
      return
    fi
    line=$found
  done
  pass "log of $(basename "$dir"): ${#} lines in order"
}

# ---------------------------------------------------------------- first copy
first="$work/first"
start_korvanta "$first"
first_pid=$started
window="$(find_window)"
if [ -z "$window" ]; then
  fail "no window titled Korvanta appeared"
  cat "$first/stderr"
  exit 1
fi
sleep 0.5  # let the window step settle its style and place

geometry="$(xwininfo -id "$window")"
width="$(awk '/^ *Width:/ { print $2 }' <<<"$geometry")"
height="$(awk '/^ *Height:/ { print $2 }' <<<"$geometry")"
left="$(awk '/Absolute upper-left X:/ { print $4 }' <<<"$geometry")"
top="$(awk '/Absolute upper-left Y:/ { print $4 }' <<<"$geometry")"
[ "$width" = 700 ] && [ "$height" = 400 ] && pass "client area 700 x 400" || fail "client area ${width} x ${height}"
# Centred: the client's middle is the desktop's middle, within the frame the
# window step allows for (at most a title bar's height off vertically).
centre_x=$((left + width / 2))
centre_y=$((top + height / 2))
if [ $((centre_x - 512)) -ge -2 ] && [ $((centre_x - 512)) -le 2 ] &&
   [ $((centre_y - 384)) -ge -2 ] && [ $((centre_y - 384)) -le 40 ]; then
  pass "centred at $left,$top"
else
  fail "not centred: client at $left,$top"
fi

title="$(xdotool getwindowname "$window")"
[ "$title" = Korvanta ] && pass "title Korvanta" || fail "title '$title'"

hints="$(xprop -id "$window" WM_NORMAL_HINTS)"
if grep -q "minimum size: 700 by 400" <<<"$hints" && grep -q "maximum size: 700 by 400" <<<"$hints"; then
  pass "not resizable"
else
  fail "size hints allow resizing: $hints"
fi

# ---------------------------------------------------------------- second copy
second="$work/second"
start_korvanta "$second"
second_pid=$started
wait_exit "$second_pid" 60
[ "$status" = 255 ] && pass "second copy ends with 255" || fail "second copy: status $status"
expect_in_order "$second" "ソフトの二重起動検査... 二重起動されています、ソフトを終了します"
kill -0 "$first_pid" 2>/dev/null && pass "first copy still runs" || fail "first copy ended"

# ---------------------------------------------------------------- close button
"$send_close" "$window" || fail "send_wm_delete failed"
wait_exit "$first_pid" 60
[ "$status" = 0 ] && pass "close button ends with 0" || fail "after the close button: status $status"
expect_in_order "$first" \
  "システムの情報を出力します" \
  "ＣＯＭの初期化... 成功しました" \
  "メモリ総量:" \
  "ソフトの二重起動検査... 二重起動はされていませんでした" \
  "ウインドウクラスを登録します... 登録に成功しました" \
  "ウインドウモード起動用のウインドウを作成します" \
  "ウインドウの作成に成功しました" \
  "ＩＭＥを無効にしました" \
  "DirectInput関係初期化処理" \
  "入力関連の初期化をしました" \
  "文字コードバッファの初期化を行います... 完了しました" \
  "ウインドウを閉じようとしています" \
  "ウインドウが破棄されようとしています" \
  "ソフトを終了する準備が整いました" \
  "入力関連の終了処理... 完了" \
  "ＣＯＭを終了... 完了"

# ---------------------------------------------------------------- Escape, then a key
third="$work/third"
start_korvanta "$third"
third_pid=$started
window="$(find_window)"
if [ -z "$window" ]; then
  fail "no window for the Escape run"
else
  sleep 0.5
  xdotool windowfocus "$window" 2>/dev/null
  # Taps: each key pressed and released at once (no delay between the two
  # events), so that one pump takes both.
  xdotool key --delay 0 Escape
  sleep 0.5
  kill -0 "$third_pid" 2>/dev/null && pass "Escape alone waits for another key" || fail "ended on Escape alone"
  xdotool key --delay 0 b
  wait_exit "$third_pid" 30
  [ "$status" = 0 ] && pass "Escape then B, both tapped, end with 0" || fail "Escape then B tapped: status $status"
fi

# ---------------------------------------------------------------- a click gives the focus back
# With no window manager, the focus taken away (here to the root window)
# comes back by nothing but the program itself: a click in its window must
# give the window the focus, as a click activates a window on the other
# system, or the program stays held as inactive for good.
focus="$work/focus"
start_korvanta "$focus"
focus_pid=$started
window="$(find_window)"
if [ -z "$window" ]; then
  fail "no window for the focus run"
else
  wait_frame_loop "$focus"
  xdotool windowfocus "$(xwininfo -root | awk '/Window id:/ { print $4 }')" 2>/dev/null
  # Time for the program to see the focus go: a click it took while still
  # active would pass for a click that woke it.
  sleep 1
  xdotool mousemove --window "$window" 350 300 click 1
  sleep 0.3
  xdotool key --delay 0 b
  for _ in $(seq 200); do
    log_utf8 "$focus" 2>/dev/null | grep -q "^[0-9]*:初期化処理" && break
    sleep 0.1
  done
  log_utf8 "$focus" | grep -q "^[0-9]*:初期化処理" && pass "a click in the window wakes it: B starts the battle" ||
    fail "after the focus went away, a click in the window did not wake the program"
  "$send_close" "$window"
  wait_exit "$focus_pid" 60
  [ "$status" = 0 ] || fail "focus run: status $status"
fi

# ---------------------------------------------------------------- window destroyed from outside
# xdotool windowclose destroys the X window under the program (as xkill -id
# and some window managers' "destroy" do). The program ends as after the
# close button: its own shutdown, status 0, no X error.
fourth="$work/fourth"
start_korvanta "$fourth"
fourth_pid=$started
window="$(find_window)"
if [ -z "$window" ]; then
  fail "no window for the destroyed-window run"
else
  # Destroyed once the frame loop runs (the data is loaded just before it).
  wait_frame_loop "$fourth"
  sleep 0.2
  xdotool windowclose "$window" 2>/dev/null
  wait_exit "$fourth_pid" 60
  [ "$status" = 0 ] && pass "a window destroyed from outside ends the program with 0" ||
    fail "window destroyed from outside: status $status"
  if grep -q "X Error" "$fourth/stderr"; then
    fail "window destroyed from outside: $(head -n 3 "$fourth/stderr")"
  fi
  expect_in_order "$fourth" \
    "ウインドウを閉じようとしています" \
    "ウインドウが破棄されようとしています" \
    "ソフトを終了する準備が整いました" \
    "入力関連の終了処理... 完了" \
    "ＣＯＭを終了... 完了" \
    "Alloc memory dump"
fi

# The same while the program waits for a key after Escape: no frame is
# presented then, so the loss is seen in the events alone, and the
# destruction of the window is still unanswered when the display closes.
waiting="$work/waiting"
start_korvanta "$waiting"
waiting_pid=$started
window="$(find_window)"
if [ -z "$window" ]; then
  fail "no window for the destroyed-while-waiting run"
else
  wait_frame_loop "$waiting"
  xdotool windowfocus "$window" 2>/dev/null
  xdotool key --delay 0 Escape
  sleep 0.5
  xdotool windowclose "$window" 2>/dev/null
  wait_exit "$waiting_pid" 60
  [ "$status" = 0 ] && pass "a window destroyed during the key wait ends the program with 0" ||
    fail "window destroyed during the key wait: status $status $(head -n 2 "$waiting/stderr")"
fi

# ---------------------------------------------------------------- two copies started together
# Started in the same instant, both would pass the check for a running copy
# before either had its window: exactly one may run. The hardware path loads
# the GL library between the check and the window, as a slow machine would
# take its time there.
export KORVANTA_GRAPHICS=gl
for round in 1 2 3; do
  mkdir -p "$work/pair-$round-a" "$work/pair-$round-b"
  start_korvanta "$work/pair-$round-a"
  pair_a=$started
  start_korvanta "$work/pair-$round-b"
  pair_b=$started
  # Until one of them has ended, or both show a window.
  for _ in $(seq 600); do
    kill -0 "$pair_a" 2>/dev/null && kill -0 "$pair_b" 2>/dev/null || break
    [ "$(xdotool search --onlyvisible --name '^Korvanta$' 2>/dev/null | wc -l)" -ge 2 ] && break
    sleep 0.1
  done
  if kill -0 "$pair_a" 2>/dev/null && kill -0 "$pair_b" 2>/dev/null; then
    fail "copies started together, round $round: both run"
  else
    if kill -0 "$pair_a" 2>/dev/null; then
      winner=$pair_a loser=$pair_b
    else
      winner=$pair_b loser=$pair_a
    fi
    wait_exit "$loser" 10
    if [ "$status" = 255 ] && kill -0 "$winner" 2>/dev/null; then
      pass "copies started together, round $round: one runs, the other ends with 255"
    else
      fail "copies started together, round $round: the second one's status is $status, the first one has ended too"
    fi
  fi
  find_window >/dev/null  # the one that runs has its window up
  for window in $(xdotool search --name '^Korvanta$' 2>/dev/null); do "$send_close" "$window"; done
  wait_exit "$pair_a" 60
  status_a=$status
  wait_exit "$pair_b" 60
  [ "$status_a" != running ] && [ "$status" != running ] || fail "copies started together, round $round: not ended by the close button"
done
unset KORVANTA_GRAPHICS

# ---------------------------------------------------------------- the X server goes away
# Last, since it ends our Xvfb. Xlib ends the program (status 1, as without a
# display); its exit must neither wait for ever on the dead connection nor
# touch what the exit has freed already.
fifth="$work/fifth"
start_korvanta "$fifth"
fifth_pid=$started
window="$(find_window)"
if [ -z "$window" ]; then
  fail "no window for the server-gone run"
else
  wait_frame_loop "$fifth"
  kill "$xvfb_pid"
  wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
  wait_exit "$fifth_pid" 60
  [ "$status" = 1 ] && pass "the X server gone: status 1" || fail "the X server gone: status $status"
  if grep -q -E "Sanitizer|runtime error" "$fifth/stderr"; then
    fail "the X server gone: $(grep -m 3 -E "Sanitizer|runtime error|#[0-9] " "$fifth/stderr")"
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
