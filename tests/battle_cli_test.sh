#!/usr/bin/env bash
# korvanta-battle from the outside: arguments, exit status, where the log goes
# and that a seed replays the same battle.
set -uo pipefail
. "$(dirname "$0")/battle_command_lib.sh" "$1"

# The log without its "%d:" timestamps, in UTF-8 with plain line ends.
readable() {
  iconv -f CP932 -t UTF-8 "$1" | sed -E 's/^-?[0-9]+://; s/\r$//'
}

# Bad arguments: status 2 and one line naming the problem.
bad_cases=(
  "--army1 1,1,1|--army2 is missing"
  "--army2 1,1,1|--army1 is missing"
  "--army1 1,3,0 --army2 1,1,1|--army1"
  "--army1 1,1 --army2 1,1,1|--army1"
  "--army1 1,1,1,1 --army2 1,1,1|--army1"
  "--army1 1,1,1 --army2 a,1,1|--army2"
  "--army1 1,1,1 --army2|--army2 needs a value"
  "--seed 12x --army1 1,1,1 --army2 1,1,1|--seed"
  "--seed --army1 1,1,1 --army2 1,1,1|--seed"
  "--army1 1,1,1 --army2 1,1,1 --restart-at 3,-1|--restart-at"
  "--army1 1,1,1 --army2 1,1,1 --restart-at 99999999999|--restart-at"
  "--army1 1,1,1 --army2 1,1,1 --frobnicate|--frobnicate"
  "--army1 1,1,1 --army2 1,1,1 --log $work/|--log"
  "--runs 2 --army1 1,1,1 --army2 1,1,1 --csv $work/same --chart $work/same|--csv and --chart name the same file"
)
for case in "${bad_cases[@]}"; do
  args="${case%%|*}"
  expect="${case##*|}"
  (cd "$work" && "$battle" $args >"$work/out" 2>"$work/err")
  status=$?
  [ "$status" -eq 2 ] || fail "'$args' exited $status, expected 2"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "'$args' wrote $(wc -l <"$work/err") error lines"
  grep -qF -- "$expect" "$work/err" || fail "'$args' message does not mention '$expect': $(cat "$work/err")"
  [ ! -e "$work/Log.txt" ] || fail "'$args' started a log"
done

# A folder too long for the log's 256-byte field is refused, not cut.
long="$work/$(printf 'd%.0s' $(seq 1 300))"
"$battle" --army1 1,1,1 --army2 1,1,1 --log "$long/Log.txt" >/dev/null 2>"$work/err"
[ $? -eq 2 ] || fail "an over-long log folder was accepted"

# Started in a folder too deep for that field, the default log still lands there.
deep="$work/$(printf 'd%.0s' $(seq 1 200))/$(printf 'e%.0s' $(seq 1 100))"
mkdir -p "$deep" || fail "cannot make $deep"
(cd "$deep" && "$battle" --seed 5 --army1 1,0,0 --army2 2,0,0 >/dev/null 2>"$work/err") \
  || fail "a deep working directory failed the run: $(cat "$work/err")"
readable "$deep/Log.txt" 2>/dev/null | grep -qx "42ターン目(接近戦)" || fail "no log in a deep working directory"

# The last frame --restart-at takes: the battle is over long before, and the
# restart there fights as one at any other frame after it (the idle frames in
# between do nothing; 2^31 of them once took minutes).
timeout 120 "$battle" --seed 5 --army1 1,0,0 --army2 2,0,0 --restart-at 3,2147483647 --log "$work/late.log" ||
  fail "--restart-at 2147483647 exited $?"
"$battle" --seed 5 --army1 1,0,0 --army2 2,0,0 --restart-at 3,20000 --log "$work/early.log"
cmp -s <(readable "$work/late.log") <(readable "$work/early.log") || fail "a restart at frame 2147483647 fights another battle"

