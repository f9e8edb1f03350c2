#!/usr/bin/env bash
# Shows what Dewmop does on the demo collection, in a scratch copy: a dump,
# a DAT file made from it, an identification, a dry run, and a rename with
# its report.
# Usage: run-demo.sh DEWMOP_BINARY
set -euo pipefail
dewmop=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
scratch=$(mktemp -d /tmp/dewmop-demo.XXXXXX)
bash "$here/make-collection.sh" "$scratch/collection"
cd "$scratch/collection"

step() { printf '\n\033[1m== %s\033[0m\n' "$*"; }

step "The collection ($scratch/collection)"
ls -l

step "Dump: dewmop -cc -d (standard output is a DAT file)"
"$dewmop" -cc -d > ../dump.txt
cat ../dump.txt

step "A DAT file made from the dump, with titles filled in (C64.dat)"
awk -F';' -v OFS=';' '
  BEGIN {
    t["rocks.d64"]   = "Space Rocks;Dewmop Homebrew;Fixed;DM;2026"
    t["maze.g64"]    = "Maze Runner;Dewmop Homebrew;;;2025"
    t["hello.prg"]   = "Hello;Dewmop Homebrew;;;1982"
    t["tapes.t64"]   = "Tape Tunes;Dewmop Homebrew;Trained;DM;2026"
    t["cart.crt"]    = "Bank Switcher;Dewmop Homebrew;;;2026"
    t["rocks.tap"]   = "Rocks Tape Loader;Dewmop Homebrew;;;2026"
    t["bundle.zip"]  = "Hello Bundle;Dewmop Homebrew;;;2026"
  }
  NR == 1 { print; next }
  $1 in t { line = t[$1]; for (i = 6; i <= NF; i++) line = line OFS $i; print line }
  END { print "Lost Classic;Nobody;;;1985;001;DEADBEEF" }
' ../dump.txt > C64.dat
cat C64.dat

step "Identify: dewmop -cc -i"
"$dewmop" -cc -i

step "Dry run: dewmop -cc -r -n (standard output is the plan; nothing moves)"
"$dewmop" -cc -r -n

step "Rename: dewmop -cc -r -o../report.csv"
"$dewmop" -cc -r -o../report.csv

step "After the rename"
find . -type f | sort
step "The miss list (C64miss.txt)"
cat C64miss.txt
step "The report (../report.csv)"
cat ../report.csv
printf '\nThe scratch copy stays in %s\n' "$scratch"
