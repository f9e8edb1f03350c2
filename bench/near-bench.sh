#!/usr/bin/env bash
# Times what near matches add to an identify run: this build and a build
# without them (BASE, e.g. one of the commit before) identify the benchmark
# collection against a DAT file of 60,000 titles. Of the collection's images
# (in dump order), one in four is a title as it is, one in four a title with
# its last file left out (an image of 3 files or more), one in four a title
# with a file more (2 files or more), and the rest no title; a third of the
# other titles also hold a file of the collection, and one in fifty one of
# four files that so many titles hold that they lead to no candidate.
# Usage: near-bench.sh BASE [SEED]
#   environment: BUILD (build folder), DEWMOP_BENCH_CACHE (as run-bench.sh;
#   the collection is made there when missing), RUNS (runs per figure,
#   default 10)
set -euo pipefail
base=$(readlink -f "$1")
seed=${2:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-release}
cache=${DEWMOP_BENCH_CACHE:-${TMPDIR:-/tmp}/dewmop-bench}
runs=${RUNS:-10}
titles=60000
collection=$cache/collection-$seed
folder=$cache/near-$seed

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDEWMOP_TESTS=OFF >/dev/null
cmake --build "$build" --target dewmop scale_gen -j2 >/dev/null
dewmop=$build/dewmop

"$root/bench/make-collection.sh" "$seed" "$collection"

# The collection linked into a folder of its own, which gets the DAT file.
rm -rf "$folder"
cp -al "$collection" "$folder"
cd "$folder"
"$dewmop" -cc -d 2>/dev/null | tail -n +2 >"$cache/near-dump.txt"
mkdir -p "$cache/near-random"
"$build/bench/scale_gen" "$seed" "$cache/near-random" 0 "$titles" 0

awk -F';' -v OFS=';' -v titles="$titles" '
  function crcs(from, to,   i, s) {
    for (i = from; i <= to; ++i) s = s ";" $i
    return s
  }
  NR == FNR {
    ++image
    for (i = 7; i <= NF; ++i) pool[++pooled] = $i
    count = $6 + 0
    head = "Bench " image ";Bench;;;0;"
    if (image % 4 == 1) bench[++benched] = head sprintf("%03d", count) crcs(7, NF)
    if (image % 4 == 2 && count >= 3) bench[++benched] = head sprintf("%03d", count - 1) crcs(7, NF - 1)
    if (image % 4 == 3 && count >= 2) {
      bench[++benched] = head sprintf("%03d", count + 1) crcs(7, NF) sprintf(";%08X", image * 2654435761 % 4294967296)
    }
    next
  }
  FNR == 1 { print; step = int(titles / benched); next }
  {
    ++other
    if (other % 3 == 0) { $6 = sprintf("%03d", $6 + 1); $0 = $0 ";" pool[other * 7919 % pooled + 1] }
    if (other % 50 == 0) { $6 = sprintf("%03d", $6 + 1); $0 = $0 ";" pool[int(other / 50) % 4 * 100 + 1] }
    random[other] = $0
  }
  END {
    for (p = 1; p <= titles; ++p) print ((p % step == 0 && k < benched) ? bench[++k] : random[++j])
  }' "$cache/near-dump.txt" "$cache/near-random/C64.dat" >C64.dat
rm -rf "$cache/near-random" "$cache/near-dump.txt"

found=$("$dewmop" -cc -i 2>/dev/null | grep -c '^Game:' || true)
near=$("$dewmop" -cc -i 2>/dev/null | grep -c '^Near:' || true)
echo "$(ls | grep -vc C64) files, $(($(wc -l <C64.dat) - 1)) titles: $found identified, $near near"

# Runs alternate between the two builds, so that a change in the load of
# the machine touches both alike. "NAME wall user system rss" per run.
times=$cache/near-times.txt
: >"$times"
for ((i = -1; i < runs; ++i)); do  # the first round warms the page cache
  for which in near base; do
    binary=$dewmop
    [ "$which" = base ] && binary=$base
    rm -f C64have.dat C64miss.txt
    /usr/bin/time -f "$which %e %U %S %M" -o "$cache/time.txt" "$binary" -cc -i >/dev/null 2>&1
    if ((i >= 0)); then cat "$cache/time.txt" >>"$times"; fi
  done
done
median() {  # median of column $2 (or of user + system with "cpu") for $1
  awk -v which="$1" -v column="$2" '$1 == which { print column == "cpu" ? $3 + $4 : $column }' \
    "$times" | sort -n | sed -n "$(((runs + 1) / 2))p"
}
awk -v nw="$(median near 2)" -v bw="$(median base 2)" -v nc="$(median near cpu)" \
  -v bc="$(median base cpu)" -v nr="$(median near 5)" -v br="$(median base 5)" \
  -v runs="$runs" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
    printf "identify run, medians of %d: %.2f s with near matches, %.2f s without: %+.1f%% (goal <= +10%%)\n",
      runs, nw, bw, 100 * (nw / bw - 1)
    printf "CPU time (user + system): %.2f s and %.2f s: %+.1f%%\n", nc, bc, 100 * (nc / bc - 1)
    printf "peak RSS %.1f MiB and %.1f MiB; load average after the runs %s\n", nr / 1024, br / 1024, load
  }'
rm -f "$times" "$cache/time.txt"
rm -rf "$folder"
