// CRC-32 against known answers, over the folding and the table paths alike.
#include "util/crc32.h"

#include <gtest/gtest.h>

// The data: the check string "123456789", then (7 * i) % 251 for each i. A
// seed of 0 starts the register at 0xFFFFFFFF; any other is loaded as it is.
TEST(Crc32, KnownAnswers) {
  std::string data = "123456789";
  for (uint32_t i = 0; i < 200000; ++i) data += static_cast<char>(7 * i % 251);
  const uint32_t cases[][4] = {  // length, start, seed, CRC
      {9, 0, 0, 0xCBF43926u},         {0, 0, 0, 0},                      {0, 0, 0x12345678u, 0xEDCBA987u},
      {1, 9, 0, 0xD202EF8Du},         {7, 2, 0, 0x4E337267u},            {64, 0, 0, 0xF92EDAF8u},
      {65, 1, 0x12345678u, 0xDB2C6E55u}, {127, 7, 0, 0xBBC5E4D2u},       {128, 15, 0xFFFFFFFFu, 0x6E257F22u},
      {1000, 3, 0x80000000u, 0x0E6BD116u}, {174848, 1, 0, 0x9950E5F7u}, {131087, 0, 0x1541u, 0x68CF35DDu},
  };
  BuildCrcTable();
  for (const auto& c : cases)
    EXPECT_EQ(c[3], crc32(reinterpret_cast<const uint8_t*>(data.data()), c[0], c[1], c[2])) << c[0];
}
