// The extension tables, identification by content, and the types that get no
// reader.
#include "images/factory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "testkit/bytes.h"

namespace {

std::string Joined(const char* const* table) {
  std::string joined;
  for (; **table != '\0'; ++table) joined += std::string(*table) + " ";
  return joined;
}

// A type is the position of an extension in its profile's table, so the order
// is what the DAT files were written with.
TEST(Factory, ExtensionTablesInOrder) {
  EXPECT_EQ("???? .D64 .T64 .PRG .P00 .CRT .G64 .TAP .ZIP .D71 .D81 ", Joined(kC64Extensions));
  EXPECT_EQ("???? .ADF .ADZ .ZIP ", Joined(kAmigaExtensions));
}

// A magic is compared only as far as the image reaches. A D64 is known by the
// BAM's link to 18/1, a D71 is a D64 of one of two sizes, and a D81 by its
// size and its header's link to 40/3, after every older test.
TEST(Factory, IdentifyByContent) {
  enum Links { kNone, kBam, kHeader, kBoth };
  const struct {
    std::string start;
    uint32_t size;
    Links links;
    ImageType type;
  } cases[] = {
      {"\x01\x08" "C64 CARTRIDGE", 100, kBam, 3}, {"C64 CARTRIDGE   ", 100, kNone, 5},
      {std::string("C64File\0NAME", 12), 100, kNone, 4}, {"C64-TAPE-RAW\x01", 100, kNone, 7},
      {"C64S tape image file", 100, kNone, 2}, {"C64 CARTRIDG", 100, kNone, 2},
      {"C64 CARTRIDGE", 12, kNone, 2}, {"C64File", 6, kNone, 2}, {"C64", 3, kNone, 2},
      {"C6", 2, kNone, 0}, {"\x01", 1, kNone, 0}, {"", 0, kNone, 0},
      {"", 174848, kBam, 1}, {"", 91802, kBam, 1}, {"", 91801, kBam, 0}, {"", 174848, kNone, 0},
      {"", 349696, kBam, 9}, {"", 351062, kBam, 9}, {"", 349695, kBam, 1}, {"", 349697, kBam, 1},
      {"", 351063, kBam, 1}, {"", 819200, kHeader, 10}, {"", 822400, kHeader, 10},
      {"", 819201, kHeader, 0}, {"", 819200, kBoth, 1}, {"", 819200, kNone, 0},
  };
  for (const auto& c : cases) {
    Bytes image(822400);
    std::memcpy(image.data(), c.start.data(), c.start.size());
    if (c.links & kBam) image[91392] = 18, image[91393] = 1;
    if (c.links & kHeader) image[399360] = 40, image[399361] = 3;
    EXPECT_EQ(c.type, IdentifyImageC64(image.data(), c.size)) << c.start << " " << c.size;
  }
}

// Content is consulted only when the type is negative.
TEST(Factory, NoReaderOutsideTheTables) {
  NullSink quiet;
  Bytes d64(174848);
  d64[91392] = 18, d64[91393] = 1;
  for (ImageType none : {0, 8, 11}) EXPECT_EQ(nullptr, CreateImageC64(none, d64.data(), 174848, quiet));
  EXPECT_NE(nullptr, CreateImageC64(-1, d64.data(), 174848, quiet));
  EXPECT_EQ(nullptr, CreateImageC64(-1, d64.data(), 1000, quiet));
  for (ImageType none : {-1, 0, 3, 4}) EXPECT_EQ(nullptr, CreateImageAmiga(none, d64.data(), 1000, quiet));
}

}  // namespace
