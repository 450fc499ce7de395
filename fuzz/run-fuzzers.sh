#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a fixed number of
# inputs, starting from its seed corpus. New inputs go to a scratch folder, so
# the committed corpus only changes when someone adds a regression input.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${SW_FUZZ_RUNS:-20000}"
cmake --preset fuzz >/dev/null
targets=build-fuzz/fuzz/targets.txt
[[ -s "$targets" ]] || { echo "no fuzz targets"; exit 0; }
# Only the fuzz targets and what they link: the rest of the tree is built by the other presets.
mapfile -t names < <(cut -d' ' -f1 "$targets")
cmake --build --preset fuzz --target "${names[@]}"
while read -r name corpus; do
  scratch=$(mktemp -d)
  echo "fuzzing $name for $runs runs (seeds: $corpus)"
  log="$scratch.log"
  rc=0
  build-fuzz/fuzz/"$name" -runs="$runs" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="$PWD/build-fuzz/" -print_final_stats=1 "$scratch" "$corpus" >"$log" 2>&1 || rc=$?
  grep -E '^(stat::number_of_executed_units|SUMMARY)' "$log" || true
  if [[ $rc -ne 0 ]]; then
    tail -n 60 "$log" >&2
    echo "fuzzer $name failed (exit $rc); the crashing input is under build-fuzz/" >&2
    exit 1
  fi
  rm -f "$log"
  rm -rf "$scratch"
done <"$targets"
