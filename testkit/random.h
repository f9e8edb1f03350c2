// The one source of made-up bytes for tests, benchmarks and sample images.
#pragma once

#include <cstdint>

#include "testkit/bytes.h"

// splitmix64: small, fast, and the same on every platform, so a seed names
// the same bytes everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  // Uniform in [low, high].
  uint32_t Between(uint32_t low, uint32_t high);
  // Uniform in [0, 1).
  double Unit();

 private:
  uint64_t state_;
};

// `size` (at least 2) bytes shaped like a C64 program: the load address
// $0801, then a mix of fresh bytes (skewed towards common opcodes and
// zero-page values) and repeats of earlier runs. `fresh` is the share of fresh
// bytes, which sets how well they deflate.
Bytes ProgramBytes(Random& random, uint32_t size, double fresh);

// ProgramBytes without the load address, from a generator of their own.
Bytes SeededBytes(uint32_t size, uint64_t seed);
