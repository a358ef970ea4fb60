#!/usr/bin/env bash
# Builds and runs every test: the release build with warnings as errors (core
# and desktop tests), a Debug build under AddressSanitizer and
# UndefinedBehaviorSanitizer (core tests), and the fuzz targets for a minute
# each where clang is present.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
jobs=$(nproc)

echo "== release build, all tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVUDUZEZ_WERROR=ON
cmake --build build -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$jobs"

echo "== debug build with ASan and UBSan, core tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVUDUZEZ_WERROR=ON -DVUDUZEZ_SANITIZE=ON \
  -DVUDUZEZ_GUI=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -L core

if command -v clang++ >/dev/null; then
  echo "== fuzz targets, 60 s each under ASan and UBSan"
  cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DVUDUZEZ_SANITIZE=ON -DVUDUZEZ_FUZZ=ON -DVUDUZEZ_GUI=OFF -DVUDUZEZ_WERROR=ON
  cmake --build build-fuzz -j "$jobs" --target $(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
  for f in fuzz/fuzz_*.cpp; do
    t=$(basename "$f" .cpp)
    corpus=$(mktemp -d)
    [ -d "fuzz/corpus/${t#fuzz_}" ] && cp -r "fuzz/corpus/${t#fuzz_}/." "$corpus/"
    cp sample/mol/*.mol "$corpus/" 2>/dev/null || true
    "build-fuzz/$t" -max_total_time=60 -max_len=65536 -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
    rm -rf "$corpus"
  done
fi
echo "all tests passed"
