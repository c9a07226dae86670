#!/usr/bin/env bash
# Cross-checks the battle log of korvanta-battle against the independent
# Python model (tools/battle_model.py) over many seeds and squad choices,
# line for line after the timestamps.
set -euo pipefail
build="$1"
root="$(cd "$(dirname "$0")/.." && pwd)"
battle="$build/app/korvanta-battle"
model="$root/tools/battle_model.py"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cases=(
  "1,1,1 2,2,2"
  "2,2,2 1,1,1"
  "1,0,0 2,0,0"
  "0,1,2 2,1,0"
  "2,1,1 2,1,1"
  "2,1,1 2,0,0"
  "0,1,1 0,2,2"
  "0,0,0 1,2,1"
  "1,1,1 0,0,0"
  "0,0,0 0,0,0"
  "1,0,1 0,2,0"
  "2,2,2 2,2,2"
  "1,1,1 1,1,1"
)
failures=0
runs=0
for c in "${cases[@]}"; do
  read -r a1 a2 <<<"$c"
  for seed in 0 1 7 42 1234 99999 4294967295 -3; do
    for restart in "" "5" "0,1,2" "60,61"; do
      args=(--seed "$seed" --army1 "$a1" --army2 "$a2")
      [ -n "$restart" ] && args+=(--restart-at "$restart")
      dir="$work/run"
      rm -rf "$dir" && mkdir -p "$dir"
      (cd "$dir" && "$battle" "${args[@]}" >/dev/null)
      iconv -f CP932 -t UTF-8 "$dir/Log.txt" | sed -E 's/^-?[0-9]+://; s/\r$//' >"$dir/actual.txt"
      python3 "$model" "${args[@]}" >"$dir/expected.txt"
      runs=$((runs + 1))
      if ! cmp -s "$dir/expected.txt" "$dir/actual.txt"; then
        failures=$((failures + 1))
        echo "MISMATCH: ${args[*]}"
        diff "$dir/expected.txt" "$dir/actual.txt" | head -20 || true
        [ $failures -ge 5 ] && exit 1
      fi
    done
  done
done
echo "$runs battles compared, $failures mismatches"
[ $failures -eq 0 ]
