#!/usr/bin/env bash
# Installs what building and testing Dewmop needs on Debian 12, if missing.
set -euo pipefail
packages=(g++ cmake make zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
          clang libclang-rt-14-dev zip unzip gzip cc1541)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
