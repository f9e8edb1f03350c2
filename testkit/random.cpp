// Program-shaped bytes from the seeded generator.
#include "testkit/random.h"

#include <algorithm>

Bytes ProgramBytes(Random& random, uint32_t size, double fresh) {
  static const uint8_t kCommon[] = {0xA9, 0x8D, 0x20, 0x4C, 0xAD, 0xA2, 0xA0, 0x60, 0xD0, 0xF0, 0xE8, 0xC8,
                                    0x85, 0xA5, 0x00, 0xFF, 0x10, 0x30, 0xBD, 0x9D, 0xC9, 0x18, 0x69, 0x38};
  Bytes out = {0x01, 0x08};
  out.reserve(size);
  uint32_t freshBytes = 0;
  while (out.size() < size) {
    uint32_t room = size - static_cast<uint32_t>(out.size());
    if (out.size() < 16 || freshBytes < fresh * out.size()) {
      uint32_t run = std::min(room, random.Between(1, 8));
      for (uint32_t i = 0; i < run; ++i) {
        uint64_t r = random.Next();
        out.push_back((r & 3) == 0 ? kCommon[(r >> 8) % sizeof kCommon] : static_cast<uint8_t>(r >> 16));
      }
      freshBytes += run;
    } else {
      uint32_t length = std::min(room, random.Between(3, 40));
      uint32_t reach = std::min<uint32_t>(static_cast<uint32_t>(out.size()), 16384);
      size_t from = out.size() - random.Between(1, reach);
      for (uint32_t i = 0; i < length; ++i) out.push_back(out[from + i]);
    }
  }
  return out;
}

Bytes SeededBytes(uint32_t size, uint64_t seed) {
  Random random(seed);
  const Bytes program = ProgramBytes(random, size + 2, 0.6);
  return Bytes(program.begin() + 2, program.end());
}
