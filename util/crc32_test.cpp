// CRC-32 against known answers and against a byte-at-a-time reference.
#include "util/crc32.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <random>

namespace {

// The reference: one table step per byte, the register loaded with the seed.
uint32_t ReferenceCrc(const uint8_t* data, size_t length, uint32_t seed) {
  uint32_t table[256];
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    table[n] = c;
  }
  uint32_t reg = seed == 0 ? 0xFFFFFFFFu : seed;
  for (size_t i = 0; i < length; ++i) reg = (reg >> 8) ^ table[(reg ^ data[i]) & 0xFF];
  return reg ^ 0xFFFFFFFFu;
}

TEST(Crc32, KnownAnswers) {
  BuildCrcTable();
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(0xCBF43926u, crc32(digits, 9, 0, 0));
  const uint8_t zero = 0;
  EXPECT_EQ(0xD202EF8Du, crc32(&zero, 1, 0, 0));
  EXPECT_EQ(0u, crc32(digits, 0, 0, 0));
  EXPECT_EQ(~0x12345678u, crc32(digits, 0, 0, 0x12345678u));
}

TEST(Crc32, StartOffsetSkipsLeadingBytes) {
  const uint8_t data[] = {0xAA, 0xBB, '1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(0xCBF43926u, crc32(data, 9, 2, 0));
}

TEST(Crc32, AgreesWithReferenceForEveryLengthAndSeed) {
  std::mt19937 random(1541);
  std::vector<uint8_t> data(4096);
  for (auto& b : data) b = static_cast<uint8_t>(random());
  for (uint32_t length = 0; length <= data.size(); ++length) {
    uint32_t seed = (length % 3 == 0) ? 0 : static_cast<uint32_t>(random());
    ASSERT_EQ(ReferenceCrc(data.data(), length, seed),
              crc32(data.data(), length, 0, seed))
        << "length " << length << " seed " << seed;
  }
}

TEST(Crc32, AgreesWithZlibOnLargeUnalignedBuffers) {
  std::mt19937 random(64);
  std::vector<uint8_t> data((1 << 20) + 64);
  for (auto& b : data) b = static_cast<uint8_t>(random());
  for (uint32_t offset : {0u, 1u, 7u, 15u}) {
    for (uint32_t length : {64u, 65u, 127u, 128u, 1000u, 174848u, 1u << 20}) {
      uint32_t zlib = static_cast<uint32_t>(crc32_z(0, data.data() + offset, length));
      ASSERT_EQ(zlib, crc32(data.data(), length, offset, 0)) << offset << " " << length;
    }
  }
}

}  // namespace
