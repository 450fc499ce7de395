#!/usr/bin/env bash
# Configures and builds one preset (default: ci) into its build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-ci}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" 2>&1 | tail -n 40
