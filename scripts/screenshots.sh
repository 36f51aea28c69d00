#!/usr/bin/env bash
# Takes the README's pictures of the wizard's pages and boxes from the real
# updater under wine (Xvfb when there is no display) and writes them as PNGs
# into docs/screenshots/. The dialog font is mapped to IPAPGothic by the test
# bed's wine prefix (cmake/wine-prefix.sh), so the Japanese texts render.
[[ "${1:-}" == -h || "${1:-}" == --help ]] && { sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; exit 0; }
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target screenshots updater

shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
# Drive T: is a small tmpfs, for the page of a run stopped for lack of room.
WINE_RUN_DRIVES=t:tmpfs:1m WINE_RUN_SUITE=screenshots \
  cmake/wine-run.sh build/windows/tools/wine/screenshots.exe "$shots"

mkdir -p docs/screenshots
for bmp in "$shots"/*.bmp; do
  name=$(basename "$bmp" .bmp)
  convert "$bmp" -strip "docs/screenshots/$name.png"
done
ls -l docs/screenshots
