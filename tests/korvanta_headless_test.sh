#!/usr/bin/env bash
# The program korvanta on the headless desktop: its options, the start-up and
# shutdown lines of a fresh process in order, Escape-then-a-key and the close
# button ending with 0, B starting a battle, and a second copy on the same
# desktop refused with 255.
set -uo pipefail

build="${1:?usage: korvanta_headless_test.sh BUILD-DIR}"
korvanta="$(cd "$build" && pwd)/app/korvanta"
[ -x "$korvanta" ] || { echo "FAIL: $korvanta not built"; exit 1; }

work="$(mktemp -d /tmp/korvanta-headless-XXXXXX)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
desktop="headless-test-$$"

log_utf8() { iconv -f CP932 -t UTF-8 "$1/Log.txt" | tr -d '\r' | sed 's/^-\{0,1\}[0-9]*://'; }

# Checks that the lines $2... (whole lines, timestamps removed) appear in the
# log of folder $1 in this order.
expect_lines_in_order() {
  local dir=$1
  shift
  local log line=0 found
  log="$(log_utf8 "$dir")"
  for text in "$@"; do
    found="$(printf '%s\n' "$log" | awk -v from="$line" -v text="$text" 'NR > from && $0 == text { print NR; exit }')"
    if [ -z "$found" ]; then
      fail "log of $(basename "$dir"): line '$text' missing after line $line"
      return
    fi
    line=$found
  done
  pass "log of $(basename "$dir"): $# lines in order"
}

# Runs korvanta in folder $1 with script text $2 (at most 60 s); prints the
# exit status.
run_script() {
  local dir=$1 script=$2
  mkdir -p "$dir"
  printf '%b' "$script" >"$dir/script.txt"
  (cd "$dir" && timeout 60 "$korvanta" --headless --script script.txt --desktop "$desktop" \
    >"$dir/stdout" 2>"$dir/stderr")
  echo $?
}

# ---------------------------------------------------------------- options
"$korvanta" --help >"$work/help" 2>&1
status=$?
[ $status = 0 ] && grep -q -- "--headless" "$work/help" && pass "--help" || fail "--help: status $status"

"$korvanta" --headless >"$work/out" 2>&1
status=$?
[ $status = 2 ] && grep -q -- "--script" "$work/out" && pass "--headless alone refused with 2" ||
  fail "--headless alone: status $status"

grep -q -- "--seed S" "$work/help" && pass "--help names --seed" || fail "--help does not name --seed"
for bad in "--seed" "--seed x1" "--seed -" "--seed 1.5"; do
  # shellcheck disable=SC2086
  "$korvanta" $bad >"$work/out" 2>&1
  status=$?
  [ $status = 2 ] && grep -q -- "--seed" "$work/out" && pass "'$bad' refused with 2" || fail "'$bad': status $status"
done

"$korvanta" --bogus >"$work/out" 2>&1
status=$?
[ $status = 2 ] && grep -q -- "--bogus" "$work/out" && pass "unknown option refused with 2" ||
  fail "unknown option: status $status"

printf 'jump 3\n' >"$work/bad-script.txt"
"$korvanta" --headless --script "$work/bad-script.txt" >"$work/out" 2>&1
status=$?
[ $status = 2 ] && grep -q "line 1" "$work/out" && pass "bad script refused with 2" ||
  fail "bad script: status $status"

env -u DISPLAY -u WAYLAND_DISPLAY "$korvanta" >"$work/out" 2>&1
status=$?
[ $status = 1 ] && grep -q "no display (DISPLAY/WAYLAND_DISPLAY unset); use --headless --script FILE" "$work/out" &&
  pass "no display: status 1 with a clear message" || fail "no display: status $status"

# ---------------------------------------------------------------- Escape, then a key
# Frames stop once Escape is seen, so the waits after it count milliseconds.
escape="$work/escape"
status="$(run_script "$escape" 'wait 5 frames\nkey down B\nwait 3 frames\nkey up B\nwait 3 frames\nkey down ESC\nwait 100 ms\nkey up ESC\nwait 100 ms\nkey down N\nwait 100 ms\nkey up N\n')"
[ "$status" = 0 ] && pass "Escape then N ends with 0" || fail "Escape then N: status $status"
expect_lines_in_order "$escape" \
  "システムの情報を出力します" \
  "	Ｖｅｘｉｌ Ver3.03" \
  "ＣＯＭの初期化... 成功しました" \
  "タイマーの精度を検査します" \
  " ソフトの二重起動検査... 二重起動はされていませんでした" \
  "ウインドウクラスを登録します... 登録に成功しました" \
  "ウインドウモード起動用のウインドウを作成します" \
  "ウインドウの作成に成功しました" \
  "ＩＭＥを無効にしました" \
  "DirectInput関係初期化処理" \
  "	DirectInput7 の取得中... 取得に失敗。" \
  "	エラーコード 0x80040154" \
  "" \
  "	DirectInput8 の取得を試みます...取得に失敗。DirectInput を使用しません。" \
  "	パッドの数は 0 個です" \
  "" \
  "入力関連の初期化をしました" \
  "文字コードバッファの初期化を行います... 完了しました" \
  "パイロットデータ読み込み" \
  "兵器データ読み込み" \
  "部隊データ読み込み" \
  "入力関連の終了処理... 完了" \
  "ウインドウを閉じようとしています" \
  "ウインドウが破棄されようとしています" \
  "ソフトを終了する準備が整いました" \
  "ＣＯＭを終了... 完了"
# B on the preparation screen starts the battle on the next frame.
after_data="$(log_utf8 "$escape" | awk '/^部隊データ読み込み$/ { getline; print; exit }')"
[ "$after_data" = "初期化処理" ] && pass "B started the battle" ||
  fail "line after the data: '$after_data'"

# ---------------------------------------------------------------- close button
closed="$work/closed"
status="$(run_script "$closed" 'wait 10 frames\nclose\n')"
[ "$status" = 0 ] && pass "close button ends with 0" || fail "close button: status $status"
expect_lines_in_order "$closed" "部隊データ読み込み" "ウインドウを閉じようとしています" "ＣＯＭを終了... 完了"

# ---------------------------------------------------------------- second copy
first="$work/first"
mkdir -p "$first"
printf 'wait 30000 ms\nclose\n' >"$first/script.txt"
(cd "$first" && exec "$korvanta" --headless --script script.txt --desktop "$desktop" >/dev/null 2>&1) &
first_pid=$!
pids+=("$first_pid")
for _ in $(seq 300); do
  [ -f "$first/Log.txt" ] && iconv -f CP932 -t UTF-8 "$first/Log.txt" 2>/dev/null | grep -q "部隊データ読み込み" && break
  sleep 0.1
done
second="$work/second"
status="$(run_script "$second" 'close\n')"
[ "$status" = 255 ] && pass "second copy ends with 255" || fail "second copy: status $status"
expect_lines_in_order "$second" " ソフトの二重起動検査... 二重起動されています、ソフトを終了します"
kill -0 "$first_pid" 2>/dev/null && pass "first copy runs on" || fail "first copy ended"
kill "$first_pid" 2>/dev/null

# A copy on another desktop is not disturbed by it.
other="$work/other"
mkdir -p "$other"
printf 'wait 5 frames\nclose\n' >"$other/script.txt"
(cd "$other" && timeout 60 "$korvanta" --headless --script script.txt --desktop "$desktop-other" >/dev/null 2>&1)
status=$?
[ "$status" = 0 ] && pass "another desktop starts" || fail "another desktop: status $status"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
