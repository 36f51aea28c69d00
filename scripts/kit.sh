#!/usr/bin/env bash
# Makes the publisher's kit: builds fa2 for Linux (native preset) and fa2.exe
# and updater.exe for Windows (windows preset), installs both builds with
# `cmake --install` into one folder, and packs it as
# build/kit/game-updater-kit.tar.gz and .zip. The kit holds bin/ (fa2,
# fa2.exe, updater.exe and play-updater.exe), GUIDE.md, the reference of
# UPDATE.INI and SETUP.INI with an example of each, try-updater.sh, LICENSE,
# THIRD-PARTY-NOTICES.txt and licenses/.
[[ "${1:-}" == -h || "${1:-}" == --help ]] && { sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; exit 0; }
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target fa2
cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target fa2 updater sample_run

name=game-updater-kit
stage=build/kit/$name
rm -rf "$stage" "build/kit/$name.tar.gz" "build/kit/$name.zip"
cmake --install build/native --prefix "$stage" --strip >/dev/null
cmake --install build/windows --prefix "$stage" --strip >/dev/null
tar -C build/kit -czf "build/kit/$name.tar.gz" "$name"
(cd build/kit && zip -qr "$name.zip" "$name")
echo "kit: build/kit/$name.tar.gz and build/kit/$name.zip"
(cd build/kit && find "$name" -type f | sort | while read -r f; do
  printf '  %-60s %9d bytes\n' "$f" "$(stat -c %s "$f")"; done)
