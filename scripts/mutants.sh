#!/usr/bin/env bash
# The mutation check: applies each deliberate single-line fault of
# scripts/mutants.txt, one at a time, to a scratch copy of the tree, builds
# it and runs the plain suite against it; prints the faults the suite lets
# through and the kill rate. A fault that does not build is counted apart,
# not as killed. Slow (a build and a suite run per fault), so it is not part
# of the test command.
# Usage: mutants.sh [PATTERN...]   only the faults whose name holds one of the
#                                  patterns, e.g. "images." or "d64"
# MUTANTS_DIR is the scratch folder (default /tmp/dewmop-mutants); a later run
# with the same folder rebuilds only what changed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
scratch=${MUTANTS_DIR:-/tmp/dewmop-mutants}
src=$scratch/src build=$scratch/build
jobs=$(nproc)
[ "$jobs" -le 2 ] || jobs=2
rm -rf "$src"
mkdir -p "$src"
# The tree as it stands: files not yet committed, without those deleted.
git -C "$root" ls-files -z -co --exclude-standard |
  (cd "$root" && while IFS= read -r -d '' f; do if [ -e "$f" ]; then printf '%s\0' "$f"; fi; done) |
  tar -C "$root" --null -T - -cf - | tar -C "$src" -xf -
# A run stopped with a fault applied leaves an object built from it, older
# than the file as copied now: the file is rebuilt.
if [ -f "$scratch/applied" ]; then
  touch -c "$src/$(cat "$scratch/applied")"
  rm "$scratch/applied"
fi
bash "$root/scripts/quiet.sh" cmake -S "$src" -B "$build" -DDEWMOP_WERROR=ON
bash "$root/scripts/quiet.sh" cmake --build "$build" -j"$jobs"
(cd "$build" && bash "$root/scripts/quiet.sh" ctest -j"$jobs" --timeout 60) || { echo "the suite fails without any fault"; exit 1; }

# Applies the fault on line $1 of the list to the scratch tree. The text to
# replace is a whole line of the file, so where " | " also occurs inside the
# code, the split that names such a line is taken.
apply() {
  LINE=$1 SRC=$src perl -e '
    my ($name, $file, $rest) = split / \| /, $ENV{LINE}, 3;
    exit 4 unless defined $rest;
    my $path = "$ENV{SRC}/$file";
    open my $in, "<", $path or exit 3;
    my $text = do { local $/; <$in> };
    close $in;
    my $at = 0;
    while (($at = index($rest, " | ", $at)) >= 0) {
      my ($old, $new) = (substr($rest, 0, $at), substr($rest, $at + 3));
      $at++;
      next unless $text =~ s/^\Q$old\E$/$new/m;
      open my $out, ">", $path or exit 3;
      print $out $text;
      exit 0;
    }
    exit 3;'
}

killed=0 survived=0 unbuilt=0 stale=0
while IFS= read -r line; do
  [[ -z "$line" || "$line" == \#* ]] && continue
  name=${line%% | *}
  if [ $# -gt 0 ]; then
    wanted=
    for pattern in "$@"; do [[ "$name" == *"$pattern"* ]] && wanted=1; done
    [ -n "$wanted" ] || continue
  fi
  file=$(echo "$line" | awk -F ' [|] ' '{ print $2 }')
  cp "$src/$file" "$scratch/original"
  if ! apply "$line"; then
    echo "STALE     $name ($file: line not found)"
    stale=$((stale + 1))
    continue
  fi
  echo "$file" >"$scratch/applied"
  if ! cmake --build "$build" -j"$jobs" >"$scratch/build.log" 2>&1; then
    echo "NO BUILD  $name"
    unbuilt=$((unbuilt + 1))
  elif (cd "$build" && ctest -j"$jobs" --timeout 60 --stop-on-failure >/dev/null 2>&1); then
    echo "SURVIVED  $name"
    survived=$((survived + 1))
  else
    echo "killed    $name"
    killed=$((killed + 1))
  fi
  cp "$scratch/original" "$src/$file"
  touch "$src/$file"
  rm "$scratch/applied"
done < "$root/scripts/mutants.txt"
cmake --build "$build" -j"$jobs" >/dev/null 2>&1 || true
total=$((killed + survived))
echo
echo "faults: $total, killed: $killed, survived: $survived (not built: $unbuilt, stale: $stale)"
[ "$total" -gt 0 ] && awk -v k="$killed" -v t="$total" 'BEGIN { printf "kill rate: %.1f%%\n", 100 * k / t }'
[ "$stale" -eq 0 ] && [ "$unbuilt" -eq 0 ]
