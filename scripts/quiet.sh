#!/usr/bin/env bash
# Runs a command with its standard output held back and shown only if the
# command fails; its standard error always shows.
# Usage: quiet.sh COMMAND [ARG...]
set -uo pipefail
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$@" >"$log" && exit 0
status=$?
cat "$log" >&2
exit "$status"
