#!/usr/bin/env bash
# Benchmarks the SMILES reader against RDKit's MolFromSmiles on the same real
# SMILES (the NCI set first_5K.smi as written and the aromatic SMILES of
# wehi_mols.csv, from Debian's rdkit-data), both on one core, in one run, both
# timed in CPU time. Prints figures; checks nothing.
#
#   bash tools/bench_smiles.sh
#
# RDKit is installed here as the peer of the comparison only.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
core=${BENCH_CORE:-0}

bash tools/ensure_packages.sh python3-rdkit rdkit-data libbenchmark-dev cmake g++ \
  util-linux

mkdir -p bench/data
/usr/bin/python3 - "$root/bench/data/smiles.smi" <<'EOF'
import csv, sys
data = "/usr/share/RDKit"
smiles = []
with open(f"{data}/Data/NCI/first_5K.smi") as f:
    smiles += [l.split()[0] for l in f if l.split()]
with open(f"{data}/Data/Pains/test_data/wehi_mols.csv") as f:
    smiles += [row[0] for row in csv.reader(f) if row]
with open(sys.argv[1], "w") as out:
    out.write("\n".join(smiles) + "\n")
print(f"{len(smiles)} SMILES")
EOF

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVUDUZEZ_GUI=OFF -DVUDUZEZ_BENCH=ON >/dev/null
cmake --build build-bench -j "$(nproc)" --target vuduzez_bench >/dev/null

echo "== vuduzez, core $core"
json=$(mktemp)
taskset -c "$core" build-bench/vuduzez_bench --benchmark_filter='^Smiles' \
  --benchmark_min_time=2 --benchmark_out="$json" --benchmark_out_format=json

echo
echo "== RDKit MolFromSmiles, same SMILES, core $core"
rdkit=$(mktemp)
taskset -c "$core" /usr/bin/python3 - "$root/bench/data/smiles.smi" >"$rdkit" <<'EOF'
import sys, time
from rdkit import Chem, RDLogger
RDLogger.DisableLog("rdApp.*")
smiles = open(sys.argv[1]).read().split()
best, passes, start = float("inf"), 0, time.process_time()
while passes < 3 or time.process_time() - start < 6:
    t0 = time.process_time()
    ok = sum(Chem.MolFromSmiles(s) is not None for s in smiles)
    best = min(best, time.process_time() - t0)
    passes += 1
print(len(smiles) / best, ok)
EOF

echo
echo "== figures"
/usr/bin/python3 - "$json" "$rdkit" <<'EOF'
import json, sys
bench = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
rd_rate, rd_ok = open(sys.argv[2]).read().split()
rd_rate = float(rd_rate)
read = bench["SmilesRead"]
full = bench["SmilesReadFormulaKey"]
print(f"set: {int(read['molecules'])} SMILES, vuduzez read {int(read['read'])}, RDKit read {rd_ok}")
print(f"vuduzez ReadSmiles:                {read['items_per_second']:10.0f} molecules/s  (target >= 100000)")
print(f"vuduzez ReadSmiles+formula+key:    {full['items_per_second']:10.0f} molecules/s")
print(f"RDKit MolFromSmiles:               {rd_rate:10.0f} molecules/s")
print(f"ratio ReadSmiles / MolFromSmiles:  {read['items_per_second'] / rd_rate:10.2f}x")
EOF
rm -f "$json" "$rdkit"
