#!/usr/bin/env bash
# Builds the seed corpus of every fuzz target from real tools (cc1541, zip,
# gzip), make-images and the demo collection: one folder per target under OUT.
# Usage: make-seeds.sh OUT
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out"/{c64_factory_fuzz,g64_fuzz,amiga_fuzz,zip_fuzz,inflate_fuzz,dat_fuzz,options_fuzz}

bash "$root/demo/make-collection.sh" "$work/demo" >/dev/null  # builds make-images
demo=$work/demo
images=$root/build/demo/make-images

# More images from cc1541: an empty disk, twenty files, a 40-track disk
# and G64 forms of them.
{ printf '\x01\x08'; "$images" text 700 "DATA"; } > "$work/small.prg"
cc1541 -q -n "EMPTY" -i "00 2A" "$work/empty.d64" >/dev/null
args=()
for i in $(seq 1 20); do args+=(-f "FILE$i" -w "$work/small.prg"); done
cc1541 -q -n "MANY" -i "01 2A" "${args[@]}" -g "$work/many.g64" "$work/many.d64" >/dev/null
cc1541 -q -n "FORTY" -i "02 2A" -4 -f "ONE" -w "$work/small.prg" "$work/forty.d64" >/dev/null \
  || rm -f "$work/forty.d64"
# A D71 whose big file runs on to side two, and a D81 with a few files.
"$images" text 200000 "SIDE" > "$work/big.seq"
cc1541 -q -n "TWO SIDES" -i "03 2A" -f "BIG" -T SEQ -w "$work/big.seq" -f "ONE" \
  -w "$work/small.prg" "$work/sides.d71" >/dev/null
cc1541 -q -n "WIDE" -i "04 2A" "${args[@]:0:12}" "$work/wide.d81" >/dev/null

