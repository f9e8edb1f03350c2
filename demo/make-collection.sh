#!/usr/bin/env bash
# Builds the demo collection from the project's own homebrew content: a few
# images of every C64 type, some zipped, one damaged, one duplicate.
# Usage: make-collection.sh FOLDER   (builds make-images in build/)
set -euo pipefail
out=$1
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" >/dev/null
cmake --build "$root/build" --target make-images >/dev/null
images() { "$root/build/demo/make-images" "$@"; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Programs for the disks and tapes: BASIC, then data standing in for the rest.
images basic "HELLO FROM DEWMOP" > "$work/hello.prg"
{ images basic "SPACE ROCKS"; images text 3000 "ROCKS"; } > "$work/rocks.prg"
{ images basic "ROCKS HISCORES"; images text 200 "AAA 100 "; } > "$work/rocks-hi.prg"
{ images basic "MAZE RUNNER"; images text 5000 "MAZE"; } > "$work/maze.prg"
images text 1500 "LEVEL DATA " > "$work/maze-levels.seq"
{ images basic "SID TUNE"; images text 2500 "NOTE"; } > "$work/tune.prg"

# D64 disks, and the same maze disk as a G64.
cc1541 -q -n "SPACE ROCKS" -i "DM 2A" -f "ROCKS" -w "$work/rocks.prg" \
  -f "HISCORES" -T SEQ -w "$work/rocks-hi.prg" "$out/rocks.d64" >/dev/null
cc1541 -q -n "MAZE RUNNER" -i "DM 2A" -f "MAZE" -w "$work/maze.prg" \
  -f "LEVELS" -T SEQ -w "$work/maze-levels.seq" -g "$out/maze.g64" \
  "$work/maze.d64" >/dev/null
cc1541 -q -n "TUNES" -i "DM 2A" -f "TUNE" -w "$work/tune.prg" \
  -f "HELLO" -w "$work/hello.prg" "$out/tunes.d64" >/dev/null

# A damaged disk: the tune disk with its first file's chain cut to track 41.
cp "$out/tunes.d64" "$out/broken.d64"
images cut "$out/broken.d64" 41

# A plain program, a P00, a TAP, a T64 tape with two programs and a
# cartridge with two 8 KiB banks.
cp "$work/hello.prg" "$out/hello.prg"
images p00 HELLO "$work/hello.prg" > "$out/hello.p00"
images text 2000 $'\x30\x42' > "$work/pulses"
images tap "$work/pulses" > "$out/rocks.tap"
images t64 "DEWMOP TAPE" TUNE "$work/tune.prg" HELLO "$work/hello.prg" > "$out/tapes.t64"
for bank in 0 1; do images text 8192 "BANK$bank " > "$work/bank$bank"; done
images crt 'DEWMOP\0CART' "$work/bank0" "$work/bank1" > "$out/cart.crt"

# Archives: a zipped disk, a duplicate of the rocks disk, and two images in one.
(cd "$out" && zip -q -9 tunes.zip tunes.d64 && rm tunes.d64)
cp "$out/rocks.d64" "$work/rocks-copy.d64"
(cd "$work" && zip -q -9 "$out/rocks-copy.zip" rocks-copy.d64)
(cd "$work" && cp "$out/hello.prg" hello.prg && cp "$out/cart.crt" cart.crt && zip -q bundle.zip hello.prg cart.crt && mv bundle.zip "$out/bundle.zip")
