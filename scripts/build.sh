#!/usr/bin/env bash
# The main job: installs what the build needs, builds the native tools, packs
# the sample update into build/sample/update.fa2, then lists and verifies it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

echo "== native build"
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)"

fa2=build/native/tools/fa2
mkdir -p build/sample
echo "== fa2 pack examples/sample-update"
"$fa2" pack -o build/sample/update.fa2 examples/sample-update
echo "== fa2 list build/sample/update.fa2"
"$fa2" list build/sample/update.fa2
echo "== fa2 verify build/sample/update.fa2"
"$fa2" verify build/sample/update.fa2