# The first byte picks the image type: byte t + 1 for type t, 0 for -1.
prefixed() { { printf "\\x$(printf %02x "$1")"; cat "$2"; } > "$3"; }
c64=$out/c64_factory_fuzz
for f in "$demo"/*.{d64,prg,p00,tap,t64,crt} "$work"/*.{d64,d71,d81}; do
  [ -e "$f" ] || continue
  case "${f##*.}" in
    d64) type=1 ;; t64) type=2 ;; prg) type=3 ;; p00) type=4 ;;
    crt) type=5 ;; tap) type=7 ;; d71) type=9 ;; d81) type=10 ;;
  esac
  base=$(basename "$f")
  prefixed $((type + 1)) "$f" "$c64/$base"
  prefixed 0 "$f" "$c64/$base.bycontent"
done

# G64: the capacity picks (0 .. 5) with the converted size and one less.
# Every sector is sought over its whole track, so a full G64 takes long to
# convert under the sanitizers; the first tracks alone keep runs quick.
for f in "$demo"/*.g64 "$work"/*.g64; do
  head -c 40000 "$f" > "$work/head.g64"
  for pick in 2 4 5; do prefixed "$pick" "$work/head.g64" "$out/g64_fuzz/$(basename "$f").$pick"; done
  prefixed 7 "$work/head.g64" "$c64/$(basename "$f")"
  prefixed 0 "$work/head.g64" "$c64/$(basename "$f").bycontent"
done

# Amiga: a small disk plain (ADF, type 1) and gzipped (ADZ, type 2), and
# gzip members for the inflater.
{ printf 'DOS\0'; "$images" text 8188 "AMIGA BLOCK "; } > "$work/disk.adf"
gzip -9 -c "$work/disk.adf" > "$work/disk.adz"
gzip -1 -c "$demo/hello.prg" > "$work/hello.gz"
printf '' | gzip -c > "$work/empty.gz"
prefixed 2 "$work/disk.adf" "$out/amiga_fuzz/disk.adf"
prefixed 3 "$work/disk.adz" "$out/amiga_fuzz/disk.adz"
prefixed 0 "$work/disk.adz" "$out/amiga_fuzz/disk.bycontent"
prefixed 2 "$work/hello.gz" "$out/amiga_fuzz/hello.gz"
prefixed 3 "$work/empty.gz" "$out/amiga_fuzz/empty.gz"

# ZIP: the demo archives, a stored one, one with an entry without extension
# and one with a comment.
cp "$demo"/*.zip "$out/zip_fuzz/"
(cd "$work" && zip -q -0 stored.zip small.prg && cp small.prg disk \
  && zip -q -9 noext.zip disk && zip -q -z commented.zip small.prg <<<"a comment")
cp "$work"/{stored,noext,commented}.zip "$out/zip_fuzz/"

# Inflaters: raw deflate streams (gzip's, without header and trailer) of
# the demo images, of skewed text and of data that does not compress (both
# over several 16 KiB chunks, in Huffman and in stored blocks), each read
# three times: whole with its
# own size, one less and one more; then cut one byte short, one byte long,
# and whole.
le() { local v=$1 n=$2; for ((; n > 0; n--, v >>= 8)); do printf '\\x%02x' $((v & 255)); done; }
fields() { printf "$(le 0 2)$(le "$1" 3)$(le "$2" 2)"; }
LC_ALL=C awk 'BEGIN { srand(1); for (i = 0; i < 50000; i++) printf "%c", int(rand() * 256) }' \
  > "$work/incompressible"
LC_ALL=C awk 'BEGIN { srand(2); for (i = 0; i < 90000; i++) printf "%c", 65 + int(rand() * rand() * 26) }' \
  > "$work/skewed"
for f in "$demo"/*.{d64,prg,t64} "$work"/{incompressible,skewed,sides.d71}; do
  [ -e "$f" ] || continue
  base=$(basename "$f")
  gzip -9 -n -c "$f" | tail -c +11 | head -c -8 > "$work/stream"
  size=$(stat -c %s "$work/stream")
  whole=16777215
  { fields $whole 65535; fields $whole 65534; fields $whole 65533; cat "$work/stream"; } > "$out/inflate_fuzz/$base"
  { fields $((size - 1)) 65535; fields $((size + 1)) 65535; fields $whole 65535; cat "$work/stream"; } \
    > "$out/inflate_fuzz/$base.cut"
done

# DAT: the DAT file, a zero byte, the have file.
dat=$out/dat_fuzz
{ printf 'C64 1.00\n'
  printf 'Game;Publisher;1990;Grp;1990;002;0000BEEF;12345678\n'
  printf 'Other Game;;;;0;1;DEADBEEF\r\n'
  printf 'Last;;;;0;3;0x10;-5;FFFFFFFFF'
  printf '\0C64 1.00\n\x01\x00\x03\x00\x09\x00'; } > "$dat/three"
printf 'C64 1.00\nA;;;;0;1;1\n' > "$dat/no-have"
printf 'C64 1.23 a version line too long\nB;;;;0;1;2\n\0C64 1.23 a version ' > "$dat/long-version"
printf 'C64 1.00\nA;;;;0;2;1\n\nB;Pub\nC;;;;x;y;2;zz;3;\nD;;;;0;1;1\n \n\n' > "$dat/malformed"
printf 'C64 1.00\nA;;;;0;4;1;2;3;4\nB;;;;0;4;1;2;3;5\nC;;;;0;3;1;1;2\nD;;;;0;2;4;6\n' > "$dat/near"

# Command lines: arguments separated by zero bytes, the program name first.
opt=$out/options_fuzz
printf 'dewmop\0-cc' > "$opt/c64"
printf 'dewmop\0-ca\0-d\0-s' > "$opt/amiga"
printf 'dewmop\0-CC\0-i\0-r\0game.d64' > "$opt/single"
printf 'dewmop\0*.*\0-x\0-cc' > "$opt/unknown"
printf 'dewmop' > "$opt/none"
