#!/usr/bin/env bash
# Makes the README pictures in docs/screenshots/ without a display: the menu
# and the search window showing a hit of a sample query (offscreen, grabbed
# from the widgets).
# Usage: tools/screenshots.sh [QUERY.mol [HIT_NAME]]   (paths relative to sample/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target vuduzez_screenshots
cd sample
TMP=$(mktemp -d) QT_QPA_PLATFORM=offscreen "$root/$build/vuduzez_screenshots" \
  "$root/docs/screenshots" "$@"
