#!/usr/bin/env bash
# Builds the benchmark collection from a seed: 2,000 ZIP archives of one D64
# each, 500 D64, 300 T64, 300 PRG and 100 CRT images, all in FOLDER.
# The same seed gives the same images (the ZIP files differ only in their
# time stamps). Needs cc1541 and zip; builds its generator in BUILD (default
# build-release, as run-bench.sh). A FOLDER that a run completed is kept.
# Usage: make-collection.sh SEED FOLDER
set -euo pipefail
seed=$1
out=$2
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-release}
[ -f "$out/.complete" ] && exit 0
echo "Generating the collection for seed $seed in $out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bash "$root/scripts/quiet.sh" cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDEWMOP_TESTS=OFF
bash "$root/scripts/quiet.sh" cmake --build "$build" --target collection_gen -j2
"$build/bench/collection_gen" "$seed" "$out" "$work" > "$work/disks"

# One line: kind, image, disk name, then name, type and path of each file.
make_disk() {
  local fields kind image args i
  IFS=$'\t' read -r -a fields <<<"$1"
  kind=${fields[0]} image=${fields[1]}
  args=(-q -m -n "${fields[2]}" -i "BM 2A")
  for ((i = 3; i < ${#fields[@]}; i += 3)); do
    args+=(-f "${fields[i]}" -T "${fields[i + 1]}" -w "${fields[i + 2]}")
  done
  if [ "$kind" = zip ]; then
    cc1541 "${args[@]}" "$work/$image" >/dev/null
    (cd "$work" && zip -q -X "$out/${image%.d64}.zip" "$image" && rm "$image")
  else
    cc1541 "${args[@]}" "$image" >/dev/null
  fi
}

# Two workers, each taking every other disk.
workers=()
for part in 0 1; do
  awk -v part=$part 'NR % 2 == part' "$work/disks" | while IFS= read -r line; do
    make_disk "$line"
  done &
  workers+=($!)
done
for worker in "${workers[@]}"; do wait "$worker"; done
touch "$out/.complete"
