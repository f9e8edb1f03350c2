#!/usr/bin/env bash
# Builds Dewmop and its tests with ThreadSanitizer (folder build-tsan), runs
# the end-to-end tests (every run of the binary then runs under it) and a
# run with four workers over the benchmark collection; fails on any report.
# The collection is taken from DEWMOP_BENCH_CACHE (as run-bench.sh leaves it)
# when it is there, else made for the run and removed after it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
bash scripts/quiet.sh cmake -S . -B build-tsan -DDEWMOP_TSAN=ON -DDEWMOP_WERROR=ON
cmake --build build-tsan -j"$jobs" --target dewmop e2e_tests
export TSAN_OPTIONS=halt_on_error=1:exitcode=66:second_deadlock_stack=1
build-tsan/tests/e2e_tests --gtest_brief=1

folder=${DEWMOP_BENCH_CACHE:-${TMPDIR:-/tmp}/dewmop-bench}/collection-1
if [ ! -f "$folder/.complete" ]; then
  folder=$(mktemp -d)
  trap 'rm -rf "$folder"' EXIT
  bash bench/make-collection.sh 1 "$folder"
fi
(cd "$folder" && "$OLDPWD/build-tsan/dewmop" -cc -d -s -j4 > /dev/null 2> "$OLDPWD/build-tsan/collection.err") || {
  echo "FAIL: the run over the collection (exit $?):" >&2
  grep -A20 'ThreadSanitizer' build-tsan/collection.err | head -40 >&2
  exit 1
}
echo "ThreadSanitizer: the end-to-end tests and a run of four workers over $(ls "$folder" | wc -l) files are clean"
