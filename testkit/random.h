// The one source of made-up bytes for tests, benchmarks and sample images.
#pragma once

#include <cstdint>

#include "testkit/bytes.h"

// splitmix64: small, fast, and the same on every platform, so a seed names
// the same bytes everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [low, high].
  uint32_t Between(uint32_t low, uint32_t high) { return low + static_cast<uint32_t>(Next() % (high - low + 1)); }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

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
