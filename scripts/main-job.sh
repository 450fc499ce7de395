#!/usr/bin/env bash
# Builds the programs and runs the main job on the bundled sample, in a
# settings store of its own so the user's profiles are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset ci >/dev/null
cmake --build --preset ci

out="${SW_SAMPLE_OUT:-$PWD/build/sample}"
rm -rf "$out"
mkdir -p "$out/store"
export SHEETWISE_REGISTRY_DIR="$out/store"
build/bin/SheetwiseProfiles import samples/profiles.xml
echo "Profiles stored in $SHEETWISE_REGISTRY_DIR:"
build/bin/SheetwiseProfiles list
