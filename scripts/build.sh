#!/usr/bin/env bash
# The main job: installs what the build needs, builds the native tools, packs
# the sample update into build/sample/update.fa2, lists and verifies it, then
# builds the windows updater and its tests, makes the sample update into an
# updater with fa2 embed, installs examples/sample-game into a throwaway wine
# prefix and runs the updater once: on a display (DISPLAY set) the user clicks
# through the wizard; without one it runs under Xvfb and is played through
# automatically (UPDATER_DEMO=auto forces that). Either way it ends by
# telling which files the update wrote and its exit code.
[[ "${1:-}" == -h || "${1:-}" == --help ]] && { sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; exit 0; }
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

echo "== windows build: the updater, its tests, and the sample update made into an updater with fa2 embed"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)"
mode=()
if [[ -n "${DISPLAY:-}" && "${UPDATER_DEMO:-}" != auto ]]; then
  echo "== the sample updater under wine on your display: click through its wizard"
  mode=(--manual)
else
  echo "== the sample updater under wine (Xvfb), played through automatically"
fi
set +e
WINE_RUN_SUITE=sample_demo cmake/wine-run.sh build/windows/tools/wine/sample_run.exe "${mode[@]}" \
  "$PWD/build/windows/examples/sample-updater.exe" "$PWD/examples/sample-game"
rc=$?
set -e
echo "== the sample updater ended with exit code $rc"
