#!/usr/bin/env bash
# Checks the layering of src/: no file includes a header of a higher layer,
# Qt is included only in src/gui/ (and the CLI's PNG writer), RDKit only in
# src/chem/. Layers, lowest first: platform; model; key and chem; database;
# search, depict, register and sketch; gui and cli. Fast: run early by
# tools/run_tests.sh. Prints every offending include and exits 1 on any.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A rank=([platform]=0 [model]=1 [key]=2 [chem]=2 [database]=3 [search]=4 [depict]=4
                 [register]=4 [sketch]=4 [gui]=5 [cli]=5)
bad=0
for file in src/*/*.{h,cpp}; do
  layer=$(basename "$(dirname "$file")")
  if [ -z "${rank[$layer]+x}" ]; then
    echo "$file: folder $layer is in no layer (add it to tools/check_layers.sh)"
    bad=1
    continue
  fi
  while IFS=: read -r line target; do
    to=${target%%/*}
    if [ -z "${rank[$to]+x}" ]; then
      echo "$file:$line: includes $target from no layer"
      bad=1
    elif [ "${rank[$to]}" -gt "${rank[$layer]}" ]; then
      echo "$file:$line: $layer includes $target of the higher layer $to"
      bad=1
    fi
  done < <(grep -nE '^#include "' "$file" | sed 's/^\([0-9]*\):#include "\([^"]*\)".*/\1:\2/' || true)
  if [ "$layer" != gui ] && [ "$file" != src/cli/cmd_draw_qt.cpp ]; then
    grep -nE '^#include <Q' "$file" | sed "s|^|$file:|;s|$|  (Qt outside src/gui)|" && bad=1
  fi
  if [ "$layer" != chem ]; then
    grep -nE '^#include <(GraphMol|RDGeneral|DataStructs|Geometry|RDBoost)/' "$file" |
      sed "s|^|$file:|;s|$|  (RDKit outside src/chem)|" && bad=1
  fi
done
[ "$bad" = 0 ] && echo "layers: every include goes down or sideways" || exit 1
