#!/usr/bin/env bash
# Builds Dewmop and its tests with AddressSanitizer and UndefinedBehavior-
# Sanitizer (folder build-asan) and runs the whole test suite there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
bash scripts/quiet.sh cmake -S . -B build-asan -DDEWMOP_SANITIZE=ON -DDEWMOP_WERROR=ON
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j"$jobs")
