#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for a
# bounded time, seeded with the shared corpus of real archives where present.
# Without named targets, every target runs, then the program's builds of
# them (NAME_program, on the core as the stub builds it) for
# PROGRAM_FUZZ_SECONDS (default: half the time) each: they start from what
# their twin on the tool's build found, and differ from it only in the
# width of sizes and positions.
# usage: run_fuzzers.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
shift || true
program_seconds=${PROGRAM_FUZZ_SECONDS:-$(((seconds + 1) / 2))}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"${JOBS:-2}" >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in tests/fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
  for f in tests/fuzz/*_fuzz.cpp; do
    twin=$(basename "$f" .cpp)_program
    if [ -x build/fuzz/"$twin" ]; then targets+=("$twin:$program_seconds"); fi
  done
fi
# Use-after-free is caught among the last 16 MB freed: the default 256 MB
# quarantine hands every input fresh pages, which costs half the speed.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}
# Inputs that once found a fault come first, then the real archives.
seeds=(tests/fuzz/regressions/)
[ -d ../shared/corpus ] && seeds+=(../shared/corpus/*/)
# Runs one target; prints its line and fails on a finding.
# TARGET or TARGET:SECONDS.
run_target() {
  local target=${1%%:*}
  local time=$seconds
  [ "$target" = "$1" ] || time=${1#*:}
  local work=build/fuzz/corpus/$target
  mkdir -p "$work"
  local from=("${seeds[@]}")
  local twin=build/fuzz/corpus/${target%_program}
  if [ "$twin" != "$work" ] && [ -d "$twin" ]; then from+=("$twin/"); fi
  local log=build/fuzz/$target.log
  if build/fuzz/"$target" -max_total_time="$time" -rss_limit_mb=2048 -timeout=10 \
      -max_len=65536 -print_final_stats=1 -artifact_prefix=build/fuzz/"$target"- \
      "$work" "${from[@]}" >"$log" 2>&1; then
    local runs cov
    runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
    cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1)
    echo "fuzz $target: ${time}s, ${runs:-?} executions, ${cov:-cov: ?}, no findings"
  else
    echo "fuzz $target: FINDING (see $log)"
    tail -40 "$log"
    return 1
  fi
}
# As many targets at once as there are jobs: each target is one process.
status=0
jobs=${JOBS:-2}
pids=()
for target in "${targets[@]}"; do
  run_target "$target" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$jobs" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
