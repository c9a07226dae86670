# Shared by the korvanta session tests: running scripted sessions on the
# headless desktop, the battle lines of a log, the same battle from
# korvanta-battle, and pixels of screenshots. Source it after setting $build.

# The user's window scale would change the windowed sessions' pictures.
unset KORVANTA_SCALE
korvanta="$(cd "$build" && pwd)/app/korvanta"
battle="$(cd "$build" && pwd)/app/korvanta-battle"
source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
probe="$source_dir/tests/png_probe.py"
source "$source_dir/tests/battle_log_lib.sh"
for program in "$korvanta" "$battle"; do
  [ -x "$program" ] || { echo "FAIL: $program not built"; exit 1; }
done

work="$(mktemp -d /tmp/korvanta-session-XXXXXX)"
chmod 755 "$work"
cleanup() {
  chmod -R u+w "$work" 2>/dev/null
  [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
  exit 0
}

# ---------------------------------------------------------------- script pieces
# Generous waits throughout: a press is held for several frames and the
# battle (at most 43 frames) is given 100.
click() { printf 'mouse move %d %d\nwait 3 frames\nbutton down left\nwait 3 frames\nbutton up left\nwait 3 frames\n' "$1" "$2"; }
# Opens the list of army $1 (0 or 1), row $2 (0 to 2) and picks entry $3.
choose() {
  local y=$(($1 * 100 + 40 + $2 * 20))
  click 130 $((y + 10))
  click 190 $((y + 10 + 20 * $3))
}
press() { printf 'key down %s\nwait 3 frames\nkey up %s\nwait 3 frames\n' "$1" "$1"; }
fight() { press B; printf 'wait 100 frames\n'; }
# Escape and one more key; no frames run after Escape, so the waits count time.
quit() { printf 'key down ESC\nwait 200 ms\nkey up ESC\nwait 200 ms\nkey down SPACE\nwait 200 ms\nkey up SPACE\n'; }

# ---------------------------------------------------------------- running
desktop_counter=0
# Runs korvanta in folder $1 (created, with PIC/ unless NO_PIC is set) on the
# script text $2 with seed $SEED (default 42); extra arguments follow. Sets
# $status.
run_session() {
  local dir=$1 script=$2
  shift 2
  mkdir -p "$dir"
  [ -n "${NO_PIC:-}" ] || [ -e "$dir/PIC" ] || ln -s "$source_dir/PIC" "$dir/PIC"
  printf '%s' "$script" >"$dir/script.txt"
  desktop_counter=$((desktop_counter + 1))
  (cd "$dir" && timeout 120 "$korvanta" --seed "${SEED:-42}" --headless --script script.txt \
    --desktop "session-$$-$desktop_counter" "$@" >"$dir/stdout" 2>"$dir/stderr")
  status=$?
}

# True when the log's lines after line $2 of the battle's lines hold the
# program's shutdown and no further battle line.
nothing_but_shutdown_after() {
  local rest
  rest="$(battle_lines "$1" | tail -n +"$(($2 + 1))")"
  grep -q -x "入力関連の終了処理... 完了" <<<"$rest" && ! grep -q -E "$battle_pattern" <<<"$rest"
}

# A battle cut short: sets $reference (korvanta-battle "$@" with the same seed,
# run in $1/reference), $actual (folder $1's battle lines) and $count; true
# when the battle lines are the first $count of the reference and only the
# program's shutdown follows.
cut_battle() {
  local dir=$1
  shift
  reference_dir="$dir/reference"
  reference="$(reference_lines "$@")"
  actual="$(battle_only "$dir")"
  count="$(printf '%s\n' "$actual" | wc -l)"
  [ "$(printf '%s\n' "$reference" | head -n "$count")" = "$actual" ] && nothing_but_shutdown_after "$dir" "$count"
}

# The battle lines of folder $1 begin with those of korvanta-battle "$@"
# (same seed) and only the program's shutdown follows: the session fought
# that battle and nothing else.
expect_same_battle() {
  local dir=$1
  shift
  reference_dir="$dir/reference"
  local reference actual count next
  reference="$(reference_lines "$@")" || { fail "$(basename "$dir"): korvanta-battle $* failed"; return; }
  actual="$(battle_lines "$dir")"
  count="$(printf '%s\n' "$reference" | wc -l)"
  if [ "$count" -lt 20 ]; then
    fail "$(basename "$dir"): korvanta-battle $* gave only $count lines"
  elif [ "$(printf '%s\n' "$actual" | head -n "$count")" != "$reference" ]; then
    fail "$(basename "$dir"): battle lines differ from korvanta-battle --seed ${SEED:-42} $*"
    diff <(printf '%s\n' "$actual" | head -n "$count") <(printf '%s\n' "$reference") | head -n 10
  else
    if nothing_but_shutdown_after "$dir" "$count"; then
      pass "$(basename "$dir"): $count battle lines equal korvanta-battle --seed ${SEED:-42} $*"
    else
      fail "$(basename "$dir"): more battle lines follow, or no shutdown"
    fi
  fi
}

# Pixel colours "r,g,b" of screenshot $1 at the points "x,y" that follow.
pixels() { python3 "$probe" "$@"; }

# expect_pixels FILE "x,y=r,g,b" ...: every listed pixel has that colour.
expect_pixels() {
  local file=$1
  shift
  [ -f "$file" ] || { fail "no screenshot $file"; return; }
  local point colour got bad=0
  for spec in "$@"; do
    point=${spec%%=*}
    colour=${spec#*=}
    got="$(pixels "$file" "$point")"
    if [ "$got" != "$colour" ]; then
      fail "$(basename "$file") at $point: $got, expected $colour"
      bad=1
    fi
  done
  [ $bad = 0 ] && pass "$(basename "$file"): $# pixels as expected"
}
