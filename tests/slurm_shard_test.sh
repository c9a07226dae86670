#!/usr/bin/env bash
# scripts/slurm/ on a single-node Slurm cluster started here: a small sweep
# submitted as a job array of 4 shards and a dependent merge gives exactly
# the one-machine output (summary, JSON, CSV, chart). The daemons (munged,
# slurmctld, slurmd) run as root from a private 0700 folder on private ports
# and are stopped by their PIDs. Without Slurm or root the test says why and
# passes, except under CI=true, where it fails.
set -uo pipefail
build="$(cd "$1" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"
battle="$build/app/korvanta-battle"

unavailable() {
  echo "slurm_shard_test: $* (install with scripts/slurm/install.sh)"
  if [ "${CI:-}" = "true" ]; then
    echo "FAIL: under CI=true the Slurm test must run"
    exit 1
  fi
  exit 0
}
for program in munged munge slurmctld slurmd sbatch sinfo; do
  command -v "$program" >/dev/null || unavailable "$program is not installed"
done
[ "$(id -u)" -eq 0 ] || unavailable "the daemons of this test run as root (SlurmUser=root)"
[ -x "$battle" ] || { echo "FAIL: $battle is missing"; exit 1; }

work="$(mktemp -d)"
chmod 700 "$work"
pids=()
stop_daemons() {
  # Newest first: slurmd, slurmctld, then munged.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[$i]}" 2>/dev/null
  done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  pids=()
}
trap 'stop_daemons; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
cannot_start() {
  echo "slurm_shard_test: $1 did not start; its log:"
  tail -20 "$2" 2>/dev/null
  if [ "${CI:-}" = "true" ]; then
    echo "FAIL: the cluster could not start under CI=true"
    exit 1
  fi
  exit 0
}

# MUNGE: key, socket, log, pid and seed in the private folder (--force: the
# folder is not open to all users, which munged otherwise asks of a socket's).
dd if=/dev/urandom of="$work/munge.key" bs=1024 count=1 2>/dev/null
chmod 400 "$work/munge.key"
munged --foreground --force --key-file="$work/munge.key" --socket="$work/munge.socket" \
  --log-file="$work/munged.log" --pid-file="$work/munged.pid" --seed-file="$work/munged.seed" \
  >"$work/munged.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
  [ -S "$work/munge.socket" ] && break
  sleep 0.1
done
munge -S "$work/munge.socket" -n </dev/null | unmunge -S "$work/munge.socket" >/dev/null 2>&1 ||
  cannot_start munged "$work/munged.out"

# Private ports, free now (a busy one would stop the daemons).
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
ctld_port="$(free_port)"
node_port="$(free_port)"
while [ "$node_port" = "$ctld_port" ]; do node_port="$(free_port)"; done
mkdir -p "$work/state" "$work/spool"
cat >"$work/slurm.conf" <<CONF
ClusterName=korvanta-test
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$work/munge.socket
CredType=cred/munge
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SlurmdParameters=config_overrides
MpiDefault=none
SwitchType=switch/none
ReturnToService=2
NodeName=korvanta NodeAddr=127.0.0.1 NodeHostname=localhost CPUs=2 State=UNKNOWN
PartitionName=shards Nodes=korvanta Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$work/slurm.conf"
slurmctld -D -i >"$work/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -N korvanta >"$work/slurmd.out" 2>&1 &
pids+=($!)
state=""
for _ in $(seq 120); do
  state="$(sinfo -h -n korvanta -o %T 2>/dev/null)"
  [ "$state" = "idle" ] && break
  sleep 0.5
done
if [ "$state" != "idle" ]; then
  cat "$work/slurmd.out" >>"$work/slurmd.log" 2>/dev/null
  cannot_start "the node (state '$state')" "$work/slurmd.log"
fi

# The sweep, once here and once as 4 array tasks and a merge.
arguments=(--matrix --runs 6 --army1 1,0,0:1,1,0 --army2 0,2,0:2,2,2 --vary /machines/1/weapons/0/damage=0:20:5)
mkdir -p "$work/one" "$work/cluster"
"$battle" "${arguments[@]}" --json --csv "$work/one/out.csv" --chart "$work/one/out.png" --jobs 2 >"$work/one/summary" ||
  fail "the one-machine run exited $?"
KORVANTA_BATTLE="$battle" timeout 600 "$root/scripts/slurm/submit.sh" --shards 4 --dir "$work/cluster/run" --wait -- \
  "${arguments[@]}" --json --csv "$work/cluster/out.csv" --chart "$work/cluster/out.png" >"$work/submit.out" 2>&1 ||
  fail "the job array or its merge failed: $(cat "$work/submit.out"; cat "$work/cluster/run/"*.out 2>/dev/null)"
[ "$(ls "$work/cluster/run"/part.* 2>/dev/null | wc -l)" -eq 4 ] || fail "not 4 parts: $(ls "$work/cluster/run")"
cmp -s "$work/one/summary" "$work/cluster/run/summary" || fail "the merged summary differs"
cmp -s "$work/one/out.csv" "$work/cluster/out.csv" || fail "the merged CSV differs"
cmp -s "$work/one/out.png" "$work/cluster/out.png" || fail "the merged chart differs"

started=("${pids[@]}")
stop_daemons
for pid in "${started[@]}"; do
  kill -0 "$pid" 2>/dev/null && fail "daemon $pid is still running"
done
pgrep -f "$work/slurm.conf|$work/munge" >/dev/null && fail "a process of the cluster outlived its daemons"
if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "slurm: all checks passed"
