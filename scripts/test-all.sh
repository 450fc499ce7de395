#!/usr/bin/env bash
# Builds and runs every test: the optimised build with warnings as errors, the
# sanitizer build, the fuzzers for a fixed number of runs, the format check and
# clang-tidy.
set -euo pipefail
cd "$(dirname "$0")/.."
SW_WITH_OFFICE=1 bash scripts/install-deps.sh

bash scripts/check-format.sh
bash scripts/check-tidy.sh

# Fuzzers first, so the test runners' summaries close the log.
if [[ -x fuzz/run-fuzzers.sh ]]; then
  fuzz/run-fuzzers.sh
fi

cmake --preset ci >/dev/null
cmake --build --preset ci
ctest --preset ci

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

