#!/usr/bin/env bash
# Builds vuduzez and runs it on the bundled sample workspace (sample/).
# With a display it opens the desktop program there; without one it runs the
# command-line demo: the structure keys of the sample MOL files and a
# substructure search of a sample query against the sample database.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)"
root=$(pwd)
cd sample

if [ -n "${DISPLAY:-}" ] && [ -x "$root/build/vuduzez" ] && [ "${VUDUZEZ_NO_GUI:-}" != 1 ]; then
  echo "Opening the desktop program in $(pwd) ..."
  exec "$root/build/vuduzez"
fi

echo "== structure keys of the sample MOL files (file, name, formula, weight, key)"
"$root/build/vuduzez-cli" key mol/*.mol | cut -c1-160
if [ -f vuduzez.ini ] && [ -d queries ]; then
  for q in queries/*.mol; do
    echo
    echo "== substructure search: $q against the sample database"
    "$root/build/vuduzez-cli" search "$q"
  done
fi
echo
echo "No display found: to open the desktop program, run it in a desktop session:"
echo "  cd sample && ../build/vuduzez"
echo "or headless under Xvfb:  cd sample && xvfb-run -a ../build/vuduzez"
