#!/usr/bin/env bash
# Builds Dewmop and runs every test: a short run of every fuzz target from
# its seeds, the suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# the end-to-end tests and a parallel run under ThreadSanitizer, the suite in
# the ordinary build, and the Windows build's tests under Wine. Ends with the
# tests' share of the code.
# Usage: test.sh [--quick]   --quick: the ordinary build and its suite alone
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
if [ "${1:-}" = --quick ]; then
  bash scripts/setup.sh
  export DEWMOP_SETUP_DONE=plain
  bash scripts/quiet.sh cmake -S . -B build -DDEWMOP_WERROR=ON -DDEWMOP_BENCH=OFF
  cmake --build build -j"$jobs"
  (cd build && ctest --output-on-failure -j"$jobs")
else
  bash scripts/setup.sh --windows
  export DEWMOP_SETUP_DONE=--windows
  bash scripts/fuzz.sh 20
  bash scripts/sanitize.sh
  bash scripts/tsan.sh
  bash scripts/quiet.sh cmake -S . -B build -DDEWMOP_WERROR=ON -DDEWMOP_BENCH=ON
  cmake --build build -j"$jobs"
  (cd build && ctest --output-on-failure -j"$jobs")
  bash scripts/test-windows.sh
fi
bash scripts/share.sh
