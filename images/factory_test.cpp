// The extension tables, identification by content, the reader each type gets
// and what the readers without a directory list: PRG, TAP, P00, CRT, ADF, ADZ.
#include "images/factory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "testkit/image_writer.h"
#include "testkit/random.h"
#include "tests/fixtures/listing.h"

namespace {

// A type is the position of an extension in its profile's table, so the order
// is what the DAT files were written with.
TEST(Factory, ExtensionTablesInOrder) {
  std::string c64, amiga;
  for (int i = 0; *kC64Extensions[i] != '\0'; ++i) c64 += kC64Extensions[i];
  for (int i = 0; *kAmigaExtensions[i] != '\0'; ++i) amiga += kAmigaExtensions[i];
  EXPECT_EQ("????.D64.T64.PRG.P00.CRT.G64.TAP.ZIP.D71.D81", c64);
  EXPECT_EQ("????.ADF.ADZ.ZIP", amiga);
}

// A magic is compared only as far as the image reaches. A D64 is known by the
// BAM's link to 18/1, a D71 is a D64 of one of two sizes, and a D81 by its
// size and its header's link to 40/3, after every older test.
TEST(Factory, IdentifyByContent) {
  enum Links { kNone, kBam, kHeader, kBoth };
  const struct { std::string start; uint32_t size; Links links; ImageType type; } cases[] = {
      {"\x01\x08" "C64 CARTRIDGE", 100, kBam, 3}, {"C64 CARTRIDGE   ", 100, kNone, 5}, {"C64 CARTRIDGE", 12, kNone, 2},
      {std::string("C64File\0NAME", 12), 100, kNone, 4}, {"C64File", 6, kNone, 2}, {"C64-TAPE-RAW\x01", 100, kNone, 7},
      {"C64 CARTRIDG", 100, kNone, 2}, {"C64", 3, kNone, 2}, {"C6", 2, kNone, 0}, {"", 174848, kBam, 1},
      {"", 91802, kBam, 1}, {"", 91801, kBam, 0}, {"", 174848, kNone, 0}, {"", 349696, kBam, 9}, {"", 351062, kBam, 9},
      {"", 349695, kBam, 1}, {"", 351063, kBam, 1}, {"", 819200, kHeader, 10}, {"", 822400, kHeader, 10},
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

// "AMIGA", as gzip writes it.
const Bytes kGzip = {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0x02, 0x03, 0x73, 0xF4, 0xF5,
                     0x74, 0x77, 0x04, 0x00, 0x8F, 0x18, 0x67, 0x0B, 0x05, 0, 0, 0};

Bytes Set(Bytes image, size_t at, uint8_t value) { return image[at] = value, image; }
Bytes Cut(Bytes image, size_t size) { return image.resize(size), image; }

// A PRG or TAP is one file, itself; a P00 what follows its 26-byte header; a
// CRT yields a CHIP packet only when it lies wholly inside the image and is
// followed by the image's end or another "CHIP"; an Amiga disk is one file,
// inflated when its content is gzip (too short, or not deflate, it is not).
TEST(Factory, ReadersWithoutADirectory) {
  const Bytes a = SeededBytes(0x2000, 1), b = SeededBytes(0x2000, 2);
  const Bytes prg = {0x01, 0x08, 0x60}, two = BuildCrt({a, b}), one = BuildCrt({a});
  const Bytes adf = Set(Set(Set(a, 0, 0x1F), 1, 0x8B), 2, 0x09);
  const struct { const char* what; ImageFactory factory; ImageType type; Bytes image; std::vector<Bytes> files; } cases[] = {
      {"PRG", CreateImageC64, c64::kPrg, prg, {prg}},
      {"TAP", CreateImageC64, c64::kTap, a, {a}},
      {"P00", CreateImageC64, c64::kP00, BuildP00("NAME", prg), {prg}},
      {"P00 of its header alone", CreateImageC64, c64::kP00, Cut(BuildP00("NAME", prg), 26), {}},
      {"CRT back to back", CreateImageC64, c64::kCrt, two, {a, b}},
      {"trailing padding costs the last packet", CreateImageC64, c64::kCrt, Cut(two, two.size() + 16), {a}},
      {"first signature not tested", CreateImageC64, c64::kCrt, Set(two, 64, 'X'), {a, b}},
      {"upper nibble of the low byte dropped", CreateImageC64, c64::kCrt, Set(one, 64 + 15, 0x10), {a}},
      {"negative size", CreateImageC64, c64::kCrt, Set(Set(one, 64 + 15, 0x10), 64 + 14, 0x80), {}},
      {"last ROM cut", CreateImageC64, c64::kCrt, Cut(two, two.size() - 1), {a}},
      {"last header cut", CreateImageC64, c64::kCrt, Cut(two, one.size() + 8), {a}},
      {"first ROM cut", CreateImageC64, c64::kCrt, Cut(one, one.size() - 1), {}},
      {"ADF", CreateImageAmiga, amiga::kAdf, adf, {adf}},
      {"ADZ that is no gzip", CreateImageAmiga, amiga::kAdz, adf, {adf}},
      {"ADF of two bytes", CreateImageAmiga, amiga::kAdf, Cut(Set(adf, 2, 0x08), 2), {Cut(adf, 2)}},
      {"empty ADF", CreateImageAmiga, amiga::kAdf, {}, {}},
      {"ADZ", CreateImageAmiga, amiga::kAdz, kGzip, {{'A', 'M', 'I', 'G', 'A'}}},
      {"ADZ whose CRC does not match", CreateImageAmiga, amiga::kAdz, Set(kGzip, 17, 0x8E), {}},
  };
  NullSink quiet;
  for (const auto& c : cases) {
    Bytes image = c.image;
    auto reader = c.factory(c.type, image.data(), static_cast<uint32_t>(image.size()), quiet);
    ASSERT_NE(nullptr, reader) << c.what;
    EXPECT_EQ(c.files, ListFiles(*reader)) << c.what;
    EXPECT_EQ(0u, reader->error_flags) << c.what;
  }
  Bytes d64(174848);
  for (ImageType none : {-1, 0, 8, 11}) EXPECT_EQ(nullptr, CreateImageC64(none, d64.data(), 174848, quiet));
  for (ImageType none : {-1, 0, 3}) EXPECT_EQ(nullptr, CreateImageAmiga(none, d64.data(), 174848, quiet));
}

}  // namespace
