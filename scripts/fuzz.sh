#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (folder build-fuzz), makes their
# seeds and runs each for a short while; fails on any finding.
# Usage: fuzz.sh [SECONDS per target, default 25]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
seconds=${1:-25}
CC=clang CXX=clang++ bash scripts/quiet.sh cmake -S . -B build-fuzz -DDEWMOP_FUZZ=ON -DDEWMOP_TESTS=OFF
cmake --build build-fuzz -j"$(nproc)"
bash fuzz/make-seeds.sh build-fuzz/seeds
PARALLEL=$(nproc) bash fuzz/run-fuzzers.sh build-fuzz build-fuzz/seeds "$seconds"
