// CImageCRT: the ROM data of each CHIP packet, and where a broken run ends.
#include "images/crt.h"

#include <gtest/gtest.h>

#include "testkit/image_writer.h"
#include "testkit/random.h"
#include "tests/fixtures/listing.h"

namespace {

Bytes Set(Bytes image, size_t at, uint8_t value) {
  image[at] = value;
  return image;
}

Bytes Resize(Bytes image, size_t size) {
  image.resize(size);
  return image;
}

// A packet is yielded only when it lies wholly inside the image and is
// followed by the image's end or another "CHIP".
TEST(CImageCRT, PacketsAndWhereTheRunEnds) {
  const Bytes a = SeededBytes(0x2000, 1), b = SeededBytes(0x2000, 2), small = SeededBytes(3, 3);
  const Bytes two = BuildCrt({a, b}), one = BuildCrt({a});
  Bytes cut_header = one;
  for (char c : std::string("CHIP\0\0\0\x10", 8)) cut_header.push_back(static_cast<uint8_t>(c));
  const struct {
    const char* what;
    Bytes image;
    std::vector<Bytes> files;
  } cases[] = {
      {"back to back", two, {a, b}},
      {"trailing padding costs the last packet", Resize(two, two.size() + 16), {a}},
      {"first signature not tested", Set(two, 64, 'X'), {a, b}},
      {"upper nibble of the low byte dropped", Set(one, 64 + 15, 0x10), {a}},
      {"size 0x00 0xF3", Set(BuildCrt({small}), 64 + 15, 0xF3), {small}},
      {"negative size", Set(Set(one, 64 + 15, 0x10), 64 + 14, 0x80), {}},
      {"last ROM cut", Resize(two, two.size() - 1), {a}},
      {"last header cut", cut_header, {a}},
      {"first ROM cut", Resize(one, one.size() - 1), {}},
      {"79 bytes", Resize(one, 79), {}},
      {"64 bytes", Resize(one, 64), {}},
      {"10 bytes", Resize(one, 10), {}},
      {"empty", {}, {}},
  };
  for (const auto& c : cases) {
    Bytes image = c.image;
    CImageCRT reader(image.data(), static_cast<uint32_t>(image.size()));
    EXPECT_EQ(c.files, ListFiles(reader)) << c.what;
    EXPECT_EQ(0u, reader.error_flags) << c.what;
  }
}

}  // namespace
