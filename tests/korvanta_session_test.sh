#!/usr/bin/env bash
# Whole sessions of korvanta on the headless desktop: the shipped demo
# session fights exactly the battle of korvanta-battle with the same seed and
# squads, its screenshots show the preparation screen and the boxes where
# they belong; without PIC/ the buttons still work; in a read-only folder the
# program runs and only the log is lost.
set -uo pipefail
build="${1:?usage: korvanta_session_test.sh BUILD-DIR}"
source "$(dirname "$0")/korvanta_session_lib.sh"

white=255,255,255
black=0,0,0
# The raw box colours 255 and 65280 on the 16-bit screen, widened.
blue=0,28,255
yellow=255,227,0
# The face of the released button picture on the 16-bit screen.
released=148,150,165

# ---------------------------------------------------------------- the demo session
demo="$work/demo"
run_session "$demo" "$(cat "$source_dir/demo/session.txt")"
[ "$status" = 0 ] && pass "demo session ends with 0" || fail "demo session: status $status"
expect_same_battle "$demo" --army1 1,2,0 --army2 2,0,1
# The last list (army 2, row 3: top line 180) is open, the other rows' frames
# around it; the list box is black inside, away from its texts.
expect_pixels "$demo/prep.png" \
  0,45=$white 139,45=$white 70,39=$white 70,199=$white 0,185=$white \
  140,180=$white 239,180=$white 140,199=$white 239,219=$white 190,219=$white 237,217=$black \
  240,190=$black 70,110=$black
# The button pictures, with the row frame drawn over their right column.
expect_pixels "$demo/prep.png" 123,43=$released 120,40=231,231,247 123,163=$released 139,45=$white 139,165=$white
grep -q "グラフィックファイル" <(log_text "$demo") && fail "demo: a picture did not load"
# Machines that live to the end with seed 42 (the final durability lines):
# army A's squad 0 machine 2 (type 1) and squad 1 machine 0 (type 139), army
# B's squad 2 machines 1 and 2 (type 1).
expect_pixels "$demo/battle.png" \
  120,10=$blue 129,59=$blue 55,20=$yellow 50,0=$yellow 59,49=$yellow 215,180=$blue 229,209=$blue \
  130,30=$black 0,45=$black
grep -q "ヴォルテ(3)の耐久力は4" <(log_text "$demo") || fail "demo: the expected survivors changed (seed 42)"

# ---------------------------------------------------------------- without PIC/
nopic="$work/nopic"
session="$(choose 0 0 1; choose 1 2 0; printf 'mouse move 600 300\nwait 5 frames\nscreenshot prep.png\n'; fight; quit)"
# Any integer seeds by its low 32 bits, as korvanta-battle takes it:
# 4294967291 is -5 there.
SEED=4294967291 NO_PIC=1 run_session "$nopic" "$session"
[ "$status" = 0 ] && pass "without PIC/: ends with 0" || fail "without PIC/: status $status"
SEED=-5 expect_same_battle "$nopic" --army1 2,0,0 --army2 0,0,1
expect_pixels "$nopic/prep.png" 125,45=$black 130,50=$black 135,55=$black 139,50=$white
# Both missing pictures are named where the start loads them, before the data.
missing="$(log_text "$nopic" | grep -A2 -x 'グラフィックファイル .\\PIC\\button.png がありません')"
[ "$missing" = "$(printf '%s\n' 'グラフィックファイル .\PIC\button.png がありません' \
  'グラフィックファイル .\PIC\button2.png がありません' 'パイロットデータ読み込み')" ] &&
  pass "without PIC/: both pictures logged missing, before the data" ||
  fail "without PIC/: the missing-picture lines: '$missing'"

# ---------------------------------------------------------------- read-only folder
# Root writes anywhere: the program runs as nobody (uid 65534), for whom the
# folder is read-only. The clone may lie on a path nobody cannot traverse (a
# 0700 home folder), so all nobody must reach is copied into $work (mode 755):
# the program, the script, the leak suppressions and PIC/.
readonly_case() {
  local as_other_user=() dir="$work/readonly" program="$work/bin/korvanta" lsan_options="${LSAN_OPTIONS:-}" supp
  if [ "$(id -u)" = 0 ]; then
    if command -v setpriv >/dev/null && setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
      as_other_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    elif command -v runuser >/dev/null && runuser -u "$(id -nu 65534 2>/dev/null)" -- true 2>/dev/null; then
      as_other_user=(runuser -u "$(id -nu 65534)" --)
    else
      echo "skip: read-only folder: running as root and cannot drop to uid 65534 (no working setpriv or runuser)"
      return
    fi
  fi
  mkdir -p "$work/bin" "$dir"
  cp "$korvanta" "$program" && chmod 755 "$work/bin" "$program"
  cp -R "$source_dir/PIC" "$dir/PIC" && chmod -R a+rX "$dir/PIC"
  chmod 555 "$dir"
  printf '%s' "$(choose 0 0 0; fight; quit)" >"$work/readonly-script.txt"
  chmod 644 "$work/readonly-script.txt"
  supp="$(sed -nE 's/(^|.*:)suppressions=([^:]*).*/\2/p' <<<"$lsan_options")"
  if [ -n "$supp" ]; then
    cp "$supp" "$work/lsan.supp" && chmod 644 "$work/lsan.supp"
    lsan_options="${lsan_options/suppressions=$supp/suppressions=$work/lsan.supp}"
  fi
  (cd "$dir" && LSAN_OPTIONS="$lsan_options" timeout 120 "${as_other_user[@]}" "$program" --seed 42 --headless \
    --script "$work/readonly-script.txt" --desktop "session-$$-readonly" >"$work/readonly.out" 2>"$work/readonly.err")
  status=$?
  [ "$status" = 0 ] && pass "read-only folder: ends with 0" || { fail "read-only folder: status $status"; head "$work/readonly.err"; }
  [ ! -e "$dir/Log.txt" ] && pass "read-only folder: no log" || fail "read-only folder: a log appeared"
  # Not a secret: one line names the log, the reason and that the run went on.
  [ "$(grep -c 'cannot be written' "$work/readonly.err")" = 1 ] &&
    grep -qF "korvanta: the log $dir/Log.txt cannot be written: Permission denied; the run goes on without it" "$work/readonly.err" &&
    pass "read-only folder: the lost log is named once on standard error" ||
    { fail "read-only folder: standard error does not name the lost log once"; head "$work/readonly.err"; }
}
readonly_case

finish
