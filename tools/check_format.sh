#!/usr/bin/env bash
# Checks that every C++ file is formatted with the repository's .clang-format
# (clang-format --dry-run): prints what differs and exits 1 when anything does.
# Fix with: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench fuzz tools -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files as .clang-format has them"
