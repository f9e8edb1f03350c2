#!/usr/bin/env bash
# Builds Dewmop and runs every test: a short run of every fuzz target from
# its seeds, the suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# the end-to-end tests and a parallel run under ThreadSanitizer, the suite in
# the ordinary build, and the Windows build's tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --windows
bash scripts/fuzz.sh 20
bash scripts/sanitize.sh
bash scripts/tsan.sh
jobs=$(nproc)
cmake -S . -B build -DDEWMOP_WERROR=ON -DDEWMOP_BENCH=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")
bash scripts/test-windows.sh
