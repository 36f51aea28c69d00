#!/usr/bin/env bash
# Builds the static zstd libraries of the windows build from Debian's source
# package of libzstd, into build/zstd-mingw (or the folder given):
#   full/lib/libzstd.a      compressor and decompressor, for fa2.exe
#   decoder/lib/libzstd.a   the decompressor alone, for the updater, built
#                           small: one Huffman and one sequence decoder (the
#                           one that prefetches, for matches far back in a
#                           patch's base), no run-time choice of processor
#                           features, no error texts
# each with its headers in include/. The source package is fetched with
# `apt-get source --download-only` through a deb-src entry that this script
# adds for itself (/etc/apt/sources.list.d/game-updater-src.sources, same
# mirror as the system's own entry); the original tarball must match the
# checksum pinned below. Nothing of zstd is kept in the repository. Does
# nothing when both libraries are there; fetching needs root.
[[ "${1:-}" == -h || "${1:-}" == --help ]] && { sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; exit 0; }
set -euo pipefail
cd "$(dirname "$0")/.."

version=1.5.4+dfsg2
tarball=libzstd_${version}.orig.tar.xz
sha256=8cf4bbb65e77ec348d052c8d6230eba66d435bddf64c8b5be2fcb16880c19953
out=$(realpath -m "${1:-build/zstd-mingw}")
# Raised whenever the build flags below change, so that older builds are redone.
recipe=2
stamp=$out/built-$version-$recipe

[[ -f $stamp && -f $out/full/lib/libzstd.a && -f $out/decoder/lib/libzstd.a ]] && exit 0

mkdir -p "$out/download"
if [[ ! -f $out/download/$tarball ]] || ! echo "$sha256  $out/download/$tarball" | sha256sum -c --status; then
  if ! apt-get source --print-uris libzstd=1.5.4+dfsg2-5 >/dev/null 2>&1; then
    (( EUID == 0 )) || { echo "zstd-mingw: the deb-src entry for libzstd is missing; run as root" >&2; exit 1; }
    # The source entry uses the mirror of the system's own Debian entry.
    mirror=$(sed -n 's/^URIs: *\(http[^ ]*debian\)\/\{0,1\} *$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
    mirror=${mirror:-http://deb.debian.org/debian}
    cat > /etc/apt/sources.list.d/game-updater-src.sources <<EOF
Types: deb-src
URIs: $mirror
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    echo "zstd-mingw: added the source entry for bookworm ($mirror)"
    apt-get update -q >/dev/null
  fi
  echo "zstd-mingw: fetching Debian's source package of libzstd $version"
  (cd "$out/download" && apt-get source --download-only -q "libzstd=1.5.4+dfsg2-5" >/dev/null 2>&1 ||
     apt-get source --download-only -q libzstd >/dev/null)
fi
if ! echo "$sha256  $out/download/$tarball" | sha256sum -c --status; then
  echo "zstd-mingw: $out/download/$tarball does not match its pinned SHA256 $sha256" >&2
  exit 1
fi

rm -rf "$out/src" "$out/full" "$out/decoder"
mkdir -p "$out/src"
tar -xf "$out/download/$tarball" -C "$out/src" --strip-components=1

# Static libraries without legacy formats, the dictionary builder or the
# deprecated interfaces; the updater's has no compressor.
build() {
  local dest=$1 cflags=$2; shift 2
  make -s -C "$out/src/lib" clean >/dev/null
  make -s -C "$out/src/lib" -j"$(nproc)" libzstd.a CC=x86_64-w64-mingw32-gcc-posix \
    AR=x86_64-w64-mingw32-ar CFLAGS="-O2 -ffunction-sections $cflags" ZSTD_LEGACY_SUPPORT=0 ZSTD_LIB_DEPRECATED=0 \
    ZSTD_LIB_DICTBUILDER=0 "$@" >/dev/null
  mkdir -p "$dest/lib" "$dest/include"
  cp "$out/src/lib/libzstd.a" "$dest/lib/"
  cp "$out/src/lib/zstd.h" "$out/src/lib/zstd_errors.h" "$dest/include/"
}
echo "zstd-mingw: building the static libraries with x86_64-w64-mingw32-gcc"
build "$out/full" ""
build "$out/decoder" "-DDYNAMIC_BMI2=0 -DHUF_FORCE_DECOMPRESS_X1 -DZSTD_FORCE_DECOMPRESS_SEQUENCES_LONG -DZSTD_STRIP_ERROR_STRINGS" \
  ZSTD_LIB_COMPRESSION=0
rm -rf "$out/src"
touch "$stamp"
echo "zstd-mingw: $out/full/lib/libzstd.a and $out/decoder/lib/libzstd.a"
