#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
set -euo pipefail
PACKAGES=(
  build-essential cmake pkg-config
  libsdl2-dev libgl-dev libgl1-mesa-dri libglx-mesa0 libfreetype-dev libfontconfig-dev fonts-ipafont-gothic fonts-dejavu-core
  fonts-nanum fonts-arphic-gbsn00lp fonts-droid-fallback  # faces for the Korean and Chinese character sets
  libpng-dev zlib1g-dev libjpeg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-utils imagemagick libx11-dev
  python3 valgrind procps
  clang
  lintian desktop-file-utils appstream help2man man-db  # the Debian package, its desktop files and man pages
  nlohmann-json3-dev  # battle data files: reports line and column of syntax errors, has a parser callback for duplicate keys
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
# Slurm and MUNGE for the shards' cluster test (tests/slurm_shard_test.sh).
"$(dirname "$0")/slurm/install.sh"
