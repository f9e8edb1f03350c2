// The Amiga disk reader: plain images whole, gzip images inflated by content.
#include "images/adf.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Every file the reader yields, in order.
std::vector<std::vector<uint8_t>> Files(CImage& reader) {
  std::vector<std::vector<uint8_t>> files;
  uint32_t length = 0;
  while (const uint8_t* file = reader.next_file(&length)) files.emplace_back(file, file + length);
  return files;
}

std::vector<uint8_t> Disk(uint32_t size) {
  std::vector<uint8_t> disk(size);
  for (uint32_t i = 0; i < size; ++i) disk[i] = static_cast<uint8_t>(i * 7 + i / 512);
  return disk;
}

TEST(Adf, PlainImageOfAnySizeIsOneFileInThePlace) {
  for (uint32_t size : {901120u, 1000u, 2u, 1u}) {
    std::vector<uint8_t> disk = Disk(size);
    disk[0] = 0x1F;  // too short or not deflate: still plain
    if (size > 1) disk[1] = 0x8B;
    CImageADF reader(disk.data(), size);
    EXPECT_EQ(disk.data(), reader.image_data);
    EXPECT_EQ(nullptr, reader.inflated);
    EXPECT_EQ((std::vector<std::vector<uint8_t>>{disk}), Files(reader)) << size;
    EXPECT_EQ(0u, reader.error_flags);
  }
}

TEST(Adf, EmptyImageYieldsNothing) {
  uint8_t none = 0;
  CImageADF reader(&none, 0);
  EXPECT_TRUE(Files(reader).empty());
  EXPECT_EQ(0u, reader.error_flags);
}

}  // namespace
