#!/usr/bin/env bash
# Times a dump run over the benchmark collection, with one worker and with
# all, against unzip and 7z testing the same archives (and, given REF, an
# older dewmop binary), side by side in one hyperfine run, after checking
# that the dump output is unchanged and the same with one worker and all.
# Usage: run-bench.sh [SEED]
#   (environment: BUILD, DEWMOP_BENCH_CACHE, RUNS, REF=an older dewmop)
set -euo pipefail
seed=${1:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-release}
cache=${DEWMOP_BENCH_CACHE:-${TMPDIR:-/tmp}/dewmop-bench}
folder=$cache/collection-$seed
runs=${RUNS:-10}
ref=${REF:-}

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
command -v python3 >/dev/null || missing+=(python3)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=$([ "$(id -u)" -eq 0 ] || echo sudo)
  $sudo apt-get install -y "${missing[@]}"
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDEWMOP_TESTS=OFF >/dev/null
cmake --build "$build" --target dewmop -j2 >/dev/null
dewmop=$build/dewmop

"$root/bench/make-collection.sh" "$seed" "$folder"
cd "$folder"

"$dewmop" -cc -d -j1 2>/dev/null | tail -n +2 > "$cache/one.txt"
"$dewmop" -cc -d 2>/dev/null | tail -n +2 > "$cache/all.txt"
if ! cmp -s "$cache/one.txt" "$cache/all.txt"; then
  echo "FAIL: the dump with all workers differs from the one with one worker" >&2
  exit 1
fi
checksum=$(LC_ALL=C sort "$cache/one.txt" | sha256sum | cut -d' ' -f1)
echo "dump checksum: $checksum; workers: $(nproc)"
if [ "$seed" = 1 ] && [ "$checksum" != "$expected_seed1" ]; then
  echo "FAIL: the dump output differs from the recorded one ($expected_seed1)" >&2
  exit 1
fi

commands=(-n one "$dewmop -cc -d -j1" -n all "$dewmop -cc -d"
          -n unzip "unzip -tqq '*.zip'" -n 7z "7z t -bso0 -bsp0 '*.zip'")
[ -n "$ref" ] && commands+=(-n ref "$ref -cc -d")
hyperfine --warmup 2 --runs "$runs" --export-json "$cache/results.json" \
  --export-csv "$cache/results.csv" "${commands[@]}" >/dev/null

/usr/bin/time -v -o "$cache/time.txt" "$dewmop" -cc -d >/dev/null 2>&1
rss=$(awk -F: '/Maximum resident set size/ { print $2 + 0 }' "$cache/time.txt")

# Medians with the spread of the runs (min .. max), then the ratios.
python3 - "$cache/results.json" "$rss" <<'PY'
import json, statistics, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
rss = int(sys.argv[2])
median = {name: statistics.median(r["times"]) for name, r in results.items()}
for name, r in results.items():
    print(f"{name:6} median {median[name]:.3f} s  (min {min(r['times']):.3f}, max {max(r['times']):.3f}; "
          f"CPU {r['user'] + r['system']:.3f} s)")
def goal(label, value, limit):
    print(f"{label:40} {value:.2f}  (goal <= {limit}: {'met' if value <= limit else 'NOT met'})")
if "ref" in median:
    goal("one worker / the older binary", median["one"] / median["ref"], 0.55)
    goal("all workers / the older binary", median["all"] / median["ref"], 0.35)
cpu = {name: r["user"] + r["system"] for name, r in results.items()}
goal("CPU time, all workers / one worker", cpu["all"] / cpu["one"], 1.15)
goal("all workers / unzip -tqq", median["all"] / median["unzip"], 0.25)
goal("all workers / 7z t", median["all"] / median["7z"], 0.25)
goal("peak RSS with all workers, MiB", rss / 1024, 64)
print(f"speed-up of all workers over one: {median['one'] / median['all']:.2f}")
PY
