#!/usr/bin/env bash
# Runs a korvanta-battle statistics command as a Slurm job array: one array
# task per shard, then a job that merges them once all have succeeded.
#
#   scripts/slurm/submit.sh --shards N --dir DIR [--wait] [--sbatch "OPTIONS"] -- \
#       ARGUMENTS... [--json] [--csv FILE] [--chart FILE.png]
#
# ARGUMENTS are the command's (--runs, --matrix, --army1, --vary, --data, ...);
# --json, --csv and --chart go to the merge. DIR must be on a file system every
# node sees; it receives the parts and the summary (DIR/summary). Set
# KORVANTA_BATTLE to the program (default: korvanta-battle on PATH). Prints
# the merge job's id; --wait waits for it (sbatch --wait) and fails with it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
shards="" dir="" wait=() extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --shards) shards="$2"; shift 2 ;;
    --dir) dir="$2"; shift 2 ;;
    --wait) wait=(--wait); shift ;;
    --sbatch) read -r -a extra <<<"$2"; shift 2 ;;
    --) shift; break ;;
    *) echo "submit.sh: unknown option '$1'" >&2; exit 2 ;;
  esac
done
if ! [[ "$shards" =~ ^[1-9][0-9]*$ ]] || [ -z "$dir" ] || [ $# -eq 0 ]; then
  echo "usage: submit.sh --shards N --dir DIR [--wait] [--sbatch OPTIONS] -- ARGUMENTS..." >&2
  exit 2
fi
battle="${KORVANTA_BATTLE:-$(command -v korvanta-battle || true)}"
[ -x "$battle" ] || { echo "submit.sh: set KORVANTA_BATTLE to korvanta-battle" >&2; exit 2; }
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"
: >"$dir/arguments"
: >"$dir/outputs"
while [ $# -gt 0 ]; do
  case "$1" in
    --json) echo "$1" >>"$dir/outputs"; shift ;;
    --csv|--chart)
      # Paths relative to where the command was submitted.
      path="$2"; [[ "$path" = /* ]] || path="$PWD/$path"
      printf '%s\n%s\n' "$1" "$path" >>"$dir/outputs"; shift 2 ;;
    *) printf '%s\n' "$1" >>"$dir/arguments"; shift ;;
  esac
done
# The per-battle rows of --runs travel in the parts only if the shards see --csv.
if grep -qx -- --csv "$dir/outputs"; then
  printf '%s\n%s\n' --csv "$dir/rows.csv" >>"$dir/arguments"
fi
echo "$shards" >"$dir/shards"
rm -f "$dir"/part.* "$dir/summary"
export KORVANTA_RUN_DIR="$dir" KORVANTA_BATTLE="$battle"
array="$(sbatch --parsable "${extra[@]}" --array="0-$((shards - 1))" --output="$dir/shard-%a.out" \
  --export=ALL "$here/shard.sbatch")"
array="${array%%;*}"
sbatch --parsable "${extra[@]}" "${wait[@]}" --dependency="afterok:$array" --kill-on-invalid-dep=yes \
  --output="$dir/merge.out" --export=ALL "$here/merge.sbatch"
