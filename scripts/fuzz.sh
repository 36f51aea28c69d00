#!/usr/bin/env bash
# Runs each built fuzz target for the given number of seconds (default 30),
# starting from its seed corpus in fuzz/seeds/<target>, two at a time.
# Fails when a target finds a crash.
[[ "${1:-}" == -h || "${1:-}" == --help ]] && { sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; exit 0; }
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
bin=build/fuzz/fuzz
shopt -s nullglob
targets=("$bin"/fuzz_*)
(( ${#targets[@]} )) || { echo "fuzz: no targets built"; exit 0; }
work=build/fuzz/runs
mkdir -p "$work"
pids=(); names=()
status=0
run_one() {
  local t=$1 name; name=$(basename "$t")
  mkdir -p "$work/$name/corpus"
  local seeds=fuzz/seeds/${name#fuzz_}
  [[ -d $seeds ]] || seeds=
  "$t" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/$name/" \
    "$work/$name/corpus" $seeds >"$work/$name/log" 2>&1
}
for t in "${targets[@]}"; do
  run_one "$t" & pids+=($!); names+=("$(basename "$t")")
  if (( ${#pids[@]} >= 2 )); then
    for i in "${!pids[@]}"; do
      if wait "${pids[$i]}"; then echo "fuzz ${names[$i]}: ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/${names[$i]}/log" | grep -o '[0-9]*$') runs)";
      else echo "fuzz ${names[$i]}: FAILED"; tail -40 "$work/${names[$i]}/log"; status=1; fi
    done
    pids=(); names=()
  fi
done
for i in "${!pids[@]}"; do
  if wait "${pids[$i]}"; then echo "fuzz ${names[$i]}: ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/${names[$i]}/log" | grep -o '[0-9]*$') runs)";
  else echo "fuzz ${names[$i]}: FAILED"; tail -40 "$work/${names[$i]}/log"; status=1; fi
done
exit $status
