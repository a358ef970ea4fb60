#!/usr/bin/env bash
# Benchmarks the exact (atom-by-atom) search beside RDKit's SubstructLibrary on
# the same 5 000 real molecules, then on 100 000 records. Prints figures;
# checks nothing.
#
#   bash tools/bench_exact.sh
#
# Data goes to bench/data/ (not committed), the connection table cache to
# bench/data/cache/. RDKit is installed here for the comparison and the test
# data only; vuduzez never uses it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
data=$root/bench/data

bash tools/ensure_packages.sh python3-rdkit rdkit-data libbenchmark-dev zlib1g-dev \
  cmake g++

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVUDUZEZ_GUI=OFF -DVUDUZEZ_BENCH=ON >/dev/null
cmake --build build-bench -j "$(nproc)" --target vuduzez-cli vuduzez_bench >/dev/null
cli=$root/build-bench/vuduzez-cli
bench=$root/build-bench/vuduzez_bench

echo "== test data: 5000 MOL files from rdkit-data, and the queries"
[ -f "$data/all.sdf" ] && [ -d "$data/mol" ] || /usr/bin/python3 tools/make_bench_data.py 5000
/usr/bin/python3 bench/exact_vs_rdkit.py queries "$data/exact_queries"
cd "$data"
export XDG_CACHE_HOME=$data/cache
rm -rf "$XDG_CACHE_HOME"

run_bench() {  # database, MOL folder, JSON out
  VUDUZEZ_BENCH_EXACT_DB=$data/$1 VUDUZEZ_BENCH_EXACT_MOLS=$data/$2 \
    VUDUZEZ_BENCH_EXACT_QUERIES=$data/exact_queries \
    "$bench" --benchmark_filter='BM_Exact' --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_format=json >"$3" 2>/dev/null
}

echo
echo "== 5000 molecules: batch registration (builds the table cache too)"
: >exact5k.txt
/usr/bin/time -f 'register: %e s wall' "$cli" register --db exact5k.txt mol >/dev/null
run_bench exact5k.txt mol exact5k.json
echo
/usr/bin/python3 "$root/bench/exact_vs_rdkit.py" compare all.sdf exact_queries exact5k.json "$cli" exact5k.txt mol

echo
echo "== 100 000 records: the 5000 MOL files linked under 20 names each"
rm -rf mol100k
/usr/bin/python3 - <<'PY'
import os
os.mkdir("mol100k")
for r in range(20):
    for f in sorted(os.listdir("mol")):
        os.link(f"mol/{f}", f"mol100k/r{r:02d}_{f}")
PY
: >exact100k.txt
/usr/bin/time -f 'batch registration of 100000 files: %e s wall' "$cli" register --db exact100k.txt mol100k >/dev/null
run_bench exact100k.txt mol100k exact100k.json
/usr/bin/python3 - exact100k.json <<'PY'
import json, sys
rows = [b for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b.get("aggregate_name") == "median" or b.get("run_type") == "iteration"]
for b in rows:
    if not b["run_name"].startswith("BM_Exact/"):
        extra = f", {b['files_per_s']:.0f} files/s" if "files_per_s" in b else ""
        print(f"{b['run_name']}: {b['real_time'] / 1000:.2f} s wall, "
              f"{b['cpu_time'] / 1000:.2f} s cpu{extra}")
q = [b for b in rows if b["run_name"].startswith("BM_Exact/")]
print("times in ms: median of 5 after load (wall, cpu); the first search after a load also")
print("compares each screened record's MOL file stamp (wall, cpu with the stat calls)")
print(f"{'query':20} {'screened':>8} {'exact':>7} {'unconf':>6} {'median':>8} {'cpu':>7} "
      f"{'first':>8} {'cpu':>7}")
for b in q:
    print(f"{b['run_name'][9:]:20} {int(b['screened']):8d} {int(b['exact']):7d} "
          f"{int(b['unconfirmed']):6d} {b['real_time']:8.1f} {b['cpu_time']:7.1f} "
          f"{b['first_ms']:8.1f} {b['first_cpu_ms']:7.1f}")
print(f"slowest query after load: median {max(b['real_time'] for b in q):.1f} ms, "
      f"first search {max(b['first_ms'] for b in q):.1f} ms")
PY
