#!/usr/bin/env bash
# Builds and runs every test, as CI does:
#  0. the fast checks first: the layering of src/ (tools/check_layers.sh) and
#     the formatting of every C++ file (tools/check_format.sh);
#  1. the programs as tools/run_sample.sh builds them (g++, release), warnings
#     as errors;
#  2. one clang build under AddressSanitizer and UndefinedBehaviorSanitizer:
#     every test, core and desktop (offscreen, and the real program once under
#     Xvfb), and the fuzz targets, each fuzzed for VUDUZEZ_FUZZ_SECONDS seconds
#     (10 by default; set it higher for a long run by hand, e.g.
#     VUDUZEZ_FUZZ_SECONDS=600 bash tools/run_tests.sh);
#  3. a clang build under ThreadSanitizer of the test programs whose code runs
#     threads (batch registration, screening), without the desktop program.
# VUDUZEZ_RELEASE_TESTS=1 also builds and runs every test in the release build.
# Compilers run through ccache, so that a second run rebuilds little.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
jobs=$(nproc)
fuzz_seconds=${VUDUZEZ_FUZZ_SECONDS:-10}
ccache=()
command -v ccache >/dev/null && ccache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
start=$SECONDS

echo "== layers and format"
bash tools/check_layers.sh
bash tools/check_format.sh

echo "== release build (g++) of the programs"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVUDUZEZ_WERROR=ON "${ccache[@]}" >/dev/null
if [ "${VUDUZEZ_RELEASE_TESTS:-0}" = 1 ]; then
  cmake --build build -j "$jobs"
  QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$jobs"
else
  cmake --build build -j "$jobs" --target vuduzez vuduzez-cli
fi

echo "== clang build with ASan and UBSan: every test, fuzz targets"
# Line tables are enough for the sanitizers' stack traces and build quicker.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only \
  -DCMAKE_CXX_COMPILER=clang++ -DVUDUZEZ_WERROR=ON -DVUDUZEZ_SANITIZE=ON -DVUDUZEZ_FUZZ=ON \
  "${ccache[@]}" >/dev/null
cmake --build build-asan -j "$jobs"
export UBSAN_OPTIONS=print_stacktrace=1
# RDKit's own leaks on refused input (tools/lsan_rdkit.supp).
export LSAN_OPTIONS=suppressions=$(pwd)/tools/lsan_rdkit.supp
ASAN_OPTIONS=detect_leaks=1 QT_QPA_PLATFORM=offscreen \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -E vuduzez_smoke
# The real program under Xvfb: the X11 libraries keep what they allocate until
# the process ends, which the leak check would take for leaks.
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan --output-on-failure -R vuduzez_smoke
export ASAN_OPTIONS=detect_leaks=1

echo "== clang build with TSan: the tests of batch registration and screening (threads)"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only -O1" \
  -DCMAKE_CXX_COMPILER=clang++ -DVUDUZEZ_WERROR=ON -DVUDUZEZ_TSAN=ON -DVUDUZEZ_GUI=OFF \
  "${ccache[@]}" >/dev/null
cmake --build build-tsan -j "$jobs" --target test_register test_search
mkdir -p build-tsan/test-cache
for t in test_register test_search; do
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" XDG_CACHE_HOME="$PWD/build-tsan/test-cache" \
    "build-tsan/$t" --gtest_brief=1
done

echo "== fuzz targets, $fuzz_seconds s each"
for src in fuzz/fuzz_*.cpp; do
  t=$(basename "$src" .cpp)
  corpus=$(mktemp -d)
  [ -d "fuzz/corpus/${t#fuzz_}" ] && cp -r "fuzz/corpus/${t#fuzz_}/." "$corpus/"
  cp sample/mol/*.mol "$corpus/" 2>/dev/null || true
  log=$(mktemp)
  if ! "build-asan/$t" -max_total_time="$fuzz_seconds" -max_len=65536 -print_final_stats=1 \
    "$corpus" >"$log" 2>&1; then
    cat "$log"
    echo "$t failed"
    exit 1
  fi
  echo "$t: $(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}') inputs"
  rm -rf "$corpus" "$log"
done
echo "all tests passed in $((SECONDS - start)) s"
