#!/usr/bin/env bash
# Runs fuzz targets from their seeds for a while each and fails on any
# finding. The corpus each run grows and any crashing input stay in BUILD.
# Usage: run-fuzzers.sh BUILD SEEDS SECONDS [TARGET...]
#   BUILD: the DEWMOP_FUZZ build folder; SEEDS: what make-seeds.sh made.
#   PARALLEL=n runs n targets at a time (default 1).
set -euo pipefail
build=$1 seeds=$2 seconds=$3
shift 3
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(c64_factory_fuzz g64_fuzz amiga_fuzz zip_fuzz inflate_fuzz dat_fuzz options_fuzz)
fi
parallel=${PARALLEL:-1}
# The scratch files of the ZIP and DAT targets live in memory where there is
# such a folder: their writes need not reach a disk.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

run_one() {
  local name=$1
  local corpus=$build/fuzz-corpus/$name artifacts=$build/fuzz-findings/$name
  local log=$build/fuzz-logs/$name.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  if "$build/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" \
      "$corpus" "$seeds/$name" >"$log" 2>&1; then
    local runs cov
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    echo "$name: ok, $runs runs, $cov edges"
  else
    echo "$name: FINDING (log $log, input in $artifacts)"
    grep -E 'ERROR|check failed|SUMMARY' "$log" | head -5
    return 1
  fi
}

status=0
pids=()
for name in "${targets[@]}"; do
  run_one "$name" & pids+=($!)
  if [ ${#pids[@]} -ge "$parallel" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
