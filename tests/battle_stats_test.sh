#!/usr/bin/env bash
# korvanta-battle --runs and --matrix from the outside: every battle's outcome
# matches what the log of the single battle with that seed shows, the output
# does not depend on --jobs, bad arguments are refused, and an output that
# cannot be written leaves nothing under its name.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
read_log="$root/tests/battle_stats_log_outcome.py"
. "$(dirname "$0")/battle_command_lib.sh" "$1"

# --- Each battle of --runs is the single battle with its seed ---------------
# Setups chosen to reach every way of ending: annihilation on turn 1 and later,
# forced ends early and late, full courses, wins, draws and empty armies.
# The first seeds wrap past 2^32 - 1.
outcome_cases=(
  "1,1,1 2,2,2 4294967293"
  "2,1,1 2,2,2 7"
  "0,1,1 0,2,2 100"
  "0,0,2 1,1,1 4294967295"
  "0,0,1 2,2,2 31"
  "0,0,2 1,0,0 5"
  "0,0,1 1,0,2 900"
  "1,2,0 2,1,2 4294967290"
  "2,0,0 1,0,0 0"
  "1,0,0 0,0,0 12"
  "0,0,0 0,0,0 3"
)
compared=0
for c in "${outcome_cases[@]}"; do
  read -r a1 a2 first <<<"$c"
  "$battle" --runs 8 --seed "$first" --army1 "$a1" --army2 "$a2" --csv "$work/runs.csv" --jobs 2 >/dev/null \
    || { fail "--runs for $a1 against $a2 exited $?"; continue; }
  [ "$(wc -l <"$work/runs.csv")" -eq 9 ] || fail "$a1 against $a2: the CSV does not have a header and 8 rows"
  expected_seed=$first
  while read -r seed army1 army2 rest; do
    [ "$seed" = "$expected_seed" ] || fail "$a1 against $a2: CSV seed $seed, expected $expected_seed"
    expected_seed=$(((expected_seed + 1) % 4294967296))
    [ "$army1 $army2" = "$a1 $a2" ] || fail "CSV names the setups $army1 $army2"
    dir="$work/one"
    rm -rf "$dir" && mkdir -p "$dir"
    (cd "$dir" && "$battle" --seed "$seed" --army1 "$a1" --army2 "$a2") || fail "single battle $seed exited $?"
    from_log="$(python3 "$read_log" "$dir/Log.txt" "$a1" "$a2")" || { fail "log of $a1 $a2 seed $seed not read"; continue; }
    compared=$((compared + 1))
    [ "$from_log" = "$rest" ] || fail "$a1 against $a2, seed $seed: --runs says $rest, the log says $from_log"
  done < <(python3 -c 'import csv, sys
for r in list(csv.reader(open(sys.argv[1])))[1:]:
    print(r[0], r[1], r[2], ",".join(r[3:]))' "$work/runs.csv")
done
[ "$compared" -eq $((8 * ${#outcome_cases[@]})) ] || fail "only $compared battles compared with their logs"

# --- The output does not depend on the number of workers --------------------
run_all() {
  local tag="$1" jobs="$2"
  shift 2
  "$battle" "$@" --jobs "$jobs" --csv "$work/$tag-$jobs.csv" >"$work/$tag-$jobs.out" 2>"$work/$tag-$jobs.err" \
    || fail "$tag with --jobs $jobs exited $?"
  [ ! -s "$work/$tag-$jobs.err" ] || fail "$tag with --jobs $jobs wrote on standard error: $(cat "$work/$tag-$jobs.err")"
}
for jobs in 1 2 3; do
  run_all runs "$jobs" --runs 2500 --seed 4294967000 --army1 0,0,1 --army2 2,2,2
  run_all json "$jobs" --runs 2500 --seed 4294967000 --army1 0,0,1 --army2 2,2,2 --json
  run_all matrix "$jobs" --matrix --runs 60 --army1 0,0,1:1,1,1:2,0,0 --army2 2,2,2:0,0,0:1,0,2:0,1,1
  run_all matrixjson "$jobs" --matrix --runs 60 --army1 0,0,1:1,1,1:2,0,0 --army2 2,2,2:0,0,0:1,0,2:0,1,1 --json
done
for tag in runs json matrix matrixjson; do
  for jobs in 2 3; do
    cmp -s "$work/$tag-1.out" "$work/$tag-$jobs.out" || fail "$tag: standard output differs between --jobs 1 and $jobs"
    cmp -s "$work/$tag-1.csv" "$work/$tag-$jobs.csv" || fail "$tag: the CSV differs between --jobs 1 and $jobs"
  done
done
[ "$(wc -l <"$work/runs-1.csv")" -eq 2501 ] || fail "2500 battles did not give 2500 CSV rows"
[ "$(wc -l <"$work/matrix-1.csv")" -eq 13 ] || fail "a 3 x 4 matrix did not give 12 CSV rows"
python3 -m json.tool "$work/json-1.out" >/dev/null || fail "--json output is not JSON"
python3 -m json.tool "$work/matrixjson-1.out" >/dev/null || fail "--matrix --json output is not JSON"

# The counts of the summary are those of the CSV rows, and the matrix agrees
# with --runs for the same pair and seeds.
python3 - "$work" <<'EOF' || fail "summaries disagree with the CSV rows"
import csv, json, sys
work = sys.argv[1]
rows = list(csv.DictReader(open(f"{work}/runs-1.csv")))
summary = json.load(open(f"{work}/json-1.out"))
for kind in ("army1", "army2", "both", "neither"):
    count = sum(1 for r in rows if r["survivors"] == kind)
    assert summary["outcomes"][kind]["count"] == count, kind
    low, high = summary["outcomes"][kind]["low"], summary["outcomes"][kind]["high"]
    assert low <= count / len(rows) <= high, kind
for kind in ("annihilation", "forced", "full"):
    assert summary["ends"][kind] == sum(1 for r in rows if r["end"] == kind), kind
turns = {t["turn"]: t for t in summary["end_turns"]}
for r in rows:
    turns[int(r["end_turn"])][r["end"]] -= 1
assert all(t[k] == 0 for t in turns.values() for k in ("annihilation", "forced", "full"))
mean = sum(int(r["durability1"]) for r in rows) / len(rows)
assert abs(summary["mean_durability"][0] - mean) < 1e-6
matrix = json.load(open(f"{work}/matrixjson-1.out"))
assert len(matrix["pairs"]) == 12 and len(matrix["ranking"]) == 7
EOF

# --- Bad arguments: status 2, one line, nothing run --------------------------
bad_cases=(
  "--runs 0 --army1 1,1,1 --army2 2,2,2|--runs"
  "--runs -3 --army1 1,1,1 --army2 2,2,2|--runs"
  "--runs abc --army1 1,1,1 --army2 2,2,2|--runs"
  "--runs 1.5 --army1 1,1,1 --army2 2,2,2|--runs"
  "--runs 4294967296 --army1 1,1,1 --army2 2,2,2|--runs"
  "--runs --army1 1,1,1 --army2 2,2,2|--runs"
  "--runs 5 --jobs 0 --army1 1,1,1 --army2 2,2,2|--jobs"
  "--runs 5 --jobs -1 --army1 1,1,1 --army2 2,2,2|--jobs"
  "--runs 5 --jobs many --army1 1,1,1 --army2 2,2,2|--jobs"
  "--runs 5 --army1 1,1,1 --army2 2,2,2 --log x.txt|--log"
  "--runs 5 --army1 1,1,1 --army2 2,2,2 --utf8|--utf8"
  "--runs 5 --army1 1,1,1 --army2 2,2,2 --restart-at 3|--restart-at"
  "--matrix --army1 1,1,1|--runs"
  "--runs 5 --army1 1,1,1|--army2"
  "--runs 5 --army1 1,1,1:2,2,2 --army2 2,2,2|--matrix"
  "--army1 1,1,1:2,2,2 --army2 2,2,2|--matrix"
  "--matrix --runs 5 --army1 1,1,1:3,0,0|--army1"
  "--matrix --runs 5 --army2 1,1,1:|--army2"
  "--matrix --runs 5 --army1 1,0,0:2,2,2:1,0,0|--army1: setup 1,0,0 is listed twice"
  "--matrix --runs 5 --army1 1,0,0 --army2 0,1,2:2,0,0:0,1,2|--army2: setup 0,1,2 is listed twice"
  "--matrix --runs 5 --army2 2,2,2:2,2,2:2,2,2|--army2: setup 2,2,2 is listed twice"
  "--runs 5 --army1 1,1,1:1,1,1 --army2 2,2,2|--army1: setup 1,1,1 is listed twice"
  "--army1 1,1,1 --army2 2,2,2 --json|--runs"
  "--army1 1,1,1 --army2 2,2,2 --jobs 2|--runs"
  "--runs 5 --army1 1,1,1 --army2 2,2,2 --csv|--csv"
  "--runs 5 --army1 1,1,1 --army2 2,2,2 --csv $work/|--csv"
)
mkdir "$work/bad"
for case in "${bad_cases[@]}"; do
  args="${case%%|*}"
  expect="${case##*|}"
  (cd "$work/bad" && "$battle" $args >"$work/out" 2>"$work/err")
  status=$?
  [ "$status" -eq 2 ] || fail "'$args' exited $status, expected 2"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "'$args' wrote $(wc -l <"$work/err") error lines"
  grep -qF -- "$expect" "$work/err" || fail "'$args' message does not mention '$expect': $(cat "$work/err")"
  [ ! -s "$work/out" ] || fail "'$args' printed a summary"
  [ -z "$(ls -A "$work/bad")" ] || fail "'$args' left files: $(ls -A "$work/bad")"
done

# The same setup in both lists is no duplicate: it plays both sides and is ranked once.
"$battle" --matrix --runs 5 --army1 1,0,0:2,2,2 --army2 2,2,2:1,0,0 --json --jobs 1 >"$work/mirror.json" \
  || fail "a setup in both lists was refused"
python3 -c 'import json, sys
m = json.load(open(sys.argv[1]))
assert len(m["pairs"]) == 4 and sorted(r["setup"] for r in m["ranking"]) == ["1,0,0", "2,2,2"], m["ranking"]
assert all(r["as_army1"] is not None and r["as_army2"] is not None for r in m["ranking"])' "$work/mirror.json" \
  || fail "a setup in both lists is not ranked once with both sides"

"$battle" --help >"$work/help" 2>&1 || fail "--help exited $?"
for option in --runs --matrix --json --csv --chart --jobs --timing; do
  grep -qF -- "$option" "$work/help" || fail "--help does not mention $option"
done

# --- Outputs that cannot be written -------------------------------------------
# Status 1, a message, and neither the asked name nor a temporary file left.
mkdir "$work/readonly"
chmod a-w "$work/readonly"
targets=("$work/missing/dir/out.csv" "$work/readonly")
# (A superuser writes into read-only folders anyway.)
touch "$work/readonly/probe" 2>/dev/null || targets+=("$work/readonly/out.csv")
rm -f "$work/readonly/probe"
for target in "${targets[@]}"; do
  "$battle" --runs 5 --army1 1,1,1 --army2 2,2,2 --csv "$target" >"$work/out" 2>"$work/err"
  status=$?
  [ "$status" -eq 1 ] || fail "--csv $target exited $status, expected 1"
  grep -qF -- "--csv" "$work/err" || fail "--csv $target: no message naming --csv"
  [ ! -s "$work/out" ] || fail "--csv $target: a summary was printed for a run that failed"
done
[ -z "$(ls -A "$work/readonly")" ] || fail "files were left in the read-only folder"

# A write that fails part-way (file size limit, EFBIG) leaves the old file.
mkdir "$work/limit"
printf 'old\n' >"$work/limit/out.csv"
(ulimit -f 8; trap '' XFSZ; "$battle" --runs 3000 --army1 1,1,1 --army2 2,2,2 --csv "$work/limit/out.csv" \
  >/dev/null 2>"$work/err")
status=$?
[ "$status" -eq 1 ] || fail "a CSV cut by the file size limit exited $status, expected 1"
[ "$(cat "$work/limit/out.csv")" = "old" ] || fail "a failed CSV write replaced the old file"
[ "$(ls -A "$work/limit")" = "out.csv" ] || fail "a failed CSV write left $(ls -A "$work/limit")"

# Standard output that cannot be written fails the run and commits no file.
if [ -w /dev/full ]; then
  "$battle" --runs 5 --army1 1,1,1 --army2 2,2,2 --csv "$work/limit/out.csv" >/dev/full 2>"$work/err"
  [ $? -eq 1 ] || fail "a summary written to /dev/full did not fail the run"
  [ "$(cat "$work/limit/out.csv")" = "old" ] || fail "a run whose summary failed still replaced the CSV"
fi

# A CSV that can be written appears complete, with ordinary permissions.
"$battle" --runs 5 --army1 1,1,1 --army2 2,2,2 --csv "$work/limit/out.csv" >/dev/null || fail "CSV run exited $?"
[ "$(wc -l <"$work/limit/out.csv")" -eq 6 ] || fail "the CSV was not replaced"
[ "$(stat -c %a "$work/limit/out.csv")" = "$(printf '%o' $((0666 & ~$(umask))))" ] \
  || fail "the CSV has mode $(stat -c %a "$work/limit/out.csv")"

# A name a person gives on purpose: a link has the file it names replaced (the
# link stays); a FIFO (or >(...), /dev/stdout) and a device are written in
# place, never replaced by a file.
mkdir "$work/named"
printf 'old\n' >"$work/named/real.csv"
ln -s real.csv "$work/named/link.csv"
"$battle" --runs 5 --army1 1,1,1 --army2 2,2,2 --csv "$work/named/link.csv" >/dev/null || fail "CSV through a link exited $?"
[ -L "$work/named/link.csv" ] && [ "$(wc -l <"$work/named/real.csv")" -eq 6 ] || fail "the CSV replaced the link, not its file"
mkfifo "$work/named/fifo.csv"
timeout 60 cat "$work/named/fifo.csv" >"$work/named/from-fifo.csv" &
reader=$!
timeout 60 "$battle" --runs 5 --army1 1,1,1 --army2 2,2,2 --csv "$work/named/fifo.csv" >/dev/null || fail "CSV into a FIFO exited $?"
wait "$reader"
[ -p "$work/named/fifo.csv" ] || fail "the FIFO was replaced by a file"
cmp -s "$work/named/from-fifo.csv" "$work/named/real.csv" || fail "the FIFO's reader did not get the CSV"
if [ "$(id -u)" = 0 ]; then
  # A null device of our own, for a superuser could replace it.
  mknod "$work/named/null" c 1 3
  "$battle" --runs 5 --army1 1,1,1 --army2 2,2,2 --csv "$work/named/null" >/dev/null || fail "CSV into a device exited $?"
  "$battle" --seed 1 --army1 1,1,1 --army2 2,2,2 --log "$work/named/null" || fail "a log into a device exited $?"
  [ -c "$work/named/null" ] || fail "the device was replaced by a file"
fi

# An interrupted run takes its temporary file with it.
mkdir "$work/term"
"$battle" --runs 100000000 --army1 1,1,1 --army2 2,2,2 --csv "$work/term/out.csv" --jobs 2 >/dev/null &
pid=$!
for _ in $(seq 1 100); do
  [ -n "$(ls -A "$work/term")" ] && break
  sleep 0.05
done
[ -n "$(ls -A "$work/term")" ] || fail "no temporary file appeared while the CSV was being written"
kill -TERM "$pid"
wait "$pid"
status=$?
[ "$status" -eq 143 ] || fail "SIGTERM ended the run with status $status"
[ -z "$(ls -A "$work/term")" ] || fail "an interrupted run left $(ls -A "$work/term")"

# A worker killed in mid-run fails the run: status 1, no summary, no CSV and
# no temporary file left, and the other worker ends too.
mkdir "$work/killed"
"$battle" --runs 100000000 --army1 1,1,1 --army2 2,2,2 --csv "$work/killed/out.csv" --jobs 2 \
  >"$work/killed.out" 2>"$work/killed.err" &
pid=$!
workers=()
# Mid-run: both workers started and rows already in the temporary file.
for _ in $(seq 1 600); do
  mapfile -t workers < <(pgrep -P "$pid")
  [ "${#workers[@]}" -eq 2 ] && [ -n "$(find "$work/killed" -type f -size +0)" ] && break
  sleep 0.05
done
if [ "${#workers[@]}" -eq 2 ]; then
  kill -KILL "${workers[0]}"
  wait "$pid"
  status=$?
  [ "$status" -eq 1 ] || fail "a run whose worker was killed exited $status, expected 1"
  [ ! -s "$work/killed.out" ] || fail "a run whose worker was killed printed a summary"
  grep -qF "worker process" "$work/killed.err" || fail "no message about the killed worker: $(cat "$work/killed.err")"
  [ -z "$(ls -A "$work/killed")" ] || fail "a run whose worker was killed left $(ls -A "$work/killed")"
  ! kill -0 "${workers[1]}" 2>/dev/null || fail "the other worker outlived the run"
else
  kill -KILL "$pid"
  wait "$pid"
  fail "the run did not show two workers and CSV rows (children: ${workers[*]:-none})"
fi

# --- Charts ---------------------------------------------------------------------
# Drawn on a private headless screen: no Log.txt in the working folder (an old
# one stays as it was), no private folder left behind, two at once do not meet.
# The colours of the scale's ends and of the bar kinds are looked for in the
# decoded pixels.
mkdir -p "$work/charts/tmp"
printf 'keep me\r\n' >"$work/charts/Log.txt"
(cd "$work/charts" && TMPDIR="$work/charts/tmp" "$battle" --matrix --runs 20 --army1 1,0,0 --army2 0,0,0:1,1,1 \
  --chart heat.png --jobs 1 >/dev/null 2>"$work/err") || fail "matrix chart exited $?: $(cat "$work/err")"
(cd "$work/charts" && TMPDIR="$work/charts/tmp" "$battle" --matrix --runs 20 --army1 1,0,0 --army2 0,0,0:1,1,1 \
  --chart heat2.png --jobs 2 >/dev/null) &
(cd "$work/charts" && TMPDIR="$work/charts/tmp" "$battle" --runs 50 --army1 0,0,1 --army2 2,2,2 \
  --chart bars.png >/dev/null) &
wait
cmp -s "$work/charts/heat.png" "$work/charts/heat2.png" || fail "the matrix chart differs between --jobs 1 and 2"
[ "$(cat "$work/charts/Log.txt")" = "$(printf 'keep me\r\n')" ] || fail "a chart touched ./Log.txt"
[ -z "$(ls -A "$work/charts/tmp")" ] || fail "a chart left its private folder: $(ls -A "$work/charts/tmp")"
python3 - "$work/charts" <<'PYTHON' || fail "the charts do not show what they should"
import collections, struct, sys, zlib

def pixels(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert (depth, colour) == (8, 2), "not 8-bit RGB"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, rows, prior = zlib.decompress(idat), width * 3, [], bytearray(width * 3)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b, c = prior[i], prior[i - 3] if i >= 3 else 0
            if kind == 1: line[i] = (line[i] + a) & 255
            elif kind == 2: line[i] = (line[i] + b) & 255
            elif kind == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prior = line
    return width, height, collections.Counter(tuple(row[i:i + 3]) for row in rows for i in range(0, stride, 3))

folder = sys.argv[1]
width, height, colours = pixels(folder + "/heat.png")
assert 640 <= width <= 1024 and height <= 768, (width, height)
assert (253, 231, 37) in colours, "no cell at 100 %"  # 1,0,0 always beats an empty army
assert (68, 1, 84) in colours, "no cell at 0 %"
assert colours[(150, 150, 150)] > 100, "no text: the grey subtitle is missing"
width, height, colours = pixels(folder + "/bars.png")
assert (214, 39, 40) in colours and (255, 127, 14) in colours, "no annihilation or forced-end bars"
assert colours[(31, 119, 180)] <= 12 * 12, "a full-course bar (beyond the legend's box) where all end early"
PYTHON
"$battle" --runs 5 --army1 1,1,1 --army2 2,2,2 --chart "$work/missing/chart.png" >/dev/null 2>"$work/err"
[ $? -eq 1 ] || fail "an unwritable chart did not fail the run"
grep -qF -- "--chart" "$work/err" || fail "no message naming --chart"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all statistics checks passed ($compared battles compared with their logs)"
