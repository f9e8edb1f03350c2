#!/usr/bin/env bash
# Installs what building and testing Dewmop needs on Debian 12, if missing.
# With --windows also the MinGW-w64 cross compiler, zlib for it, GoogleTest's
# sources and Wine (without its recommends: no 32-bit or desktop parts), for
# the Windows build and its tests.
set -euo pipefail
# A test command runs this once and says what it asked for in
# DEWMOP_SETUP_DONE ("--windows" or "plain"); the scripts it calls skip it.
case "${DEWMOP_SETUP_DONE:-}/${1:-}" in
  --windows/* | plain/) exit 0 ;;
esac
packages=(g++ cmake make zlib1g-dev libdeflate-dev libgtest-dev libgmock-dev libbenchmark-dev
          clang libclang-rt-14-dev zip unzip gzip cc1541)
windows_packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine64 wine)
# install_missing APT_OPTIONS package...
install_missing() {
  local options=$1 missing=()
  shift
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq $options "${missing[@]}" >/dev/null
  fi
}
install_missing "" "${packages[@]}"
if [ "${1:-}" = "--windows" ]; then
  install_missing --no-install-recommends "${windows_packages[@]}"
fi
