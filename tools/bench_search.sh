#!/usr/bin/env bash
# Benchmarks batch registration and substructure search, and compares with Open
# Babel's fastsearch on the same molecules. Prints figures; checks nothing.
#
#   bash tools/bench_search.sh            (5 000 molecules, 100 000 and ~300 MB databases)
#
# Data goes to bench/data/ (not committed). Open Babel and RDKit are installed
# here for the comparison and the test data only; vuduzez never uses them.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
data=$root/bench/data
jobs=$(nproc)

bash tools/ensure_packages.sh openbabel python3-rdkit rdkit-data libbenchmark-dev \
  cmake g++ eatmydata

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVUDUZEZ_GUI=OFF -DVUDUZEZ_BENCH=ON >/dev/null
cmake --build build-bench -j "$jobs" --target vuduzez-cli vuduzez_bench >/dev/null
cli=$root/build-bench/vuduzez-cli

seconds() { /usr/bin/time -f '%e' "$@" 2>&1 >/dev/null | tail -n 1; }

echo "== test data: 5000 MOL files from rdkit-data"
/usr/bin/python3 tools/make_bench_data.py 5000
cd "$data"

echo
echo "== batch registration of 5000 MOL files (vuduzez-cli register)"
: > db5k.txt
/usr/bin/time -f 'register: %e s wall, %U s user, %M KB max' "$cli" register --db db5k.txt mol \
  > register.log 2> register.err || true
tail -n 1 register.err
tail -n 1 register.log
echo "database: $(wc -c < db5k.txt) bytes"

echo
echo "== what flushing appended records to disk costs (every 100 records and at the end)"
echo "   the same run under eatmydata, which turns fsync into nothing, is the peer"
for run in 1 2; do
  : > sync.txt
  /usr/bin/time -f "flushed:       %e s wall, %U s user, %S s sys" "$cli" register --db sync.txt mol \
    2>&1 >/dev/null | tail -n 1
  : > sync.txt
  /usr/bin/time -f "not flushed:   %e s wall, %U s user, %S s sys" eatmydata "$cli" register \
    --db sync.txt mol 2>&1 >/dev/null | tail -n 1
done
cmp -s sync.txt db5k.txt && echo "(same database bytes either way)"

echo
echo "== databases made by repeating the 5000 records"
/usr/bin/python3 - <<'PY'
recs = []
lines = open("db5k.txt", "rb").read().split(b"\r\n")
recs = [lines[i:i + 4] for i in range(0, len(lines) - 1, 4)]
def make(path, records=None, key_bytes=None):
    n = kb = rep = 0
    with open(path, "wb") as out:
        while True:
            for r in recs:
                if (records and n >= records) or (key_bytes and kb >= key_bytes):
                    print(f"{path}: {n} records, {kb / 1e6:.1f} MB of keys")
                    return
                out.write(b"r%02d_" % rep + b"\r\n".join(r) + b"\r\n")
                n += 1
                kb += len(r[3])
            rep += 1
make("big.txt", records=100000)
make("big300.txt", key_bytes=300_000_000)
PY

echo
echo "== search: load and one query (Google Benchmark; CPU time is the figure on a busy machine)"
for db in big.txt big300.txt; do
  echo "-- $db"
  VUDUZEZ_BENCH_DB=$data/$db "$root/build-bench/vuduzez_bench" --benchmark_filter="Search|Query" --benchmark_min_time=0.5 2>/dev/null \
    | grep -E '^BM_'
done

queries=("$root"/sample/queries/*.mol)
echo
echo "== end to end: vuduzez-cli search (read query, key, load, screen, print)"
for q in "${queries[@]}"; do
  for db in db5k.txt big.txt; do
    hits=$("$cli" search --db "$db" "$q" 2>/dev/null | wc -l)
    t=$(seconds "$cli" search --db "$db" "$q")
    echo "$(basename "$q") on $db: $hits hits, $t s"
  done
done

echo
echo "== Open Babel fastsearch on the same 5000 molecules"
echo "index: $(seconds obabel all.sdf -ofs -O all.fs) s"
for q in "${queries[@]}"; do
  hits=$(obabel all.fs -s "$q" -al 1000000 -osmi 2>/dev/null | wc -l)
  t=$(seconds obabel all.fs -s "$q" -al 1000000 -osmi)
  echo "$(basename "$q"): $hits hits, $t s"
done
echo
echo "== Open Babel fastsearch on 100 000 molecules (all.sdf repeated 20 times)"
for _ in $(seq 20); do cat all.sdf; done > all100k.sdf
echo "index: $(seconds obabel all100k.sdf -ofs -O all100k.fs) s"
for q in "${queries[@]}"; do
  hits=$(obabel all100k.fs -s "$q" -al 1000000 -osmi 2>/dev/null | wc -l)
  t=$(seconds obabel all100k.fs -s "$q" -al 1000000 -osmi)
  echo "$(basename "$q"): $hits hits, $t s"
done
