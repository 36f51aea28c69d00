#!/usr/bin/env bash
# Applies an update of about 200 MB of the corpus kinds through the real
# updater under wine, and compares the time of its update run with copying
# the same bytes in the same run: natively with cp, and under wine with
# CopyFileA and with a durable copy (each file copied, then flushed with
# FlushFileBuffers, as the updater must have its files on the disk before it
# puts them in place).
#
#   bench/updater_bench.sh [--files N] [--size BYTES] [CORPUS_DIR] [RUNS]
#
# UPDATER_STUB names another updater stub to embed the update into (an older
# build, to compare), FA2 another fa2 to pack and embed with; by default the
# ones just built, the stub stripped as the kit ships it.
#
# The update is N files (default 9) of BYTES each (default one round of the
# corpus, 22,458,780 bytes; a suffix K, M or G counts 10^3, 10^6 or 10^9):
# the six corpus files (script, photo, screen capture, voice, program, packed
# image) one after the other, as many rounds as BYTES needs, then cut to
# BYTES, every file rotated by a different offset in every round so that no
# two update files are alike. 8 files of 135M make an update of 1.08 GB,
# which needs about 3.5 times that free in the temporary folder (the files,
# the archive, the updater, the game's copy and the copies). They are
# packed at fa2's default level into the
# updater with fa2 embed. The updater's time runs from the press of "次へ"
# on the confirmation page to the "完了" page: decompressing every entry and
# writing it into the installed game's folder, replacing the files that an
# earlier run put there (a first, untimed run puts them there). The copies
# likewise replace older copies of the same files that are on the disk.
# Best of RUNS (default 5) runs each. Then one more updater run shows where
# its time goes (phases seen from the game folder) and its memory: the
# counters that the updater process reports, and the peak of the wine
# process's anonymous (private) resident memory, sampled from /proc. The last
# line is
#   apply: updater X.XX s, durable copy Y.YY s, ratio R.RR
# with R = X / Y. Then the patch case: the nine files as a previous version
# had them (the files above before about 1% of each was changed, in 1 KiB
# pieces at scattered places) are put back into the game before each run,
# and an updater made with `fa2 pack --from` of that version patches them;
# timed against the durable copy of the new files, then one more run is
# profiled like the full one; its size is compared with the sum of
# `zstd -19 --long=31 --patch-from` patches of the same files. The last line
# is
#   patch: updater X.XX s, durable copy Y.YY s, ratio R.RR
# Not a test: nothing is asserted.
[[ "${1:-}" == -h || "${1:-}" == --help ]] && { sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; exit 0; }
set -euo pipefail
cd "$(dirname "$0")/.."
files=9
size=
while [[ $# -gt 0 && "$1" == --* ]]; do
  case "$1" in
    --files) files=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    *) echo "unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
case "$size" in
  *[kK]) size=$(( ${size%?} * 1000 )) ;;
  *[mM]) size=$(( ${size%?} * 1000000 )) ;;
  *[gG]) size=$(( ${size%?} * 1000000000 )) ;;
esac
[[ "$files" =~ ^[1-9][0-9]?$ && "$files" -le 16 ]] || { echo "--files takes 1 to 16 (the updater's list)" >&2; exit 2; }
corpus=$(cd "${1:-bench/corpus}" && pwd)
runs=${2:-5}

cmake --preset native >/dev/null
cmake --build --preset native -j2 --target fa2 >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target updater updater_bench_run >/dev/null
fa2=${FA2:-build/native/tools/fa2}

