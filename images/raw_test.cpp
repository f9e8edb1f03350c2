// CImageRaw and CImageP00: one stored file each.
#include "images/p00.h"
#include "images/raw.h"

#include <gtest/gtest.h>

#include <memory>

#include "testkit/image_writer.h"
#include "tests/fixtures/listing.h"

// A PRG or TAP is one file, itself; a P00 the bytes behind its 26-byte header.
TEST(CImageRaw, OneStoredFile) {
  Bytes prg = {0x01, 0x08, 0x60}, p00 = BuildP00("NAME", prg);
  const struct {
    bool p00;
    uint32_t size;
    std::vector<Bytes> files;
  } cases[] = {{false, 3, {prg}}, {false, 0, {}},  {true, 29, {prg}}, {true, 27, {{0x01}}},
               {true, 26, {}},    {true, 10, {}}, {true, 0, {}}};
  for (const auto& c : cases) {
    std::unique_ptr<CImage> reader;
    if (c.p00) reader = std::make_unique<CImageP00>(p00.data(), c.size);
    else reader = std::make_unique<CImageRaw>(prg.data(), c.size);
    EXPECT_EQ(c.files, ListFiles(*reader)) << c.p00 << " " << c.size;
  }
}
