#!/usr/bin/env bash
# The screens' edge cases in whole korvanta sessions on the headless desktop,
# each checked against the battle korvanta-battle fights with the same seed:
# one click in two overlapping open lists, a held mouse button, N only once
# the battle is over (and N held leaving before the melee turn), R held, B
# held when coming back, Escape while a list is open.
set -uo pipefail
build="${1:?usage: korvanta_edges_test.sh BUILD-DIR}"
source "$(dirname "$0")/korvanta_session_lib.sh"

white=255,255,255
black=0,0,0
# The faces of the released and the pressed button pictures.
released=148,150,165
pressed=107,109,123

count_lines() { log_text "$1" | grep -c -x -- "$2"; }

# ---------------------------------------------------------------- two open lists
# Army 1's rows 1 and 2 both open; y 70 is the upper list's second entry and
# the lower list's first.
overlap="$work/overlap"
session="$(click 130 50; click 130 70; printf 'mouse move 300 300\nwait 3 frames\nscreenshot open.png\n'
  click 190 70; printf 'mouse move 300 300\nwait 3 frames\nscreenshot picked.png\n'; choose 1 0 0; fight; quit)"
run_session "$overlap" "$session"
[ "$status" = 0 ] && pass "overlap: ends with 0" || fail "overlap: status $status"
expect_same_battle "$overlap" --army1 2,1,0 --army2 1,0,0
expect_pixels "$overlap/open.png" 140,40=$white 239,79=$white 239,99=$white
expect_pixels "$overlap/picked.png" 239,40=$black 239,79=$black 239,99=$black

# ---------------------------------------------------------------- held mouse button
# Pressed elsewhere and moved onto the button: no list. Then a list opened by
# a click, and a press dragged onto its second entry: no pick.
held="$work/held"
session="$(printf 'mouse move 300 300\nwait 3 frames\nbutton down left\nwait 3 frames\nmouse move 130 50\nwait 6 frames\nscreenshot onbutton.png\nbutton up left\nwait 3 frames\n'
  click 130 50
  printf 'mouse move 300 300\nwait 3 frames\nbutton down left\nwait 3 frames\nmouse move 190 70\nwait 6 frames\nbutton up left\nwait 3 frames\nscreenshot dragged.png\n'
  click 190 50; choose 1 0 1; fight; quit)"
run_session "$held" "$session"
[ "$status" = 0 ] && pass "held button: ends with 0" || fail "held button: status $status"
expect_pixels "$held/onbutton.png" 239,50=$black 140,40=$black
expect_pixels "$held/dragged.png" 239,50=$white 140,79=$white
expect_same_battle "$held" --army1 1,0,0 --army2 2,0,0

# ---------------------------------------------------------------- the pressed look
# The pressed picture shows for the first frames of a press on the button
# (at most three), the released one again while the button is still held.
look="$work/look"
session="$(printf 'mouse move 130 50\nwait 3 frames\nbutton down left\nwait 1 frames\nscreenshot pressed.png\nwait 6 frames\nscreenshot held.png\nbutton up left\nwait 3 frames\n'; quit)"
run_session "$look" "$session"
[ "$status" = 0 ] && pass "pressed look: ends with 0" || fail "pressed look: status $status"
expect_pixels "$look/pressed.png" 123,43=$pressed 123,63=$released 139,45=$white 239,79=$white
expect_pixels "$look/held.png" 123,43=$released 123,63=$released

# ---------------------------------------------------------------- N while the battle runs
# N pressed a few turns in changes nothing: the battle runs to its end and
# its screen stays; N afterwards goes back.
n_early="$work/n-early"
session="$(choose 0 0 0; choose 1 0 1; press B; printf 'wait 3 frames\n'; press N
  printf 'wait 100 frames\nscreenshot over.png\n'; press N; printf 'wait 5 frames\nscreenshot back.png\n'; quit)"
run_session "$n_early" "$session"
[ "$status" = 0 ] && pass "N early: ends with 0" || fail "N early: status $status"
expect_same_battle "$n_early" --army1 1,0,0 --army2 2,0,0
# The battle screen has no row frames; the preparation screen has.
expect_pixels "$n_early/over.png" 0,45=$black 70,39=$black
expect_pixels "$n_early/back.png" 0,45=$white 70,39=$white

# N held from the start leaves on the frame of the last shooting turn, which
# already returns 1: no melee turn.
n_held="$work/n-held"
session="$(choose 0 0 0; choose 1 0 1; printf 'key down B\nwait 3 frames\nkey up B\nkey down N\nwait 100 frames\nkey up N\nwait 3 frames\nscreenshot back.png\n'; quit)"
run_session "$n_held" "$session"
[ "$status" = 0 ] && pass "N held: ends with 0" || fail "N held: status $status"
if cut_battle "$n_held" --army1 1,0,0 --army2 2,0,0 &&
   [ "$(printf '%s\n' "$reference" | sed -n "$((count + 1))p")" = "耐久力" ] &&
   grep -q "ターン目(接近戦)" <<<"$reference" && ! grep -q "ターン目(接近戦)" <<<"$actual"; then
  pass "N held: the battle's $count lines up to the last shooting turn, no melee turn"
else
  fail "N held: the log is not korvanta-battle's battle cut before its melee turn"
fi
expect_pixels "$n_held/back.png" 0,45=$white

