#!/usr/bin/env bash
# Times SheetwiseParser -batch on generated reports against the peers of the
# shared conversion harness, in one run, side by side: ours to .xls and to
# .xlsx, the libxlsxwriter C peer (constant memory), LibreOffice and xlwt, at
# 50,000 and 100,000 detail lines; then prints the figures against the
# converter's targets (targets.py).
#
#   bench/converter/run.sh [HARNESS_DIR]
#
# HARNESS_DIR is the shared harness (read-only; default ../shared/bench beside
# the checkout). It is copied to a scratch folder first, since it writes its
# work files and results.md beside itself. Settings (environment):
#   SIZES="50000 100000"        detail lines of the generated reports
#   PEERS="sheetwise sheetwise_xlsx c_xlsx_cm lo_warm xlwt"
#   RUNS=5                      timed runs per peer and size
#   SW_BENCH_SCRATCH=DIR        scratch folder (default: a new temporary one)
#   SHEETWISE_CHECKOUT=DIR      checkout whose build/bin holds the programs (default: this one)
# The parser must be built (build/bin/SheetwiseParser, Release preferred).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
checkout=${SHEETWISE_CHECKOUT:-$(cd "$here/../.." && pwd)}
harness=${1:-$here/../../../shared/bench}
scratch=${SW_BENCH_SCRATCH:-$(mktemp -d /tmp/sw-bench.XXXXXX)}

if [[ ! -x "$checkout/build/bin/SheetwiseParser" ]]; then
  echo "run.sh: build the parser first (cmake --preset ci && cmake --build --preset ci)" >&2
  exit 1
fi
mkdir -p "$scratch"
cp -r "$harness/." "$scratch/harness"
rm -rf "$scratch/harness/work"

# The hook runs the parser with -profile Benchmark: give it a store of its
# own holding that profile, never the user's.
export SHEETWISE_REGISTRY_DIR="$scratch/store"
rm -rf "$SHEETWISE_REGISTRY_DIR"
mkdir -p "$SHEETWISE_REGISTRY_DIR"
"$checkout/build/bin/SheetwiseProfiles" import "$here/benchmark_profile.xml" >/dev/null

export SHEETWISE_CHECKOUT="$checkout"
export SIZES=${SIZES:-"50000 100000"}
export PEERS=${PEERS:-"sheetwise sheetwise_xlsx c_xlsx_cm lo_warm xlwt"}
export RUNS=${RUNS:-5}
(cd "$scratch/harness" && bash run_bench.sh)
echo "Results: $scratch/harness/results.md"
python3 "$here/targets.py" "$scratch/harness/work"
