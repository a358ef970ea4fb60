#!/usr/bin/env bash
# The exact search beside RDKit on the same real molecules: hit lists compared
# with RDKit's (5 000 molecules as drawn, and every molecule and query redrawn
# in another Kekule form), then times beside RDKit's SubstructLibrary
# (MolHolder + PatternHolder, Python, one thread) at 5 000 records and at
# VUDUZEZ_EXACT_RECORDS records (100 000 by default; 1000000 for the million
# figures: index build on every core, one-shot search, per query once loaded).
# The large MOL folder repeats the 5 000 files under new names (hard links).
# Prints figures; checks nothing but the hit lists.
#
#   bash tools/bench_exact.sh
#   VUDUZEZ_EXACT_RECORDS=1000000 bash tools/bench_exact.sh
#
# Data goes to bench/data/ (not committed), the indexes to bench/data/cache*/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
data=$root/bench/data
records=${VUDUZEZ_EXACT_RECORDS:-100000}

bash tools/ensure_packages.sh python3-rdkit rdkit-data libbenchmark-dev zlib1g-dev cmake g++ time

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVUDUZEZ_GUI=OFF -DVUDUZEZ_BENCH=ON >/dev/null
cmake --build build-bench -j "$(nproc)" --target vuduzez-cli vuduzez_bench >/dev/null
cli=$root/build-bench/vuduzez-cli
bench=$root/build-bench/vuduzez_bench
py=/usr/bin/python3
compare=$root/bench/exact_vs_rdkit.py

echo "== test data: 5000 MOL files from rdkit-data, the queries, the same redrawn"
[ -f "$data/all.sdf" ] && [ -d "$data/mol" ] || $py tools/make_bench_data.py 5000
cd "$data"
$py "$compare" queries exact_queries
[ -d mol_kekule2 ] || $py "$compare" redraw mol mol_kekule2
rm -rf exact_queries_k2 && $py "$compare" redraw exact_queries exact_queries_k2 >/dev/null
sed "s#/exact_queries/#/exact_queries_k2/#" exact_queries/queries.tsv >exact_queries_k2/queries.tsv
export XDG_CACHE_HOME=$data/cache-exact
rm -rf "$XDG_CACHE_HOME"
: >exact5k.txt
"$cli" register --db exact5k.txt mol >/dev/null 2>&1 || true  # a few files our reader refuses
: >exact5k_k2.txt
"$cli" register --db exact5k_k2.txt mol_kekule2 >/dev/null 2>&1 || true

echo
echo "== hits beside RDKit's (HasSubstructMatch, default parameters), 5000 molecules"
status=0
$py "$compare" compare exact_queries/queries.tsv "$cli" exact5k.txt mol mol || status=1
echo
echo "== the same with every record and query redrawn in another Kekule form (RDKit reads the originals)"
$py "$compare" compare exact_queries_k2/queries.tsv "$cli" exact5k_k2.txt mol_kekule2 mol |
  tail -1 || status=1

run_bench() {  # database, MOL folder, JSON out, filter
  VUDUZEZ_BENCH_EXACT_DB=$data/$1 VUDUZEZ_BENCH_EXACT_MOLS=$data/$2 \
    VUDUZEZ_BENCH_EXACT_QUERIES=$data/exact_queries/queries.tsv \
    "$bench" --benchmark_filter="$4" --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true --benchmark_format=json >"$3" 2>/dev/null
}

echo
echo "== 5000 records: index build and per query, one thread, beside SubstructLibrary"
run_bench exact5k.txt mol exact5k.json 'BM_SoundIndexBuild|BM_Exact1/'
$py "$compare" peer mol exact_queries/queries.tsv exact5k.json

echo
echo "== $records records: the 5000 MOL files linked under new names"
big=mol$records
$py "$root/tools/repeat_bench_data.py" "$records" exact5k.txt "$big" "exact$records.txt"
rm -rf "$XDG_CACHE_HOME"
echo "-- index build from $records MOL files on $(nproc) cores (progress on stderr):"
/usr/bin/time -f 'search --exact without an index (builds it): %e s wall, %M KB peak' \
  "$cli" search --exact --db "exact$records.txt" --mol-dir "$big" --smiles c1ccccc1 >/dev/null
echo "-- one-shot search --exact with a valid index (the median of 3 runs):"
for q in "benzene_ring:c1ccccc1" "carboxylic_acid:C(=O)[OH]" "indole:c1ccc2[nH]ccc2c1" "ketone:CC(=O)C"; do
  name=${q%%:*} smiles=${q#*:}
  for i in 1 2 3; do
    /usr/bin/time -f '%e' -o time.out "$cli" search --exact --db "exact$records.txt" \
      --mol-dir "$big" --smiles "$smiles" >/dev/null 2>hits.err
    cat time.out
  done | sort -n | sed -n 2p | { read -r t; echo "$name: $t s  ($(tail -1 hits.err))"; }
done
if [ "$records" -le 100000 ]; then
  run_bench "exact$records.txt" "$big" "exact$records.json" 'BM_SoundIndexBuild|BM_Exact1/|BM_ExactAll/'
  $py "$compare" peer "$big" exact_queries/queries.tsv "exact$records.json"
else
  run_bench "exact$records.txt" "$big" "exact$records.json" \
    'BM_SoundIndexBuild|BM_SoundIndexLoad|BM_ExactAll/(benzene|acid|indole|ketone)$'
  $py "$compare" peer "$big" exact_queries/queries.tsv "exact$records.json" build-only
fi
$py - "exact$records.json" <<'PY'
import json, sys
rows = [b for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b.get("aggregate_name") == "median" or b.get("run_type") == "iteration"]
for b in rows:
    if b["run_name"].startswith("BM_ExactAll/") or b["run_name"] == "BM_SoundIndexLoad":
        print(f"{b['run_name']:34} {b['real_time']:9.2f} ms once loaded, every core "
              f"({int(b.get('hits', 0))} hits)" if "hits" in b else
              f"{b['run_name']:34} {b['real_time']:9.2f} ms (map and check a valid index)")
PY
exit $status
