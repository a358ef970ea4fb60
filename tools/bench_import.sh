#!/usr/bin/env bash
# Benchmarks SD file import beside batch registration of the same molecules as
# MOL files, and the import of an SD file 20 times larger (100 000 records)
# beside RDKit reading the same file (ForwardSDMolSupplier, every molecule
# parsed and sanitized): time and peak memory. Prints figures; checks only
# that import and batch registration give the same database.
#
#   bash tools/bench_import.sh [ROUNDS]     (default 3 rounds, medians printed)
#
# The 5 000 molecules are those of tools/make_bench_data.py (bench/data/mol,
# made here when missing); the SD file is those MOL files one after another,
# each ended by "$$$$", so both ways read the same bytes. Wall times on a busy
# machine vary: the rounds alternate the two ways and CPU times are printed too.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
data=$root/bench/data
rounds=${1:-3}

bash tools/ensure_packages.sh python3-rdkit rdkit-data cmake g++ time

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVUDUZEZ_GUI=OFF -DVUDUZEZ_BENCH=ON >/dev/null
cmake --build build-bench -j "$(nproc)" --target vuduzez-cli >/dev/null
cli=$root/build-bench/vuduzez-cli

[ -d "$data/mol" ] && [ "$(ls "$data/mol" | wc -l)" -ge 5000 ] ||
  /usr/bin/python3 tools/make_bench_data.py 5000
cd "$data"
for f in mol/*.mol; do cat "$f"; printf '$$$$\r\n'; done > import5k.sdf
# 20 times larger: the same records under new titles (r01_m00001.mol ...).
/usr/bin/python3 - <<'PY'
recs = open("import5k.sdf", "rb").read().split(b"$$$$\r\n")[:-1]
with open("import100k.sdf", "wb") as out:
    for rep in range(1, 21):
        for r in recs:
            out.write(b"r%02d_" % rep + r + b"$$$$\r\n")
PY
echo "SD files: import5k.sdf $(wc -c < import5k.sdf) bytes, import100k.sdf $(wc -c < import100k.sdf) bytes"

work=$(mktemp -d "$data/import-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
# One run: "wall user sys maxKB" of the command.
measure() { /usr/bin/time -f '%e %U %S %M' "$@" 2>&1 >/dev/null | tail -n 1; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

: > "$work/batch.txt" "$work/import.txt"
for i in $(seq "$rounds"); do
  : > "$work/db_batch.txt"
  measure "$cli" register --db "$work/db_batch.txt" mol >> "$work/batch.txt" || true
  rm -rf "$work/mol" && mkdir "$work/mol" && : > "$work/db_import.txt"
  measure "$cli" import --db "$work/db_import.txt" --mol-dir "$work/mol" import5k.sdf \
    >> "$work/import.txt" || true
done
cmp -s "$work/db_batch.txt" "$work/db_import.txt" && same="the same" || same="DIFFERENT"
echo
echo "== 5000 molecules, median of $rounds rounds (wall s, user s, sys s, max KB)"
for way in batch import; do
  printf '%-7s wall %s  user %s  sys %s  max %s KB\n' "$way" \
    "$(cut -d' ' -f1 "$work/$way.txt" | median)" "$(cut -d' ' -f2 "$work/$way.txt" | median)" \
    "$(cut -d' ' -f3 "$work/$way.txt" | median)" "$(cut -d' ' -f4 "$work/$way.txt" | median)"
done
bw=$(cut -d' ' -f1 "$work/batch.txt" | median)
iw=$(cut -d' ' -f1 "$work/import.txt" | median)
echo "import / batch registration (wall): $(awk -v a="$iw" -v b="$bw" 'BEGIN {printf "%.2f", a / b}')"
echo "databases written: $same ($(grep -c . "$work/db_import.txt") lines)"

echo
echo "== import and RDKit's SD reader on the same file (wall s, max resident KB)"
cat > "$work/rdkit_read.py" <<'PY'
import sys
from rdkit import Chem, RDLogger
RDLogger.DisableLog("rdApp.*")
n = bad = 0
with open(sys.argv[1], "rb") as f:
    for m in Chem.ForwardSDMolSupplier(f):
        n += 1
        bad += m is None
print(n, bad)
PY
for sd in import5k.sdf import100k.sdf; do
  rm -rf "$work/mol" && mkdir "$work/mol" && : > "$work/db_import.txt"
  read -r iwall _ _ ikb < <(measure "$cli" import --db "$work/db_import.txt" \
    --mol-dir "$work/mol" "$sd" || true)
  read -r rwall _ _ rkb < <(measure /usr/bin/python3 "$work/rdkit_read.py" "$sd")
  echo "$sd: $(wc -c < "$sd") bytes, $(grep -c . "$work/db_import.txt") database lines"
  echo "  vuduzez import  wall $iwall s  max $ikb KB"
  echo "  RDKit read      wall $rwall s  max $rkb KB"
  echo "  import / RDKit (wall): $(awk -v a="$iwall" -v b="$rwall" 'BEGIN {printf "%.2f", a / b}')"
done
