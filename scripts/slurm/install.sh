#!/usr/bin/env bash
# Installs Debian's Slurm and MUNGE for the single-node test cluster
# (tests/slurm_shard_test.sh). Their services must not start at install time
# (there is no systemd here, and the test starts its own daemons on private
# ports): a policy-rc.d that refuses every start is put in place for the
# install and removed afterwards, unless one was there already.
set -euo pipefail
PACKAGES=(slurm-wlm munge)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
policy=/usr/sbin/policy-rc.d
placed=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  placed=1
fi
cleanup() { if [ "$placed" -eq 1 ]; then $SUDO rm -f "$policy"; fi; }
trap cleanup EXIT
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
