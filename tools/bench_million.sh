#!/usr/bin/env bash
# Every database command on a large database: a database of VUDUZEZ_RECORDS
# records (1 000 000 by default) made by repeating the benchmark's real records
# under new names. Prints time and peak memory (/usr/bin/time) of each command,
# the rate of database text the command reads beside a plain sequential read
# of the same file (cat) in the same run, and batch registration of
# VUDUZEZ_BATCH MOL files (100 000) on one thread and on two. Not run in CI.
#
#   bash tools/bench_million.sh                    (the build in build-bench)
#   VUDUZEZ_CLI=/path/to/vuduzez-cli VUDUZEZ_RECORDS=200000 bash tools/bench_million.sh
# The per-query figure needs vuduzez_bench beside the CLI or VUDUZEZ_BENCH_BIN.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
data=$root/bench/data
records=${VUDUZEZ_RECORDS:-1000000}
batch=${VUDUZEZ_BATCH:-100000}
bash tools/ensure_packages.sh python3-rdkit rdkit-data libbenchmark-dev cmake g++ time

if [ -z "${VUDUZEZ_CLI:-}" ]; then
  cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVUDUZEZ_GUI=OFF -DVUDUZEZ_BENCH=ON >/dev/null
  cmake --build build-bench -j "$(nproc)" --target vuduzez-cli vuduzez_bench >/dev/null
fi
cli=${VUDUZEZ_CLI:-$root/build-bench/vuduzez-cli}
[ -d "$data/mol" ] || /usr/bin/python3 tools/make_bench_data.py 5000
cd "$data"
export XDG_CACHE_HOME=$data/cache-million  # the screen index and connection tables of this run
rm -rf "$XDG_CACHE_HOME"

echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores; $cli"
[ -s db5k.txt ] || "$cli" register --db db5k.txt mol >/dev/null 2>&1 || true
/usr/bin/python3 - "$records" <<'PY'
import sys
n = int(sys.argv[1])
lines = open("db5k.txt", "rb").read().split(b"\r\n")
recs = [lines[i:i + 4] for i in range(0, len(lines) - 1, 4)]
out = open("million.txt", "wb")
k = rep = 0
while k < n:
    for r in recs:
        if k >= n:
            break
        out.write(b"z%04d_" % rep + b"\r\n".join(r) + b"\r\n")
        k += 1
    rep += 1
PY
size=$(stat -c %s million.txt)
echo "database: $records records, $((size / 1000000)) MB"

# time and peak memory of one command; the database text rate when it reads the whole file
run() {
  local label=$1
  shift
  /usr/bin/time -f '%e %M' -o time.out "$@" >/dev/null 2>run.err || true
  read -r secs kb < time.out
  awk -v l="$label" -v s="$secs" -v k="$kb" -v b="$size" \
    'BEGIN { printf "%-34s %7.2f s %8.0f MB peak   %6.2f GB/s of database text\n", l, s, k / 1024, (s > 0 ? b / s / 1e9 : 0) }'
}

cat million.txt >/dev/null  # in the page cache, as for every command below
run "cat (plain sequential read)" cat million.txt
run "list" "$cli" list --db million.txt
q=$root/sample/queries/carboxylic_acid.mol
run "search, no screen index yet" "$cli" search --db million.txt "$q"
run "search one-shot (screen index)" "$cli" search --db million.txt "$q"
run "search one-shot, 2nd query" "$cli" search --db million.txt "$root/sample/queries/benzene_ring.mol"
# The window's query on records already loaded: the benchmark program beside
# the CLI (or VUDUZEZ_BENCH_BIN), on this very database.
bench_bin=${VUDUZEZ_BENCH_BIN:-$(dirname "$cli")/vuduzez_bench}
if [ -x "$bench_bin" ]; then
  echo "-- per query once loaded (screening of every record, as the search window runs it)"
  VUDUZEZ_BENCH_DB=$data/million.txt "$bench_bin" --benchmark_filter='BM_Query/' \
    --benchmark_min_time=0.5 --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    2>/dev/null | awk '/^BM_.*_median/ { printf "%-34s %7s %s wall, %s %s on this thread\n", $1, $2, $3, $4, $5 }' || true
else
  echo "-- per query once loaded: no vuduzez_bench beside $cli (set VUDUZEZ_BENCH_BIN)"
fi
cp million.txt million-del.txt
sync  # the copy's pages are on disk: the commands' own flushes are what is timed
run "delete one name" "$cli" delete --db million-del.txt z0100_m00001.mol
run "rewrite" "$cli" rewrite --db million-del.txt
mkdir -p one && rm -f one/* && cp mol/m00001.mol one/newly_added.mol
cp million.txt million-reg.txt
sync
run "register one file" "$cli" register --db million-reg.txt one
rm -f million-del.txt million-reg.txt

echo "-- batch registration of $batch MOL files"
mkdir -p batch
if [ "$(ls batch | wc -l)" -ne "$batch" ]; then
  rm -rf batch && mkdir batch
  i=0
  while [ "$i" -lt "$batch" ]; do
    for f in mol/*.mol; do
      [ "$i" -ge "$batch" ] && break
      ln "$f" "batch/b$(printf %06d "$i").mol"
      i=$((i + 1))
    done
  done
fi
for threads in 1 2; do
  : > "batch$threads.txt"
  start=$(date +%s.%N)
  VUDUZEZ_THREADS=$threads "$cli" register --db "batch$threads.txt" batch >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  echo "$threads thread(s): $(echo "$end - $start" | bc) s" | tee "batch$threads.time"
done
t1=$(sed 's/.*: \(.*\) s/\1/' batch1.time)
t2=$(sed 's/.*: \(.*\) s/\1/' batch2.time)
echo "ratio 1 thread / 2 threads: $(echo "scale=2; $t1 / $t2" | bc)"
cmp -s batch1.txt batch2.txt && echo "databases byte-identical" || echo "DATABASES DIFFER"
echo "load now: $(cut -d' ' -f1-3 /proc/loadavg)"