# Help documents every option and succeeds.
"$battle" --help >"$work/help" 2>&1 || fail "--help exited $?"
for option in --seed --army1 --army2 --log --restart-at --utf8 --log-echo --help; do
  grep -qF -- "$option" "$work/help" || fail "--help does not mention $option"
done

# Default log: Log.txt in the working directory, emptied first.
mkdir "$work/cwd"
printf 'old text\r\n' >"$work/cwd/Log.txt"
(cd "$work/cwd" && "$battle" --seed 5 --army1 1,1,1 --army2 2,2,2 >"$work/out") || fail "default run exited $?"
[ ! -s "$work/out" ] || fail "a run without --utf8 printed on standard output"
readable "$work/cwd/Log.txt" >"$work/a.txt"
grep -q "old text" "$work/a.txt" && fail "the old log was not emptied"
[ "$(head -n 1 "$work/a.txt")" = "パイロットデータ読み込み" ] || fail "log does not start with the loading lines"
grep -qx "42ターン目(接近戦)" "$work/a.txt" || fail "no melee turn in the log"
[ "$(tail -n 4 "$work/a.txt" | head -n 2 | tr '\n' '|')" = "|Alloc memory dump|" ] || fail "log does not end with the memory dump"

# Same seed, same battle; the --log path gets the same text; another seed differs.
"$battle" --seed 5 --army1 1,1,1 --army2 2,2,2 --log "$work/other.log" || fail "--log run exited $?"
[ ! -e "$work/Log.txt" ] || fail "--log also wrote Log.txt in the working directory"
readable "$work/other.log" >"$work/b.txt"
cmp -s "$work/a.txt" "$work/b.txt" || fail "the same seed gave a different log"
"$battle" --seed 6 --army1 1,1,1 --army2 2,2,2 --log "$work/c.log"
readable "$work/c.log" >"$work/c.txt"
cmp -s "$work/a.txt" "$work/c.txt" && fail "seeds 5 and 6 gave the same log"

# A Japanese folder and a Japanese --log name are native names: kept as given.
mkdir -p "$work/ゲーム~"
(cd "$work/ゲーム~" && "$battle" --seed 5 --army1 1,1,1 --army2 2,2,2 --log "$work/ゲーム~/記録.log") ||
  fail "--log to a Japanese name exited $?"
readable "$work/ゲーム~/記録.log" >"$work/jp.txt" 2>/dev/null && cmp -s "$work/a.txt" "$work/jp.txt" ||
  fail "the log under a Japanese name differs or is missing: $(ls "$work/ゲーム~")"
(cd "$work/ゲーム~" && "$battle" --seed 5 --army1 1,1,1 --army2 2,2,2) || fail "run in a Japanese folder exited $?"
readable "$work/ゲーム~/Log.txt" >"$work/jp2.txt" 2>/dev/null && cmp -s "$work/a.txt" "$work/jp2.txt" ||
  fail "Log.txt in a Japanese folder differs or is missing"

# Only the low 32 bits of the seed count.
"$battle" --seed -1 --army1 2,1,0 --army2 0,1,2 --log "$work/m1.log"
"$battle" --seed 4294967295 --army1 2,1,0 --army2 0,1,2 --log "$work/m2.log"
"$battle" --seed 8589934591 --army1 2,1,0 --army2 0,1,2 --log "$work/m3.log"
readable "$work/m1.log" >"$work/m1.txt"
readable "$work/m2.log" >"$work/m2.txt"
readable "$work/m3.log" >"$work/m3.txt"
cmp -s "$work/m1.txt" "$work/m2.txt" || fail "seed -1 differs from 4294967295"
cmp -s "$work/m2.txt" "$work/m3.txt" || fail "seed 2^33-1 differs from 2^32-1"

# --utf8 prints the same log on standard output.
"$battle" --seed 5 --army1 1,1,1 --army2 2,2,2 --log "$work/u.log" --utf8 >"$work/u.out" || fail "--utf8 exited $?"
sed -E 's/^-?[0-9]+://' "$work/u.out" >"$work/u.txt"
cmp -s "$work/a.txt" "$work/u.txt" || fail "--utf8 output differs from the log"

