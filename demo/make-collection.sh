#!/usr/bin/env bash
# Builds the demo collection from the project's own homebrew content: a few
# images of every C64 type, some zipped, one damaged, one duplicate.
# Usage: make-collection.sh FOLDER
set -euo pipefail
out=$1
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A BASIC program at $0801: 10 PRINT "<text>"
basic() {
  local text=$1 len=$((${#1} + 9))
  local next=$((0x0801 + len - 2))
  printf "\\x01\\x08\\x$(printf %02x $((next & 255)))\\x$(printf %02x $((next >> 8)))\\x0a\\x00\\x99\\x22%s\\x22\\x00\\x00\\x00" "$text"
}
# n bytes of a repeating text, standing in for program data
filler() { (set +o pipefail; yes "$2" | tr -d "\n" | head -c "$1"); }
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16)); }

# Programs for the disks and tapes.
basic "HELLO FROM DEWMOP" > "$work/hello.prg"
{ basic "SPACE ROCKS"; filler 3000 "ROCKS"; } > "$work/rocks.prg"
{ basic "ROCKS HISCORES"; filler 200 "AAA 100 "; } > "$work/rocks-hi.prg"
{ basic "MAZE RUNNER"; filler 5000 "MAZE"; } > "$work/maze.prg"
filler 1500 "LEVEL DATA " > "$work/maze-levels.seq"
{ basic "SID TUNE"; filler 2500 "NOTE"; } > "$work/tune.prg"

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
first=$(od -An -tu1 -j $((91392 + 256 + 3)) -N2 "$out/broken.d64")
read -r track sector <<<"$first"
offset=$((track <= 17 ? (track - 1) * 21 : 17 * 21 + (track - 18) * 19))
printf '\x29\x00' | dd of="$out/broken.d64" bs=1 seek=$(((offset + sector) * 256)) conv=notrunc status=none

# A plain program, a P00 and a TAP.
cp "$work/hello.prg" "$out/hello.prg"
{ printf 'C64File\0'; printf 'HELLO\0\0\0\0\0\0\0\0\0\0\0\0\0'; cat "$work/hello.prg"; } > "$out/hello.p00"
{ printf 'C64-TAPE-RAW\x01\0\0\0'; le32 2000; filler 2000 $'\x30\x42'; } > "$out/rocks.tap"

# A T64 tape with two programs.
{
  printf 'C64S tape image file'; printf '\0%.0s' {1..12}
  printf '\x00\x01'; le16 2; le16 2; printf '\0\0'
  printf 'DEWMOP TAPE             '
  for i in 0 1; do
    if [ $i -eq 0 ]; then start=128; size=$(($(wc -c < "$work/tune.prg") - 2)); name=TUNE;
    else start=$((128 + size)); size=$(($(wc -c < "$work/hello.prg") - 2)); name=HELLO; fi
    printf '\x01\x82'; le16 2049; le16 $((2049 + size)); printf '\0\0'; le32 "$start"; printf '\0\0\0\0'
    printf '%-16s' "$name"
  done
  tail -c +3 "$work/tune.prg"; tail -c +3 "$work/hello.prg"
} > "$out/tapes.t64"

# A cartridge with two 8 KiB banks.
{
  printf 'C64 CARTRIDGE   '; le32 $((0x40 << 24)); printf '\x01\x00\x00\x00\x00\x00'
  printf '\0%.0s' {1..6}; printf '%-32s' 'DEWMOP CART' | tr ' ' '\0'
  for bank in 0 1; do
    printf 'CHIP'; printf '\x00\x00\x20\x10\x00\x00\x00'; printf "\\x0$bank"; printf '\x80\x00\x20\x00'
    filler 8192 "BANK$bank "
  done
} > "$out/cart.crt"

# Archives: a zipped disk, a duplicate of the rocks disk, and two images in one.
(cd "$out" && zip -q -9 tunes.zip tunes.d64 && rm tunes.d64)
cp "$out/rocks.d64" "$work/rocks-copy.d64"
(cd "$work" && zip -q -9 "$out/rocks-copy.zip" rocks-copy.d64)
(cd "$work" && cp "$out/hello.prg" hello.prg && cp "$out/cart.crt" cart.crt && zip -q bundle.zip hello.prg cart.crt && mv bundle.zip "$out/bundle.zip")
