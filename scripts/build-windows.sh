#!/usr/bin/env bash
# Cross-builds dewmop.exe for 64-bit Windows with MinGW-w64, in the folder
# build-windows; prints its path. The .exe needs only the DLLs that Windows
# ships (checked here).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --windows
if [ ! -f build-windows/CMakeCache.txt ]; then
  bash scripts/quiet.sh cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DDEWMOP_WERROR=ON
fi
bash scripts/quiet.sh cmake --build build-windows -j"$(nproc)" --target dewmop
exe=build-windows/dewmop.exe
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
foreign=$(grep -viE '^(kernel32|msvcrt|user32|advapi32|ws2_32|shell32|ole32)\.dll$' <<<"$dlls" || true)
if [ -n "$foreign" ]; then
  echo "dewmop.exe needs DLLs that Windows does not ship: $foreign" >&2
  exit 1
fi
realpath "$exe"
