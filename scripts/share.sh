#!/usr/bin/env bash
# Prints the size of the product code and of the tests with their fixtures,
# in lines that are neither blank nor comments, and the tests' share.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { # files on stdin
  xargs -r cat | grep -v -E '^\s*$|^\s*//|^\s*#\s*$' | wc -l
}
product=$(find platform util images archive database audit run -name '*.cpp' -o -name '*.h' |
          grep -v '_test\.cpp$' | count)
tests=$( { find platform util images archive database audit run -name '*_test.cpp';
           find tests testkit -name '*.cpp' -o -name '*.h'; } | sort -u | count)
fuzz=$(find fuzz -name '*.cpp' -o -name '*.h' | count)
awk -v p="$product" -v t="$tests" -v f="$fuzz" 'BEGIN {
  printf "product code: %d lines\ntests and fixtures: %d lines (%.2fx the product code)\n", p, t, t / p
  printf "fuzz targets: %d lines\n", f }'
