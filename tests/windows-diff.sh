#!/usr/bin/env bash
# Runs the Linux binary and the Windows one (under Wine) over copies of each
# FOLDER in every mode and fails on any difference: standard output, standard
# error, exit status, and the tree afterwards (moves, have file, miss list,
# byte for byte). Allowed to differ: the line ends of the Windows console
# streams (CRLF), the folder's path, and the separator in paths; and the
# random version line that opens a dump. Wine lists a folder sorted as
# Windows' file systems do, Linux in its file system's own order: the Linux
# binary runs with windows_order.cpp preloaded, which lists folders sorted
# the same way.
# Usage: windows-diff.sh LINUX_BINARY WINDOWS_EXE FOLDER...
set -uo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
shift 2
wine=${WINE:-/usr/lib/wine/wine64}
work=$(mktemp -d /tmp/dewmop-windiff.XXXXXX)
trap 'rm -rf "$work"' EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$work/wine}
g++ -std=c++20 -O2 -shared -fPIC -o "$work/windows_order.so" \
  "$(dirname "$0")/windows_order.cpp" -ldl || exit 1

# The tree as a list of relative paths with their contents' checksums.
tree() { (cd "$1" && find . \( -type f -o -type d \) -print0 | LC_ALL=C sort -z |
          while IFS= read -r -d '' f; do
            if [ -d "$f" ]; then echo "dir  $f"; else echo "$(sha1sum < "$f" | cut -c1-40) $f"; fi
          done); }

# run TAG FOLDER ARGS...: TAG is linux or windows.
run() {
  local tag=$1 folder=$2 root
  shift 2
  rm -rf "${work:?}/$tag"
  cp -a "$folder" "$work/$tag"
  if [ "$tag" = linux ]; then
    (cd "$work/$tag" && LD_PRELOAD="$work/windows_order.so" "$linux" "$@" >"$work/$tag.out" 2>"$work/$tag.err" </dev/null)
    echo "exit $?" >>"$work/$tag.err"
    root=$work/$tag
  else
    (cd "$work/$tag" && "$wine" "$windows" "$@" >"$work/$tag.out" 2>"$work/$tag.err" </dev/null)
    echo "exit $?" >>"$work/$tag.err"
    root="Z:${work//\//\\}\\$tag"
    # The console streams are in text mode: every line ends in CRLF.
    sed -i 's/\r$//' "$work/$tag.out" "$work/$tag.err"
  fi
  # The folder's path becomes ROOT; in a line that names a path below it,
  # the Windows separators become '/'.
  local k
  for k in out err; do
    ROOT=$root perl -i -pe 'BEGIN { $r = $ENV{ROOT} } if (s/\Q$r\E/ROOT/g) { s{(ROOT.*)}{ ($x = $1) =~ tr{\\}{/}; $x }ge }' \
      "$work/$tag.$k"
  done
  tree "$work/$tag" >"$work/$tag.tree"
}

failed=0
check() {
  local folder=$1 k
  shift
  run linux "$folder" "$@"
  run windows "$folder" "$@"
  for k in out err tree; do
    if [ "$k" = out ]; then
      # A dump opens with a version line made up from the clock.
      sed -i -E '1{/^(C64|Amiga) [0-9]\.[0-9]{2}$/d}' "$work/linux.out" "$work/windows.out"
    fi
    if ! cmp -s "$work/linux.$k" "$work/windows.$k"; then
      echo "DIFFERENT $k: $folder: dewmop $*"
      diff "$work/linux.$k" "$work/windows.$k" | head -20
      failed=1
    fi
  done
}

for folder in "$@"; do
  for mode in "-cc" "-cc -d" "-cc -d -s" "-cc -i" "-cc -i -s" "-cc -r" "-cc -r -s" \
              "-ca -d -s" "-ca -r"; do
    # shellcheck disable=SC2086
    check "$folder" $mode
  done
done
if [ $failed -ne 0 ]; then
  echo "The Windows build behaves differently from the Linux build." >&2
  exit 1
fi
echo "Same on Linux and Windows: $*"
