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
# The unit tests and nothing else: the sample image tools run on Linux.
tests=$(cmake --build build-windows --target help | sed -n 's/^\.\.\. \(.*_test\)$/\1/p')
# shellcheck disable=SC2086
bash scripts/quiet.sh cmake --build build-windows -j"$jobs" --target $tests
[ -f build/CMakeCache.txt ] || bash scripts/quiet.sh cmake -S . -B build -DDEWMOP_WERROR=ON
bash scripts/quiet.sh cmake --build build -j"$jobs" --target dewmop make-images

# One Wine server for all the tests; Wine's own services start here, once,
# and write their messages to a log instead of into a test's output. Wine
# goes without .NET and a browser, and makes no menu entries in the home.
export WINEPREFIX=$PWD/build-windows/wine WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
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