# ---------------------------------------------------------------- R held
# Every frame with R down starts the battle again (its banner and turn 1
# only); the battle after the last one runs to its end. The frames are read
# back from the log and replayed with korvanta-battle --restart-at; this
# battle runs all 41 shooting turns, so R comes well before its end.
r_held="$work/r-held"
session="$(choose 0 0 0; choose 1 0 0; press B; printf 'wait 5 frames\nkey down R\nwait 4 frames\nkey up R\nwait 100 frames\n'; quit)"
run_session "$r_held" "$session"
[ "$status" = 0 ] && pass "R held: ends with 0" || fail "R held: status $status"
banners="$(count_lines "$r_held" "戦闘開始")"
first_turns="$(battle_lines "$r_held" | awk '$0 == "戦闘開始" { ++b } b == 1 && /^[0-9]+ターン目\(距離＝1\)$/ { ++n } END { print n + 0 }')"
if [ "$banners" -ge 3 ] && [ "$first_turns" -ge 2 ]; then
  restarts="$(seq -s, "$first_turns" $((first_turns + banners - 2)))"
  expect_same_battle "$r_held" --army1 1,0,0 --army2 1,0,0 --restart-at "$restarts"
  between="$(battle_lines "$r_held" | awk '$0 == "戦闘開始" { ++b } b >= 2 && b < '"$banners"' && /ターン目/ { print }' | sort -u)"
  [ "$between" = "1ターン目(距離＝1)" ] && pass "R held: restarted battles write turn 1 only" ||
    fail "R held: turn lines between restarts: $between"
else
  fail "R held: $banners banners, $first_turns turns before R"
fi

# ---------------------------------------------------------------- B held when coming back
# B down when N leaves the finished battle: the preparation screen's frame
# switches straight into a new battle, which is korvanta-battle's restart.
b_held="$work/b-held"
session="$(choose 0 0 0; choose 1 0 1; fight; printf 'key down B\nwait 3 frames\n'; press N; printf 'key up B\nwait 100 frames\n'; quit)"
run_session "$b_held" "$session"
[ "$status" = 0 ] && pass "B held: ends with 0" || fail "B held: status $status"
[ "$(count_lines "$b_held" "戦闘開始")" = 2 ] && pass "B held: a second battle" || fail "B held: $(count_lines "$b_held" "戦闘開始") battles"
expect_same_battle "$b_held" --army1 1,0,0 --army2 2,0,0 --restart-at 60

# ---------------------------------------------------------------- Escape with a list open
escape="$work/escape"
session="$(click 130 50; printf 'mouse move 300 300\nwait 3 frames\n'; quit)"
run_session "$escape" "$session"
[ "$status" = 0 ] && pass "Escape with a list open ends with 0" || fail "Escape with a list open: status $status"
[ -z "$(battle_lines "$escape")" ] && grep -q -x "入力関連の終了処理... 完了" <(log_text "$escape") &&
  pass "Escape with a list open: no battle, shut down" || fail "Escape with a list open: a battle, or no shutdown"

# ---------------------------------------------------------------- window closed mid-battle
# The close button during the battle: the loop ends at that frame's pump, the
# program ends with 0, and the log holds the battle up to that frame, cut at
# a turn's end, then the shutdown.
closed="$work/closed"
session="$(choose 0 0 0; choose 1 0 1; press B; printf 'wait 6 frames\nclose\n')"
run_session "$closed" "$session"
[ "$status" = 0 ] && pass "closed mid-battle: ends with 0" || fail "closed mid-battle: status $status"
turns=0
if cut_battle "$closed" --army1 1,0,0 --army2 2,0,0 && turns="$(grep -c 'ターン目' <<<"$actual")" &&
   [ "$turns" -ge 2 ] && grep -q 'ターン目' <<<"$(printf '%s\n' "$reference" | sed -n "$((count + 1))p")"; then
  pass "closed mid-battle: $turns whole turns of korvanta-battle's battle, then the shutdown"
else
  fail "closed mid-battle: $turns turns, $count lines; not a whole-turn prefix of korvanta-battle's battle"
fi

# ---------------------------------------------------------------- scripts that cannot be read
# Status 2 and the reason, before any window or log.
mkdir -p "$work/noscript"
chmod 755 "$work/noscript"
mkfifo "$work/noscript/fifo.txt"
script_cases=("$work/noscript/missing.txt|No such file or directory" "$work/noscript|Is a directory"
  "$work/noscript/fifo.txt|no program opened the FIFO for writing within 3 seconds" "/dev/zero|larger than 64 MB")
if [ "$(id -u)" != 0 ]; then
  printf 'close\n' >"$work/noscript/secret.txt"
  chmod 000 "$work/noscript/secret.txt"
  script_cases+=("$work/noscript/secret.txt|Permission denied")
fi
for case in "${script_cases[@]}"; do
  path="${case%%|*}"
  (cd "$work/noscript" && timeout 60 "$korvanta" --headless --script "$path" 2>"$work/noscript.err" >/dev/null)
  got=$?
  if [ "$got" = 2 ] && grep -qF "korvanta: cannot read the script $path: ${case#*|}" "$work/noscript.err" &&
     [ ! -e "$work/noscript/Log.txt" ]; then
    pass "unreadable script ${path##*/}: status 2 and the reason"
  else
    fail "unreadable script ${path##*/}: status $got, said: $(cat "$work/noscript.err")"
  fi
done

finish
