// Identification by content, the reader each type gets, and every reader over
// bytes that make no sense.
#include "images/factory.h"

#include <gtest/gtest.h>

#include <tuple>

#include "images/crt.h"
#include "images/d64.h"
#include "images/p00.h"
#include "images/raw.h"
#include "images/t64.h"
#include "testkit/disk_writer.h"

namespace {

ImageType Identify(const std::string& start, uint32_t size = 100) {
  Bytes image(start.begin(), start.end());
  image.resize(std::max<size_t>(size, start.size()));
  return IdentifyImageC64(image.data(), size);
}

// A magic is compared only as far as the image reaches.
TEST(IdentifyImageC64, MagicsInOrder) {
  const std::tuple<std::string, uint32_t, ImageType> cases[] = {
      {"\x01\x08" "C64 CARTRIDGE", 100, 3}, {"C64 CARTRIDGE   ", 100, 5},
      {std::string("C64File\0NAME", 12), 100, 4}, {"C64-TAPE-RAW\x01", 100, 7},
      {"C64S tape image file", 100, 2}, {"C64 CARTRIDG", 100, 2}, {"C64 CARTRIDGE", 12, 2},
      {"C64File", 6, 2}, {"C64", 3, 2}, {"C6", 2, 0}, {"\x01", 1, 0}, {"", 0, 0}};
  for (const auto& [start, size, type] : cases) EXPECT_EQ(type, Identify(start, size)) << start;

  Bytes image = D64Builder().bytes;
  EXPECT_EQ(1, IdentifyImageC64(image.data(), 174848));
  EXPECT_EQ(1, IdentifyImageC64(image.data(), 91802));
  EXPECT_EQ(0, IdentifyImageC64(image.data(), 91801));
  image[0] = 0x01;
  image[1] = 0x08;
  EXPECT_EQ(3, IdentifyImageC64(image.data(), 174848));
  image[0] = 0;
  image[91393] = 0;
  EXPECT_EQ(0, IdentifyImageC64(image.data(), 174848));
}

// A D81 is known by its size and its header's link to 40/3, after every
// older test; a D71 is a D64 of one of its two exact sizes.
TEST(IdentifyImageC64, DisksOfTheOtherDrives) {
  Bytes d81(822400);
  d81[399360] = 40;
  d81[399361] = 3;
  for (uint32_t size : {819200u, 822400u}) EXPECT_EQ(10, IdentifyImageC64(d81.data(), size));
  EXPECT_EQ(0, IdentifyImageC64(d81.data(), 819201));
  d81[91392] = 18;
  d81[91393] = 1;
  EXPECT_EQ(1, IdentifyImageC64(d81.data(), 819200));
  Bytes d71 = D64Builder(351063).bytes;
  for (uint32_t size : {349696u, 351062u}) EXPECT_EQ(9, IdentifyImageC64(d71.data(), size));
  for (uint32_t size : {349695u, 349697u, 351063u}) EXPECT_EQ(1, IdentifyImageC64(d71.data(), size));
}

// Content is consulted only when the type is negative; types outside the
// table, and the archive type, have no reader.
TEST(CreateImageC64, NoReaderOutsideTheTable) {
  NullSink quiet;
  Bytes image = D64Builder().bytes;
  uint8_t* data = image.data();
  for (ImageType none : {0, 8, 11}) EXPECT_EQ(nullptr, CreateImageC64(none, data, 174848, quiet));
  EXPECT_NE(nullptr, CreateImageC64(-1, data, 174848, quiet));
  EXPECT_EQ(nullptr, CreateImageC64(-1, data, 1000, quiet));
}

}  // namespace
