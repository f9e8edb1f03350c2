#!/usr/bin/env bash
# Times the database at scale: loading a DAT file of 60,000 titles and
# 100,000 lookups (database_bench), the walk over one folder of 10,000 to
# 100,000 files (walk_bench), and an identify run against a dump run over a
# folder of 100,000 small images with that DAT file, with the identify run's
# peak memory.
# Usage: scale-bench.sh [SEED]
#   environment: BUILD (build folder), RUNS (runs per figure, default 5),
#   CACHE (where the folder is made, default /tmp/dewmop-scale; about 600 MB),
#   OLD (another dewmop binary to time beside this one, e.g. a build of an
#   earlier version)
set -euo pipefail
seed=${1:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-release}
cache=${CACHE:-${TMPDIR:-/tmp}/dewmop-scale}
runs=${RUNS:-5}
folder=$cache/collection-$seed

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDEWMOP_TESTS=OFF \
  -DDEWMOP_BENCH=ON >/dev/null
cmake --build "$build" --target dewmop database_bench walk_bench scale_gen -j2 >/dev/null

if [ ! -f "$folder/.complete" ]; then
  echo "Generating 100,000 files and a DAT file of 60,000 titles in $folder"
  rm -rf "$folder"
  mkdir -p "$folder"
  "$build/bench/scale_gen" "$seed" "$folder" 100000 60000 300
  touch "$folder/.complete"
fi

"$build/bench/database_bench" --benchmark_filter='/60000' --benchmark_repetitions="$runs" \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E 'median|Benchmark'
"$build/bench/walk_bench" --benchmark_repetitions="$runs" \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E 'median|Benchmark'

cd "$folder"
# "median seconds, peak RSS in KiB" of RUNS runs of a command.
measure() {
  local times=() rss=0 t m
  for ((i = 0; i < runs; ++i)); do
    rm -f C64have.dat C64miss.txt
    /usr/bin/time -f '%e %M' -o "$cache/time.txt" "$@" >/dev/null 2>&1
    read -r t m <"$cache/time.txt"
    times+=("$t")
    ((m > rss)) && rss=$m
  done
  printf '%s %s\n' "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")" "$rss"
}

for dewmop in "$build/dewmop" ${OLD:+"$OLD"}; do
  "$dewmop" -cc -d >/dev/null 2>&1  # warms the page cache
  read -r dump dump_rss < <(measure "$dewmop" -cc -d)
  read -r ident ident_rss < <(measure "$dewmop" -cc -i)
  found=$("$dewmop" -cc -i 2>/dev/null | grep -c '^Game:' || true)
  rm -f C64have.dat C64miss.txt
  awk -v b="$dewmop" -v d="$dump" -v i="$ident" -v r="$ident_rss" -v f="$found" 'BEGIN {
    printf "%s\n  dump run %.2f s, identify run %.2f s: ratio %.2f (goal <= 1.2)\n", b, d, i, i / d
    printf "  identify run: %d files identified, peak RSS %.1f MiB (goal <= 64)\n", f, r / 1024
  }'
done
