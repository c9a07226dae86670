#!/usr/bin/env bash
# One array task: shard $SLURM_ARRAY_TASK_ID of the command that submit.sh
# saved in $KORVANTA_RUN_DIR, written as part.K beside it.
#SBATCH --job-name=korvanta-shard
#SBATCH --cpus-per-task=1
set -euo pipefail
dir="${KORVANTA_RUN_DIR:?}"
mapfile -t arguments <"$dir/arguments"
k="${SLURM_ARRAY_TASK_ID:?}"
n="$(cat "$dir/shards")"
exec "${KORVANTA_BATTLE:?}" "${arguments[@]}" --shard "$k/$n" --part "$dir/part.$k" --jobs "${SLURM_CPUS_PER_TASK:-1}"
