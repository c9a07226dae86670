# The battle lines of a Log.txt and of korvanta-battle, for the tests that
# check which battle a session fought. Set $battle (korvanta-battle) before
# calling reference_lines.

# The log of folder $1 in UTF-8 without CR and timestamps.
log_text() { iconv -f CP932 -t UTF-8 "$1/Log.txt" | tr -d '\r' | sed 's/^-\{0,1\}[0-9]*://'; }
# From the battle's first line to the end of the log.
battle_lines() { log_text "$1" | awk 'started || $0 == "初期化処理" { started = 1; print }'; }
# What the battle's lines contain (machine names, fixed texts of the battle
# steps); the media layer's own lines have none of these.
battle_pattern='ヴォルテ|ドゥーガ|部隊\(|ターン目|耐久力|燃料|^初期化処理$|☆|戦闘|格闘|ターゲット|集中攻撃|メニュー画面'
# The battle's lines up to the first line of something else.
battle_only() { battle_lines "$1" | awk -v battle="$battle_pattern" '$0 != "" && $0 !~ battle { exit } { print }'; }
# The battle lines of korvanta-battle with seed $SEED and arguments "$@",
# run in folder $reference_dir: up to the memory report it ends with.
reference_lines() {
  mkdir -p "$reference_dir"
  (cd "$reference_dir" && "$battle" --seed "${SEED:-42}" "$@" >/dev/null 2>&1) || return 1
  log_text "$reference_dir" | awk '$0 == "初期化処理" { started = 1 } started { print }' |
    awk '{ lines[NR] = $0 } $0 == "Alloc memory dump" { end = NR - 2; exit } END { if (!end) end = NR; for (i = 1; i <= end; ++i) print lines[i] }'
}
