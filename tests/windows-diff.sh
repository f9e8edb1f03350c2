#!/usr/bin/env bash
# Runs the Linux binary and the Windows one (under Wine) over copies of each
# FOLDER in every mode and fails on any difference: standard output, standard
# error, exit status, the report of -o, and the tree afterwards (moves, have
# file, miss list, byte for byte). Allowed to differ: the line ends of the Windows console
# streams (CRLF), the folder's path and the separator in paths, and the
# version line that a dump makes up from the clock.
# Wine lists a folder sorted as Windows' file systems do, Linux in its file
# system's own order: the Linux binary runs with windows_order.cpp
# preloaded, which lists folders sorted the same way.
# Besides the FOLDERs it checks two collections of its own: the demo
# collection and the demo with odd names, folders and damage added, each with
# a DAT file.
# Usage: windows-diff.sh LINUX_BINARY WINDOWS_EXE [FOLDER...]
set -uo pipefail
here=$(dirname "$(realpath "$0")")
linux=$(realpath "$1")
windows=$(realpath "$2")
shift 2
wine=${WINE:-/usr/lib/wine/wine64}
wineserver=${WINESERVER:-/usr/lib/wine/wineserver}
work=$(mktemp -d /tmp/dewmop-windiff.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX=${WINEPREFIX:-$work/wine}
# One Wine server for all the runs; Wine's own services start here, once,
# and write their messages to a log instead of into a run's standard error.
mkdir -p "$WINEPREFIX"
"$wineserver" -p600
trap '"$wineserver" -k 2>/dev/null; rm -rf "$work"' EXIT
"$wine" wineboot >"$work/wine.log" 2>&1
g++ -std=c++20 -O2 -shared -fPIC -o "$work/windows_order.so" "$here/windows_order.cpp" -ldl || exit 1

# A DAT file for FOLDER from the Linux build's dump: each file's name without
# its extension as the title, every other title with a crack name, every
# third with the characters that no file name may hold on one system or the
# other, and one title that no file has, for the miss list.
make_dat() {
  (cd "$1" && "$linux" -cc -d -s 2>/dev/null) |
    awk -F';' -v OFS=';' 'NR == 1 { print; next }
      { sub(/\.[^.]*$/, "", $1); if (NR % 2) $4 = "DM"
        if (NR % 3 == 0) $1 = $1 " AC/DC\\1: \"Live\"? <*|>"; print }
      END { print "Lost Classic;Nobody;;;1985;001;DEADBEEF" }' > "$1/C64.dat"
}

make_collections() {
  local demo=$work/collections/demo odd=$work/collections/odd
  bash "$here/../demo/make-collection.sh" "$demo" >/dev/null || exit 1
  cp -a "$demo" "$odd"
  make_dat "$demo"
  (
    cd "$odd" || exit 1
    mkdir sub Folder.D64
    cp rocks.d64 sub/rocks.d64
    cp hello.prg "sub/Spa$(printf '\xc3\x9f').prg"
    cp hello.prg Folder.D64/inner.prg
    cp hello.prg .hidden.prg
    cp hello.prg 'pct%s.prg'
    cp hello.prg 'semi;colon.prg'
    cp tapes.t64 'name with blanks.t64'
    cp maze.g64 noext
    : > empty.prg
    head -c 100000 rocks.d64 > cut.d64
    printf 'PK\3\4 not really a zip' > notzip.zip
    # What a run that was killed leaves: its lock file and a scratch file.
    echo "left behind" > C64have.dat.lock
    echo "half written" > C64have.dat.k3Xq9Z
    echo "old list" > C64miss.txt
    chmod a-w C64miss.txt
    # Paths longer than Windows' MAX_PATH (260 characters).
    long=$(printf 'a folder with a long name %s ' 1 2 3 4 5 6 7)
    mkdir "$long"
    cp tapes.t64 "$long/$(printf 'tapes with a long name %s ' 1 2 3 4).t64"
  )
  make_dat "$odd"
  echo "$demo" "$odd"
}

# The tree as a list of relative paths with their contents' checksums.
tree() {
  (cd "$1" && find . \( -type f -o -type d \) -print0 | LC_ALL=C sort -z |
     while IFS= read -r -d '' f; do
       if [ -d "$f" ]; then echo "folder $f"; else echo "$(sha1sum < "$f" | cut -c1-40) $f"; fi
     done)
}

# run TAG FOLDER RUN...: each RUN (a string of arguments) in turn on one copy
# of FOLDER; TAG is linux or windows.
run() {
  local tag=$1 folder=$2 root args k
  shift 2
  rm -rf "${work:?}/$tag"
  cp -a "$folder" "$work/$tag"
  : > "$work/$tag.out"
  : > "$work/$tag.err"
  for args in "$@"; do
    # shellcheck disable=SC2086
    if [ "$tag" = linux ]; then
      (cd "$work/$tag" && LD_PRELOAD="$work/windows_order.so" "$linux" $args \
         >>"$work/$tag.out" 2>>"$work/$tag.err" </dev/null)
    else
      (cd "$work/$tag" && "$wine" "$windows" $args >>"$work/$tag.out" 2>>"$work/$tag.err" </dev/null)
    fi
    echo "exit $?" >>"$work/$tag.err"
  done
  if [ "$tag" = linux ]; then
    root=$work/$tag
  else
    root="Z:${work//\//\\}\\$tag"
    # The console streams are in text mode: every line ends in CRLF.
    sed -i 's/\r$//' "$work/$tag.out" "$work/$tag.err"
  fi
  # The report of -o goes beside the streams.
  if [ -f "$work/$tag/report.csv" ]; then
    mv "$work/$tag/report.csv" "$work/$tag.csv"
  else
    : > "$work/$tag.csv"
  fi
  # The folder's path becomes ROOT; in a line that names a path below it,
  # the Windows separators become '/'.
  for k in out err csv; do
    ROOT=$root perl -i -pe 'BEGIN { $r = $ENV{ROOT} }
      if (s/\Q$r\E/ROOT/g) { s{(ROOT.*)}{ ($x = $1) =~ tr{\\}{/}; $x }ge }' "$work/$tag.$k"
  done
  tree "$work/$tag" >"$work/$tag.tree"
}

failed=0
check() {
  local folder=$1 k
  shift
  run linux "$folder" "$@"
  run windows "$folder" "$@"
  # A dump opens with a version line made up from the clock.
  sed -i -E '/^(C64|Amiga) [0-9]\.[0-9]{2}$/d' "$work/linux.out" "$work/windows.out"
  for k in out err csv tree; do
    if ! cmp -s "$work/linux.$k" "$work/windows.$k"; then
      echo "DIFFERENT $k: $folder: dewmop $*"
      diff "$work/linux.$k" "$work/windows.$k" | head -20
      failed=1
    fi
  done
}

read -r -a folders <<<"$(make_collections)"
folders+=("$@")
for folder in "${folders[@]}"; do
  for mode in "-cc" "-cc -d" "-cc -d -s" "-cc -i" "-cc -i -s" "-cc -r" "-ca -d -s" "-ca -r" \
              "-cc -d rocks.d64" "-cc -d noext" "-cc -i tapes.t64" "-cc -r hello.prg" \
              "-cc -r sub/rocks.d64" "-cc -r -s -n" "-cc -r -s -oreport.csv"; do
    check "$folder" "$mode"
  done
  # A second rename run reads the have file of the first.
  check "$folder" "-cc -r -s" "-cc -r -s"
done
if [ $failed -ne 0 ]; then
  echo "The Windows build behaves differently from the Linux build." >&2
  exit 1
fi
echo "Same on Linux and Windows: ${folders[*]}"
