#!/usr/bin/env bash
# The main job: installs what the build needs, builds the native tools, packs
# the sample update into build/sample/update.fa2, lists and verifies it, then
# builds the windows updater, makes the sample update into an updater with
# fa2 embed and runs it once under wine.
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

echo "== windows build: the updater, and the sample update made into an updater with fa2 embed"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)" --target updater sample_updater sample_run
echo "== the sample updater under wine, against examples/sample-game installed in the prefix"
set +e
cmake/wine-run.sh build/windows/tests/e2e/sample_run.exe \
  "$PWD/build/windows/examples/sample-updater.exe" "$PWD/examples/sample-game"
rc=$?
set -e
echo "== the sample updater ended with exit code $rc"
