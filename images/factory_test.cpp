// Identification by content, the reader each type gets, and every reader over
// bytes that make no sense.
#include "images/factory.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "images/crt.h"
#include "images/d64.h"
#include "images/p00.h"
#include "images/raw.h"
#include "images/t64.h"
#include "tests/fixtures/disk_images.h"

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

template <typename Reader>
bool Is(const std::unique_ptr<CImage>& reader) {
  return dynamic_cast<Reader*>(reader.get()) != nullptr;
}

// Content is consulted only when the type is negative.
TEST(CreateImageC64, ReaderByType) {
  Bytes image = D64Builder().bytes;
  uint8_t* data = image.data();
  EXPECT_TRUE(Is<CImageD64>(CreateImageC64(1, data, 174848)));
  EXPECT_TRUE(Is<CImageT64>(CreateImageC64(2, data, 174848)));
  EXPECT_TRUE(Is<CImageRaw>(CreateImageC64(3, data, 174848)));
  EXPECT_TRUE(Is<CImageP00>(CreateImageC64(4, data, 174848)));
  EXPECT_TRUE(Is<CImageCRT>(CreateImageC64(5, data, 174848)));
  EXPECT_TRUE(Is<CImageRaw>(CreateImageC64(7, data, 174848)));
  for (ImageType none : {0, 8, 9}) EXPECT_EQ(nullptr, CreateImageC64(none, data, 174848));
  EXPECT_TRUE(Is<CImageD64>(CreateImageC64(-1, data, 174848)));
  EXPECT_EQ(nullptr, CreateImageC64(-1, data, 1000));
  Bytes cartridge = BuildCrt({Pattern(0x2000, 1)});
  EXPECT_TRUE(Is<CImageCRT>(CreateImageC64(-1, cartridge.data(), cartridge.size())));
}

// Whatever the bytes, a reader yields only bytes inside the image (or inside
// the D64 reader's own buffer of the image's size) and comes to an end.
TEST(CreateImageC64, EveryReaderIsSafeOnDamagedImages) {
  std::mt19937 random(64);
  const std::vector<Bytes> sound = {D64Builder().bytes, BuildT64(4000, 30, {{0x0801, 1024, "A"}}),
                                    BuildCrt({Pattern(0x2000, 1), Pattern(0x2000, 2)}),
                                    BuildP00(Pattern(100, 1))};
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  for (int round = 0; round < 400; ++round) {
    Bytes image = sound[round % sound.size()];
    image.resize(random() % (image.size() + 1));
    uint32_t size = static_cast<uint32_t>(image.size());
    for (int n = 0; size > 0 && n < 40; ++n) image[random() % size] = static_cast<uint8_t>(random());
    if (size > 91392 + 512) {  // damage the directory and the first file's chain
      for (int n = 0; n < 40; ++n) image[91392 + random() % 512] = static_cast<uint8_t>(random() % 44);
    }
    for (ImageType type = 1; type <= 7; ++type) {
      Bytes copy = image;
      std::unique_ptr<CImage> reader = CreateImageC64(type, copy.data(), size);
      if (!reader) continue;
      uint32_t length = 0;
      for (int files = 0; const uint8_t* file = reader->next_file(&length); ++files) {
        ASSERT_LT(files, 1000);
        ASSERT_LE(length, size);
        if (type != 1) {
          ASSERT_GE(file, copy.data());
          ASSERT_LE(file + length, copy.data() + size);
        }
      }
    }
  }
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
}

}  // namespace
