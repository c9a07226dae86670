#!/usr/bin/env bash
# The dependent job: merges the parts of every array task into what the
# command prints and writes on one machine (summary in $KORVANTA_RUN_DIR/summary).
#SBATCH --job-name=korvanta-merge
#SBATCH --cpus-per-task=1
set -euo pipefail
dir="${KORVANTA_RUN_DIR:?}"
mapfile -t outputs <"$dir/outputs"
n="$(cat "$dir/shards")"
parts=()
for ((k = 0; k < n; k++)); do
  parts+=("$dir/part.$k")
done
"${KORVANTA_BATTLE:?}" --merge "${parts[@]}" "${outputs[@]}" >"$dir/summary.tmp"
mv "$dir/summary.tmp" "$dir/summary"
