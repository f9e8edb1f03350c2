// CImageCRT: the ROM data of each CHIP packet, and where a broken run ends.
#include "images/crt.h"

#include <gtest/gtest.h>

#include "tests/fixtures/disk_images.h"

namespace {

std::vector<Bytes> List(Bytes& image) {
  CImageCRT reader(image.data(), static_cast<uint32_t>(image.size()));
  std::vector<Bytes> files = ListFiles(reader);
  EXPECT_EQ(0u, reader.error_flags);
  return files;
}

const Bytes kRomA = Pattern(0x2000, 1);
const Bytes kRomB = Pattern(0x2000, 2);

TEST(CImageCRT, PacketsBackToBack) {
  Bytes image = BuildCrt({kRomA, kRomB});
  CImageCRT reader(image.data(), static_cast<uint32_t>(image.size()));
  uint32_t length = 0;
  EXPECT_EQ(image.data() + 80, reader.next_file(&length));
  EXPECT_EQ(8192u, length);
  EXPECT_EQ(image.data() + 8288, reader.next_file(&length));
  EXPECT_EQ(8192u, length);
  EXPECT_EQ(nullptr, reader.next_file(&length));
}

TEST(CImageCRT, TrailingPaddingCostsTheLastPacket) {
  Bytes image = BuildCrt({kRomA, kRomB});
  image.resize(image.size() + 16);
  EXPECT_EQ(std::vector<Bytes>{kRomA}, List(image));
}

TEST(CImageCRT, FirstSignatureIsNotTested) {
  Bytes image = BuildCrt({kRomA, kRomB});
  image[64] = 'X';
  EXPECT_EQ((std::vector<Bytes>{kRomA, kRomB}), List(image));
}

TEST(CImageCRT, SizeIsSignedHighByteAndLowNibble) {
  Bytes image = BuildCrt({kRomA});
  image[64 + 15] = 0x10;  // 0x20 0x10 reads as 0x2000
  EXPECT_EQ(std::vector<Bytes>{kRomA}, List(image));

  Bytes small = BuildCrt({Pattern(3, 3)});
  small[64 + 15] = 0xF3;  // 0x00 0xF3 reads as 3
  EXPECT_EQ(std::vector<Bytes>{Pattern(3, 3)}, List(small));

  image[64 + 14] = 0x80;  // negative: larger than any image
  EXPECT_TRUE(List(image).empty());
}

// A packet that does not lie wholly inside the image is never yielded.
TEST(CImageCRT, PacketsRunningPastTheEnd) {
  Bytes cut_rom = BuildCrt({kRomA, kRomB});
  cut_rom.pop_back();
  EXPECT_EQ(std::vector<Bytes>{kRomA}, List(cut_rom));

  Bytes cut_header = BuildCrt({kRomA});
  for (char c : std::string("CHIP\0\0\0\x10", 8)) cut_header.push_back(static_cast<uint8_t>(c));
  EXPECT_EQ(std::vector<Bytes>{kRomA}, List(cut_header));

  Bytes cut_first = BuildCrt({kRomA});
  cut_first.pop_back();
  EXPECT_TRUE(List(cut_first).empty());

  for (size_t size : {79u, 64u, 10u, 0u}) {
    Bytes tiny = BuildCrt({{}});
    tiny.resize(size);
    EXPECT_TRUE(List(tiny).empty()) << size;
  }
}

}  // namespace
