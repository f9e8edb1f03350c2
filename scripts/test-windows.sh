#!/usr/bin/env bash
# The Windows check: installs what is missing, cross-builds dewmop.exe and
# the unit tests with MinGW-w64 (folder build-windows), runs the tests under
# Wine, and runs the Linux build (folder build) and the Windows build side by
# side over the same collections, failing on any difference
# (tests/windows-diff.sh; FOLDERs given here are compared as well).
# Usage: test-windows.sh [FOLDER...]
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
bash scripts/build-windows.sh >/dev/null
cmake --build build-windows -j"$jobs"
[ -f build/CMakeCache.txt ] || cmake -S . -B build -DDEWMOP_WERROR=ON >/dev/null
cmake --build build -j"$jobs" --target dewmop

# One Wine server for all the tests; Wine's own services start here, once,
# and write their messages to a log instead of into a test's output.
export WINEPREFIX=$PWD/build-windows/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver -p600 || true  # one already running serves as well
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
/usr/lib/wine/wine64 wineboot >build-windows/wine.log 2>&1

(cd build-windows && ctest --output-on-failure -j"$jobs")
echo "Skipped under Wine:"
awk '/: Skipped$/ { getline reason }
     /^\[  SKIPPED \] [^ ]+ \(/ { print "  " $4 ": " reason }' \
  build-windows/Testing/Temporary/LastTest.log | sort -u

bash tests/windows-diff.sh build/dewmop build-windows/dewmop.exe "$@"
