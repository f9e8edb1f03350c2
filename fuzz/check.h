// What every fuzz target asserts: a failed check aborts with its reason, and
// every byte a reader hands out is read here, in instrumented code, so that
// AddressSanitizer sees a range that runs outside its buffer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                             \
  do {                                                                    \
    if (!(condition)) {                                                   \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__,    \
              #condition);                                                \
      abort();                                                            \
    }                                                                     \
  } while (0)

// CRC-32 itself may run in zlib, which carries no instrumentation.
inline uint32_t ReadEveryByte(const uint8_t* bytes, uint32_t length) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < length; ++i) sum = sum * 31 + bytes[i];
  return sum;
}

// True when [p, p + length) lies inside [begin, begin + size).
inline bool Within(const uint8_t* p, uint32_t length, const uint8_t* begin,
                   uint64_t size) {
  auto at = reinterpret_cast<uintptr_t>(p);
  auto start = reinterpret_cast<uintptr_t>(begin);
  return at >= start && at - start <= size && length <= size - (at - start);
}

// Far more files than any image of a few MiB can hold: a reader that keeps
// yielding past this is looping.
constexpr uint32_t kMaxFilesPerImage = 1u << 20;
