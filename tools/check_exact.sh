#!/usr/bin/env bash
# Our screen and matcher beside RDKit's matcher, in one program, over a MOL
# folder (the benchmark's 5000 molecules by default) for the benchmark's
# queries: every record where they differ, or where the screen would drop a
# match, is printed; exit status 1 when there is one.
#
#   bash tools/check_exact.sh [MOLDIR]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/ensure_packages.sh python3-rdkit rdkit-data cmake g++
[ -d bench/data/mol ] || /usr/bin/python3 tools/make_bench_data.py 5000
/usr/bin/python3 bench/exact_vs_rdkit.py queries bench/data/exact_queries
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVUDUZEZ_GUI=OFF -DVUDUZEZ_BENCH=ON >/dev/null
cmake --build build-bench -j "$(nproc)" --target vuduzez_exact_check >/dev/null
build-bench/vuduzez_exact_check "${1:-bench/data/mol}" bench/data/exact_queries/queries.tsv
