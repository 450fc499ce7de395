#!/usr/bin/env bash
# Fails when a C++ source is not formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.c')
if ((${#files[@]} > 0)); then
  clang-format --dry-run -Werror "${files[@]}"
fi
echo "format check: ${#files[@]} files clean"