# --log-echo and KORVANTA_LOG_ECHO=1 copy the log to standard error.
"$battle" --seed 5 --army1 1,0,0 --army2 2,0,0 --log "$work/e.log" --log-echo 2>"$work/e.err" >/dev/null
grep -q "戦闘開始" "$work/e.err" || fail "--log-echo printed no log text"
KORVANTA_LOG_ECHO=1 "$battle" --seed 5 --army1 1,0,0 --army2 2,0,0 --log "$work/e2.log" 2>"$work/e2.err" >/dev/null
grep -q "戦闘開始" "$work/e2.err" || fail "KORVANTA_LOG_ECHO=1 printed no log text"

# Restarts: one more battle start per held frame; the run lasts past the last one.
"$battle" --seed 5 --army1 1,1,1 --army2 2,2,2 --restart-at 3,4,90 --log "$work/r.log"
readable "$work/r.log" >"$work/r.txt"
[ "$(grep -cx "戦闘開始" "$work/r.txt")" -eq 4 ] || fail "restart frames did not restart the battle"
[ "$(grep -cx "42ターン目(接近戦)" "$work/r.txt")" -ge 1 ] || fail "restarted battle did not finish"

# A log that cannot be written loses its file and nothing else: the battle
# runs, the status stays 0, standard error names the file and the reason
# once, and the UTF-8 copies still show every line.
"$battle" --seed 5 --army1 1,1,1 --army2 2,2,2 --log "$work/kept.log" --utf8 >"$work/kept.out" 2>/dev/null
lost_cases=(
  "$work/missing/dir/Log.txt|No such file or directory"
  "/proc/korvanta-no-such-file.txt|"
)
mkdir "$work/readonly"
chmod a-w "$work/readonly"
as_other_user=()
[ "$(id -u)" = 0 ] && command -v setpriv >/dev/null && as_other_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
if [ "$(id -u)" != 0 ] || [ ${#as_other_user[@]} -gt 0 ]; then
  # The other user may not reach into the clone: give it its own copies of
  # the program and of the suppressions file in the world-readable work folder.
  chmod 755 "$work"
  cp "$battle" "$work/korvanta-battle"
  supp="$(cd "$(dirname "$0")" && pwd)/lsan.supp"
  cp "$supp" "$work/lsan.supp" && chmod 644 "$work/lsan.supp"
  lost_cases+=("$work/readonly/Log.txt|Permission denied")
else
  echo "SKIP: read-only working folder (root without setpriv cannot drop its privileges)"
fi
for case in "${lost_cases[@]}"; do
  path="${case%%|*}"
  reason="${case#*|}"
  run=("$battle" --seed 5 --army1 1,1,1 --army2 2,2,2 --utf8)
  if [ "$path" = "$work/readonly/Log.txt" ]; then
    run=(env "LSAN_OPTIONS=suppressions=$work/lsan.supp:print_suppressions=0" "${as_other_user[@]}" "$work/korvanta-battle" "${run[@]:1}")
  else
    run+=(--log "$path")
  fi
  (cd "$work/readonly" && "${run[@]}" >"$work/lost.out" 2>"$work/lost.err") || fail "unwritable log $path: exit $?"
  [ "$(grep -c 'cannot be written' "$work/lost.err")" = 1 ] &&
    grep -qF "korvanta-battle: the log $path cannot be written: $reason" "$work/lost.err" &&
    grep -q "the run goes on without it" "$work/lost.err" ||
    { fail "unwritable log $path: standard error says:"; cat "$work/lost.err"; }
  cmp -s <(sed -E 's/^-?[0-9]+://' "$work/lost.out") <(sed -E 's/^-?[0-9]+://' "$work/kept.out") ||
    fail "unwritable log $path: --utf8 did not print the whole battle"
done
[ ! -e "$work/readonly/Log.txt" ] || fail "a log appeared in the read-only folder"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all korvanta-battle checks passed"
