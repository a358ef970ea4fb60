#!/usr/bin/env bash
# Installs what building, running and testing vuduzez needs on Debian 12 (as root).
set -euo pipefail
bash "$(dirname "$0")/ensure_packages.sh" build-essential cmake g++ clang libclang-rt-14-dev \
  ccache clang-format librdkit-dev libboost-dev nlohmann-json3-dev libgtest-dev libgmock-dev googletest libbenchmark-dev \
  zlib1g-dev qt6-base-dev qt6-svg-dev libgl-dev fonts-liberation2 fonts-ipafont-gothic \
  qt6-translations-l10n xvfb xauth strace
