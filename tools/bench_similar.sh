#!/usr/bin/env bash
# The similarity search beside RDKit on the same real molecules: top-50 lists
# and threshold hits of 30 queries compared with RDKit's (5 000 molecules as
# drawn, and the same drawn with every hydrogen as an atom), then times beside
# RDKit's BulkTanimotoSimilarity over the same Morgan fingerprints at
# VUDUZEZ_SIMILAR_RECORDS records (100 000 by default; 1000000 for the
# million figures): per query once loaded (threshold 0.7, top 50; one thread
# and every core), the one-shot `search --similar` with a valid index, and
# loading the index. The large MOL folder repeats the 5 000 files under new
# names (hard links), as tools/bench_exact.sh makes it. Prints figures;
# checks nothing but the hit lists.
#
#   bash tools/bench_similar.sh
#   VUDUZEZ_SIMILAR_RECORDS=1000000 bash tools/bench_similar.sh
#
# Data goes to bench/data/ (not committed), the indexes to bench/data/cache-similar/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
data=$root/bench/data
records=${VUDUZEZ_SIMILAR_RECORDS:-100000}

bash tools/ensure_packages.sh python3-rdkit rdkit-data libbenchmark-dev zlib1g-dev cmake g++ time

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVUDUZEZ_GUI=OFF -DVUDUZEZ_BENCH=ON >/dev/null
cmake --build build-bench -j "$(nproc)" --target vuduzez-cli vuduzez_bench >/dev/null
cli=$root/build-bench/vuduzez-cli
bench=$root/build-bench/vuduzez_bench
py=/usr/bin/python3
compare=$root/bench/similar_vs_rdkit.py

echo "== test data: 5000 MOL files from rdkit-data, the same with explicit hydrogens, 30 queries"
[ -f "$data/all.sdf" ] && [ -d "$data/mol" ] || $py tools/make_bench_data.py 5000
cd "$data"
$py "$compare" queries mol similar_queries.tsv
if [ ! -d mol_hydrogens ]; then
  $py - <<'PY'
import os
from rdkit import Chem, RDLogger
RDLogger.DisableLog("rdApp.*")
os.makedirs("mol_hydrogens")
for f in sorted(os.listdir("mol")):
    m = Chem.MolFromMolFile("mol/" + f)
    if m is None:
        continue
    m = Chem.AddHs(m, addCoords=True)
    Chem.Kekulize(m, clearAromaticFlags=True)
    m.SetProp("_Name", f)
    open("mol_hydrogens/" + f, "w").write(Chem.MolToMolBlock(m, kekulize=False))
PY
fi
sed "s#/mol/#/mol_hydrogens/#" similar_queries.tsv >similar_queries_h.tsv
export XDG_CACHE_HOME=$data/cache-similar
rm -rf "$XDG_CACHE_HOME"
: >similar5k.txt
"$cli" register --db similar5k.txt mol >/dev/null 2>&1 || true  # a few files our reader refuses
: >similar5k_h.txt
"$cli" register --db similar5k_h.txt mol_hydrogens >/dev/null 2>&1 || true

echo
echo "== hits beside RDKit's (Morgan radius 2, 2048 bits; BulkTanimotoSimilarity), 5000 molecules"
status=0
$py "$compare" compare similar_queries.tsv "$cli" similar5k.txt mol || status=1
echo
echo "== the same with every hydrogen drawn as an atom (records and MOL queries)"
$py "$compare" compare similar_queries_h.tsv "$cli" similar5k_h.txt mol_hydrogens | tail -1 ||
  status=1

echo
echo "== $records records: the 5000 MOL files linked under new names"
big=mol$records
$py "$root/tools/repeat_bench_data.py" "$records" similar5k.txt "$big" "similar$records.txt"
db=similar$records.txt
echo "-- the index made from $records MOL files on $(nproc) cores (progress on stderr):"
/usr/bin/time -f 'search --similar without an index (builds both): %e s wall, %M KB peak' \
  "$cli" search --similar --db "$db" --mol-dir "$big" --smiles c1ccccc1O >/dev/null
cache_size() { du -m "$XDG_CACHE_HOME"/vuduzez/"$1"-*.bin | awk '{s += $1} END {print s " MB"}'; }
echo "   cache files: sound index $(cache_size sound), similarity index $(cache_size similar)"
echo "-- one-shot search --similar with a valid index (the median of 5 runs):"
q1=$(sed -n 1p similar_queries.tsv | cut -f3)
for run in "aspirin, threshold 0.7:--smiles CC(=O)Oc1ccccc1C(=O)O" \
  "aspirin, top 50:--top 50 --smiles CC(=O)Oc1ccccc1C(=O)O" \
  "$(basename "$q1") (a MOL file), threshold 0.7:$q1" \
  "$(basename "$q1") (a MOL file), top 50:--top 50 $q1"; do
  label=${run%%:*} args=${run#*:}
  # shellcheck disable=SC2086
  for i in 1 2 3 4 5; do
    /usr/bin/time -f '%e %M' -o time.out "$cli" search --similar --db "$db" --mol-dir "$big" \
      $args >/dev/null 2>hits.err
    cat time.out
  done | sort -n | sed -n 3p | {
    read -r t m
    echo "$label: $t s, $m KB peak  ($(tail -1 hits.err))"
  }
done

VUDUZEZ_BENCH_SIMILAR_DB=$data/$db VUDUZEZ_BENCH_SIMILAR_MOLS=$data/$big \
  VUDUZEZ_BENCH_SIMILAR_QUERIES=$data/similar_queries.tsv \
  "$bench" --benchmark_filter='BM_Similar' --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"similar$records.json" 2>/dev/null
$py - "similar$records.json" <<'PY'
import json, sys
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    name = b["run_name"].split("/iterations:")[0]
    what = {"BM_SimilarIndexSort": "the prints sorted into bins from the sound index",
            "BM_SimilarIndexLoad": "a valid similarity index mapped and checked"}
    if b.get("aggregate_name") == "median" and name in what:
        print(f"{what[name]}: {b['real_time']:.1f} ms")
PY
echo
echo "== per query once loaded, beside RDKit's BulkTanimotoSimilarity over the same $records fingerprints"
$py "$compare" peer similar_queries.tsv "$db" "$big" "similar$records.json"
exit $status
