#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a fixed number of
# inputs, starting from its seed corpus. New inputs go to a scratch folder, so
# the committed corpus only changes when someone adds a regression input.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${SW_FUZZ_RUNS:-20000}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
targets=build-fuzz/fuzz/targets.txt
[[ -s "$targets" ]] || { echo "no fuzz targets"; exit 0; }
while read -r name corpus; do
  scratch=$(mktemp -d)
  echo "fuzzing $name for $runs runs (seeds: $corpus)"
  build-fuzz/fuzz/"$name" -runs="$runs" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 "$scratch" "$corpus" 2>&1 | grep -E '^(stat::number_of_executed_units|==|SUMMARY)' || true
  if [[ ${PIPESTATUS[0]} -ne 0 ]]; then
    echo "fuzzer $name failed; the crashing input is in the working folder" >&2
    exit 1
  fi
  rm -rf "$scratch"
done <"$targets"
