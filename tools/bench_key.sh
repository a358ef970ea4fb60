#!/usr/bin/env bash
# Benchmarks read + formula + structure key against RDKit reading the same MOL
# files and computing its path fingerprint (RDKFingerprint, maxPath=7), both on
# one core, in one run, both timed in CPU time (the machine may be shared).
# Prints figures; checks nothing.
#
#   bash tools/bench_key.sh
#
# The molecules are pubchem.200.sdf and bzr.sdf of Debian's rdkit-data, split
# into MOL files under bench/data/keymol/ (not committed). RDKit is installed
# here as the peer of the comparison only; vuduzez never uses it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/bench/data/keymol
core=${BENCH_CORE:-0}

bash tools/ensure_packages.sh python3-rdkit rdkit-data libbenchmark-dev cmake g++ \
  time util-linux

echo "== molecules: pubchem.200.sdf and bzr.sdf of rdkit-data, one MOL file each"
sdfs=$(dpkg -L rdkit-data | grep -E '/(pubchem\.200|bzr)\.sdf$')
rm -rf "$out"
mkdir -p "$out"
/usr/bin/python3 - "$out" $sdfs <<'EOF'
# The SD records as they are, up to and including "M  END" (no RDKit here:
# the MOL files must be the data's own text).
import os, sys
out = sys.argv[1]
for path in sys.argv[2:]:
    stem = os.path.basename(path).split(".")[0]
    with open(path, newline="") as f:
        records = f.read().split("$$$$")
    n = 0
    for rec in records:
        lines = rec.lstrip("\r\n").splitlines()
        if "M  END" not in lines:
            continue
        n += 1
        block = lines[: lines.index("M  END") + 1]
        with open(os.path.join(out, f"{stem}_{n:03d}.mol"), "w", newline="") as g:
            g.write("\n".join(block) + "\n")
    print(f"{os.path.basename(path)}: {n} molecules")
EOF
count=$(ls "$out" | wc -l)

echo
echo "== build (Release, build-bench)"
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVUDUZEZ_GUI=OFF -DVUDUZEZ_BENCH=ON >/dev/null
cmake --build build-bench -j "$(nproc)" --target vuduzez_bench >/dev/null

echo
echo "== vuduzez: read + formula + key, core $core"
json=$(mktemp)
timing=$(mktemp)
taskset -c "$core" /usr/bin/time -v -o "$timing" build-bench/vuduzez_bench \
  --benchmark_filter='^Key' --benchmark_min_time=2 \
  --benchmark_out="$json" --benchmark_out_format=json
ours_peak=$(awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}' "$timing")

echo
echo "== RDKit: MolFromMolFile + RDKFingerprint(maxPath=7), same files, core $core"
rdkit=$(mktemp)
taskset -c "$core" /usr/bin/python3 - "$out" >"$rdkit" <<'EOF'
import glob, resource, sys, time
from rdkit import Chem, RDLogger
RDLogger.DisableLog("rdApp.*")
files = sorted(glob.glob(sys.argv[1] + "/*.mol"))
best, passes, start = float("inf"), 0, time.process_time()
while passes < 3 or time.process_time() - start < 6:
    t0 = time.process_time()
    ok = 0
    for f in files:
        m = Chem.MolFromMolFile(f)
        if m is not None:
            Chem.RDKFingerprint(m, maxPath=7)
            ok += 1
    best = min(best, time.process_time() - t0)
    passes += 1
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
print(len(files) / best, ok, peak)
EOF
cat "$rdkit"

echo
echo "== figures"
/usr/bin/python3 - "$json" "$rdkit" "$ours_peak" "$count" <<'EOF'
import json, sys
bench = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
rd_rate, rd_ok, rd_peak = open(sys.argv[2]).read().split()
rd_rate = float(rd_rate)
ours = bench["KeyBenchSet"]
rate = ours["items_per_second"]
print(f"benchmark set: {sys.argv[4]} MOL files, vuduzez keyed {int(ours['keyed'])}, RDKit read {rd_ok}")
print(f"vuduzez read+formula+key:            {rate:10.0f} molecules/s")
print(f"RDKit read+RDKFingerprint(maxPath=7): {rd_rate:10.0f} molecules/s")
print(f"ratio vuduzez / RDKit:               {rate / rd_rate:10.2f}x  (target >= 2)")
if "KeySampleSet" in bench:
    s = bench["KeySampleSet"]
    print(f"sample/mol ({int(s['molecules'])} files):               {s['items_per_second']:10.0f} molecules/s")
w = bench["KeyFusedRingWorstCase"]
print(f"fused-ring worst case: {w['cpu_time']:.2f} ms CPU, {int(w['paths'])} path texts")
s = bench["KeySlowestMolecule/iterations:1"]
print(f"slowest file: {s['label']} {s['slowest_ms']:.3f} ms, {int(s['paths'])} path texts (target < 50 ms)")
print(f"peak memory: vuduzez bench process {int(sys.argv[3]) / 1024:.1f} MiB, RDKit process {int(rd_peak) / 1024:.1f} MiB")
EOF
rm -f "$json" "$timing" "$rdkit"
