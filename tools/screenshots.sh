#!/usr/bin/env bash
# Makes the README pictures in docs/screenshots/: the menu, the search window
# with a query and a highlighted hit, the same with a query drawn in its panel,
# a batch run with its progress dialog, and the sketcher alone;
# and Qt's Japanese file dialog in $BUILD_DIR/screenshots/ (a check, not a
# README picture). Under a virtual X server when xvfb-run is there (the real
# window system), offscreen otherwise.
# Usage: tools/screenshots.sh [QUERY.mol [HIT_NAME]]   (paths relative to sample/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target vuduzez_screenshots
cd sample
scratch=$(mktemp -d)
export VUDUZEZ_EXTRA_SHOTS="$root/$build/screenshots"
trap 'rm -rf "$scratch"' EXIT
if command -v xvfb-run >/dev/null; then
  TMP=$scratch QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$root/$build/vuduzez_screenshots" "$root/docs/screenshots" "$@"
else
  TMP=$scratch QT_QPA_PLATFORM=offscreen "$root/$build/vuduzez_screenshots" \
    "$root/docs/screenshots" "$@"
fi
