// CImageRaw and CImageP00: one stored file each.
#include "images/p00.h"
#include "images/raw.h"

#include <gtest/gtest.h>

#include "testkit/image_writer.h"
#include "tests/fixtures/listing.h"

TEST(CImageRaw, WholeImageIsTheFile) {
  Bytes prg = {0x01, 0x08};
  CImageRaw reader(prg.data(), 2);
  uint32_t length = 99;
  EXPECT_EQ(prg.data(), reader.next_file(&length));
  EXPECT_EQ(2u, length);
  EXPECT_EQ(nullptr, reader.next_file(&length));
  EXPECT_EQ(0u, length);
  CImageRaw empty(prg.data(), 0);
  EXPECT_TRUE(ListFiles(empty).empty());
}

TEST(CImageP00, FileFollowsTheHeader) {
  Bytes image = BuildP00("NAME", {0xAB});
  CImageP00 reader(image.data(), 27);
  uint32_t length = 0;
  EXPECT_EQ(image.data() + 26, reader.next_file(&length));
  EXPECT_EQ(1u, length);
  EXPECT_EQ(nullptr, reader.next_file(&length));
  for (uint32_t size : {26u, 10u, 0u}) {
    CImageP00 shorter(image.data(), size);
    EXPECT_TRUE(ListFiles(shorter).empty()) << size;
  }
}
