#!/usr/bin/env bash
# Runs every test of both builds: the native unit tests, the windows tests
# under wine, and each fuzz target for a short while. Installs what it needs.
[[ "${1:-}" == -h || "${1:-}" == --help ]] && { sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; exit 0; }
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/deps.sh

echo "== native build"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

echo "== windows build (tests under wine)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
ctest --preset windows -j"$jobs"

echo "== fuzz targets"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"
scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
