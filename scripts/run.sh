#!/usr/bin/env bash
# Builds Dewmop and runs it with the given arguments; with none, the demo.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/quiet.sh" cmake -S "$root" -B "$root/build"
bash "$root/scripts/quiet.sh" cmake --build "$root/build" -j"$(nproc)" --target dewmop make-images
if [ $# -eq 0 ]; then
  exec bash "$root/demo/run-demo.sh" "$root/build/dewmop"
fi
exec "$root/build/dewmop" "$@"
