#!/usr/bin/env bash
# The mutation check: applies each deliberate single-line fault of
# scripts/mutants.txt, one at a time, to a scratch copy of the tree, builds
# it and runs the plain suite against it; prints the faults the suite lets
# through and the kill rate. Slow (a build and a suite run per fault), so it
# is not part of the test command.
# Usage: mutants.sh [NAME-PATTERN]   (only the faults whose name matches)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
only=${1:-}
scratch=${MUTANTS_DIR:-/tmp/dewmop-mutants}
src=$scratch/src build=$scratch/build
rm -rf "$src"
mkdir -p "$src"
git -C "$root" ls-files -z | tar -C "$root" --null -T - -cf - | tar -C "$src" -xf -
cmake -S "$src" -B "$build" -DDEWMOP_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
(cd "$build" && ctest -j"$(nproc)" >/dev/null) || { echo "the suite fails without any fault"; exit 1; }

killed=0 survived=0 stale=0
survivors=()
# Each fault: name | file | the exact text of one line (its first occurrence) | what replaces it
while IFS='|' read -r name file old new; do
  [[ -z "$name" || "$name" == \#* ]] && continue
  [[ -n "$only" && "$name" != *$only* ]] && continue
  name=$(echo "$name" | xargs) file=$(echo "$file" | xargs)
  old=${old# } old=${old% } new=${new# } new=${new% }
  cp "$src/$file" "$scratch/original"
  if ! OLD="$old" NEW="$new" perl -0pi -e 'my $o = $ENV{OLD}; my $n = $ENV{NEW};
        $found = s/\Q$o\E/$n/; END { exit($found ? 0 : 3) }' "$src/$file"; then
    echo "STALE    $name ($file: text not found)"
    stale=$((stale + 1))
    continue
  fi
  if cmake --build "$build" -j"$(nproc)" >/dev/null 2>&1 &&
     (cd "$build" && timeout 600 ctest -j"$(nproc)" --stop-on-failure >/dev/null 2>&1); then
    echo "SURVIVED $name"
    survived=$((survived + 1))
    survivors+=("$name")
  else
    echo "killed   $name"
    killed=$((killed + 1))
  fi
  cp "$scratch/original" "$src/$file"
  touch "$src/$file"
done < "$root/scripts/mutants.txt"
cmake --build "$build" -j"$(nproc)" >/dev/null 2>&1 || true
total=$((killed + survived))
echo
echo "faults: $total, killed: $killed, survived: $survived, stale: $stale"
[ "$total" -gt 0 ] && awk -v k="$killed" -v t="$total" 'BEGIN { printf "kill rate: %.1f%%\n", 100 * k / t }'
[ "$stale" -eq 0 ]