# Seconds since start, and arithmetic, with awk: no bc on a bare system.
since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }'; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/update" "$work/game"
kinds=(script.sjis.txt photo.bmp screen.bmp voice.wav program.dll packed.png)
ini="[SETUP]\r\nCompanyName=Bench\r\nGameTitle=Bench Game\r\nGameClass=BenchWindow\r\nGameDir=BenchGame\r\n\r\n[UPDATE]\r\n"
round=0
for kind in "${kinds[@]}"; do round=$(( round + $(stat -c %s "$corpus/$kind") )); done
size=${size:-$round}
[[ "$size" =~ ^[1-9][0-9]*$ ]] || { echo "--size takes a number of bytes" >&2; exit 2; }
rounds=$(( (size + round - 1) / round ))
for i in $(seq 0 $((files - 1))); do
  name=$(printf 'DATA%02d.PAK' "$i")
  for r in $(seq 0 $((rounds - 1))); do
    for kind in "${kinds[@]}"; do
      f=$corpus/$kind
      length=$(stat -c %s "$f")
      offset=$(( (i * 1000003 + r * 524287 + ${#kind} * 7919) % length ))
      tail -c +$((offset + 1)) "$f"
      head -c "$offset" "$f"
    done
  done > "$work/round.bin"
  head -c "$size" "$work/round.bin" > "$work/update/$name"
  ini+="UpdateFile$(printf '%02d' "$i")=$name\r\n"
done
rm -f "$work/round.bin"
# The previous version: the files as generated; the update changes about 1%
# of each in 1 KiB pieces of new bytes (a fixed pseudo-random stream, found
# nowhere in the files) at scattered places.
mkdir -p "$work/old"
cp "$work"/update/DATA*.PAK "$work/old/"
awk 'BEGIN { srand(20261207); for (i = 0; i < 2048 * 1024; i++) printf "%c", int(rand() * 256) }' \
  > "$work/noise"
n=0
for f in "$work"/update/DATA*.PAK; do
  length=$(stat -c %s "$f")
  pieces=$(( length / 100 / 1024 ))
  for p in $(seq 0 $((pieces - 1))); do
    at=$(( (p * length / pieces) + (p * 7919 % 4096) ))
    n=$(( (n + 1) % 2048 ))
    dd if="$work/noise" of="$f" bs=1024 count=1 skip="$n" seek="$at" \
      oflag=seek_bytes conv=notrunc status=none
  done
done
printf "$ini" > "$work/update.ini"
printf "[SETUP]\r\nCompanyName=Bench\r\nGameTitle=Bench Game\r\nGameDir=BenchGame\r\nGameExe=GAME.EXE\r\nUninstExe=UNINST.EXE\r\nSetupBmp=SETUP.BMP\r\nInstallSelects=1\r\nInstallTitle0=Standard\r\nInstallFiles0=GAME.EXE\r\nShortcuts=0\r\nGameClass=BenchWindow\r\n" \
  > "$work/game/SETUP.INI"
cp "$work/update.ini" "$work/update/UPDATE.INI"
bytes=$(cat "$work"/update/DATA*.PAK | wc -c)

echo "== fa2 pack: $bytes bytes in $files files"
start=$(date +%s.%N)
"$fa2" pack -o "$work/update.fa2" "$work"/update/UPDATE.INI "$work"/update/DATA*.PAK >/dev/null
echo "packed to $(stat -c %s "$work/update.fa2") bytes in $(since "$start") s"
# The stub as the kit ships it: stripped of its symbols and debug sections.
stub=${UPDATER_STUB:-}
if [[ -z $stub ]]; then
  stub=$work/updater-stub.exe
  x86_64-w64-mingw32-strip -o "$stub" build/windows/src/updater.exe
fi
echo "updater stub: $(stat -c %s "$stub") bytes"
"$fa2" embed "$stub" "$work/update.fa2" -o "$work/bench-updater.exe" >/dev/null
rm "$work/update/UPDATE.INI"

echo "== cp of the same files (native, page cache)"
best=
for _ in $(seq "$runs"); do
  rm -rf "$work/cp"
  start=$(date +%s.%N)
  cp -r "$work/update" "$work/cp"
  t=$(since "$start")
  echo "cp $t s"
  best=$(awk -v t="$t" -v b="${best:-1e9}" 'BEGIN { print (t < b ? t : b) }')
done
rm -rf "$work/cp"
echo "best cp $best s ($(awk -v n="$bytes" -v t="$best" 'BEGIN { printf "%.0f", n / 1e6 / t }') MB/s)"

echo "== the patch case: fa2 pack --from the previous version, and zstd -19 --long=31 --patch-from"
cp "$work/update.ini" "$work/update/UPDATE.INI"
mkdir -p "$work/oldgame"
cp "$work"/old/DATA*.PAK "$work/oldgame/"
start=$(date +%s.%N)
"$fa2" pack -q -o "$work/patch.fa2" --from "$work/oldgame" "$work"/update/UPDATE.INI "$work"/update/DATA*.PAK
echo "patches made in $(since "$start") s: archive of $(stat -c %s "$work/patch.fa2") bytes"
"$fa2" embed -q "$stub" "$work/patch.fa2" -o "$work/bench-patcher.exe" >/dev/null
rm "$work/update/UPDATE.INI"
start=$(date +%s.%N)
zpids=()
for f in "$work"/update/DATA*.PAK; do
  zstd -q -19 --long=31 --patch-from="$work/old/$(basename "$f")" "$f" -o "$work/zstd-$(basename "$f").zst" 2>/dev/null &
  zpids+=($!)
  if (( ${#zpids[@]} >= 2 )); then wait "${zpids[@]}"; zpids=(); fi
done
(( ${#zpids[@]} )) && wait "${zpids[@]}"
zsum=$(cat "$work"/zstd-*.zst | wc -c)
usize=$(stat -c %s "$work/bench-patcher.exe")
echo "zstd -19 --long=31 --patch-from, the $files patches: $zsum bytes ($(since "$start") s)"
psize=$(stat -c %s "$work/patch.fa2")
echo "patching updater: $usize bytes, $(awk -v u="$usize" -v z="$zsum" 'BEGIN { printf "%.2f", u / z }') times the zstd patches; its payload $psize bytes, $(awk -v u="$psize" -v z="$zsum" 'BEGIN { printf "%.2f", u / z }') times"

echo "== the updater, CopyFileA and a durable copy under wine"
# The peak anonymous resident memory of every updater process, sampled while
# the runner works: the pages that belong to the process alone, not those of
# mapped files.
sample_memory() {
  local peak=0 pid kb
  while :; do
    for pid in $(pgrep -f '^[^ ]*bench-updater\.exe' || true); do
      kb=$(awk '/^RssAnon:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
      [[ -n "$kb" && "$kb" -gt "$peak" ]] && { peak=$kb; echo "$peak" > "$work/anon-peak"; }
    done
    sleep 0.02
  done
}
echo 0 > "$work/anon-peak"
sample_memory &
sampler=$!
WINE_RUN_SUITE=updater_bench cmake/wine-run.sh build/windows/bench/updater_bench_run.exe \
  "$work/bench-updater.exe" "$work/game" "$work/update" "$runs" "$work/old" "$work/bench-patcher.exe" > "$work/run.txt" || {
  kill "$sampler"; cat "$work/run.txt"; exit 1; }
kill "$sampler"
wait "$sampler" 2>/dev/null || true
head -n -1 "$work/run.txt"
echo "updater peak anonymous resident memory (wine process, /proc): $(awk '{ printf "%.1f", $1 / 1024 }' "$work/anon-peak") MiB"
tail -n 1 "$work/run.txt"
