#!/usr/bin/env bash
# Times a dump run over the benchmark collection against unzip and 7z testing
# the same archives, after checking that the dump output is unchanged.
# Usage: run-bench.sh [SEED]   (environment: BUILD, DEWMOP_BENCH_CACHE, RUNS)
set -euo pipefail
seed=${1:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-release}
cache=${DEWMOP_BENCH_CACHE:-${TMPDIR:-/tmp}/dewmop-bench}
folder=$cache/collection-$seed
runs=${RUNS:-10}

# The dump lines of the collection made from seed 1, without the version line
# (made up afresh by every dump run) and sorted, because the walk takes files
# in the order the file system lists them.
expected_seed1=ab67db66e7d873d07c1e8b2ca2997f83d73d8ac72ea3c404babd3e25ae8e6778

missing=()
command -v hyperfine >/dev/null || missing+=(hyperfine)
command -v unzip >/dev/null || missing+=(unzip)
command -v 7z >/dev/null || missing+=(p7zip-full)
[ -x /usr/bin/time ] || missing+=(time)
command -v cc1541 >/dev/null || missing+=(cc1541)
command -v zip >/dev/null || missing+=(zip)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=$([ "$(id -u)" -eq 0 ] || echo sudo)
  $sudo apt-get install -y "${missing[@]}"
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDEWMOP_TESTS=OFF >/dev/null
cmake --build "$build" --target dewmop -j2 >/dev/null
dewmop=$build/dewmop

if [ ! -f "$folder/.complete" ]; then
  echo "Generating the collection for seed $seed in $folder"
  rm -rf "$folder"
  "$root/bench/make-collection.sh" "$seed" "$folder"
  touch "$folder/.complete"
fi
cd "$folder"

checksum=$("$dewmop" -cc -d 2>/dev/null | tail -n +2 | LC_ALL=C sort | sha256sum | cut -d' ' -f1)
echo "dump checksum: $checksum"
if [ "$seed" = 1 ] && [ "$checksum" != "$expected_seed1" ]; then
  echo "FAIL: the dump output differs from the recorded one ($expected_seed1)" >&2
  exit 1
fi

hyperfine --warmup 2 --runs "$runs" --export-csv "$cache/results.csv" \
  -n dewmop "$dewmop -cc -d" \
  -n unzip "unzip -tqq '*.zip'" \
  -n 7z "7z t -bso0 -bsp0 '*.zip'"

/usr/bin/time -v -o "$cache/time.txt" "$dewmop" -cc -d >/dev/null 2>&1
rss=$(awk -F: '/Maximum resident set size/ { print $2 + 0 }' "$cache/time.txt")

# results.csv: command,mean,stddev,median,user,system,min,max
awk -F, -v rss="$rss" '
  NR > 1 { median[$1] = $4; cpu[$1] = $5 + $6 }
  END {
    printf "medians: dewmop %.3f s, unzip %.3f s, 7z %.3f s\n", median["dewmop"], median["unzip"], median["7z"]
    du = median["dewmop"] / median["unzip"]; d7 = median["dewmop"] / median["7z"]
    printf "dewmop/unzip %.2f (goal <= 0.60: %s)\n", du, du <= 0.6 ? "met" : "NOT met"
    printf "dewmop/7z    %.2f (goal <= 0.80: %s)\n", d7, d7 <= 0.8 ? "met" : "NOT met"
    printf "CPU time (user + system, means): dewmop/unzip %.2f, dewmop/7z %.2f\n", cpu["dewmop"] / cpu["unzip"], cpu["dewmop"] / cpu["7z"]
    printf "dewmop peak RSS %.1f MiB (goal < 16: %s)\n", rss / 1024, rss < 16384 ? "met" : "NOT met"
  }' "$cache/results.csv"
