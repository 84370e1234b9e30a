#!/usr/bin/env bash
# Fails, listing the differences, when a C++ file of the tree is not formatted as the
# committed .clang-format says; with -i it formats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "-i" ]; then
    clang-format -i "${files[@]}"
else
    clang-format --dry-run --Werror "${files[@]}"
fi
