#!/usr/bin/env bash
# Installs what building, running and testing vuduzez needs on Debian 12 (as root).
set -euo pipefail
need=(build-essential cmake g++ clang libclang-rt-14-dev ccache libgtest-dev libgmock-dev googletest
      libbenchmark-dev zlib1g-dev qt6-base-dev qt6-svg-dev libgl-dev fonts-liberation2
      fonts-ipafont-gothic qt6-translations-l10n
      xvfb xauth)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
