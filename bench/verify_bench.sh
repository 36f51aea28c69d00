#!/usr/bin/env bash
# Compares the whole-process time of `fa2 verify` with that of
# libdeflate-gunzip on the same bytes, in the same run.
#
#   bench/verify_bench.sh [CORPUS_DIR] [RUNS]
#
# The input is the six corpus files three times over under distinct names
# (18 entries, 3 x 22,458,780 bytes), packed at fa2's default level; the peer
# decompresses the same bytes, concatenated and compressed with gzip -9, with
# `libdeflate-gunzip -c` into /dev/null. Both are timed from process start to
# exit, best of RUNS (default 5) each, alternating so that both see the same
# machine. Prints both times and ratio R = fa2 / libdeflate-gunzip (goal: at
# most 0.50). Not a test: nothing is asserted.
[[ "${1:-}" == -h || "${1:-}" == --help ]] && { sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; exit 0; }
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=$(cd "${1:-bench/corpus}" && pwd)
runs=${2:-5}
command -v libdeflate-gunzip >/dev/null || { echo "verify_bench: libdeflate-gunzip missing (scripts/deps.sh installs it)" >&2; exit 1; }

cmake --preset native >/dev/null
cmake --build --preset native -j2 --target fa2 >/dev/null
fa2=build/native/tools/fa2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in"
kinds=(script.sjis.txt photo.bmp screen.bmp voice.wav program.dll packed.png)
for copy in 1 2 3; do
  for kind in "${kinds[@]}"; do
    cp "$corpus/$kind" "$work/in/$copy-$kind"
    cat "$corpus/$kind" >> "$work/all"
  done
done
"$fa2" pack -o "$work/corpus.fa2" "$work"/in/* >/dev/null
gzip -9 -c "$work/all" > "$work/all.gz"
rm -rf "$work/in" "$work/all"

# Wall seconds of one run of the command, its output discarded.
seconds() {
  local start end
  start=$(date +%s%N)
  "$@" > /dev/null
  end=$(date +%s%N)
  echo $(( end - start ))
}
best_fa2=; best_gz=
for _ in $(seq "$runs"); do
  t=$(seconds "$fa2" verify "$work/corpus.fa2")
  [[ -z $best_fa2 || $t -lt $best_fa2 ]] && best_fa2=$t
  t=$(seconds libdeflate-gunzip -c "$work/all.gz")
  [[ -z $best_gz || $t -lt $best_gz ]] && best_gz=$t
done
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //')"
awk -v a="$best_fa2" -v b="$best_gz" -v n="$runs" 'BEGIN {
  printf "verify (best of %d): fa2 verify %.3f s, libdeflate-gunzip -c %.3f s, ratio %.2f\n",
         n, a / 1e9, b / 1e9, a / b }'
