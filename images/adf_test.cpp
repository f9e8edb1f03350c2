// The Amiga disk reader: plain images whole, gzip images inflated by content.
#include "images/adf.h"

#include <gtest/gtest.h>

#include "images/factory.h"
#include "testkit/random.h"
#include "tests/fixtures/listing.h"
#include "tests/fixtures/process.h"

namespace {

const Bytes kDisk = SeededBytes(901120, 9);

// Too short, or not deflate: still plain, whatever the size; empty, nothing.
TEST(Adf, PlainImageOfAnySizeIsOneFile) {
  for (uint32_t size : {901120u, 1000u, 2u, 1u, 0u}) {
    Bytes disk = kDisk;
    disk[0] = 0x1F;
    disk[1] = 0x8B;
    disk[2] = size > 2 ? 0x09 : 0x08;
    const std::vector<Bytes> files = {Bytes(disk.begin(), disk.begin() + size)};
    CImageADF reader(disk.data(), size);
    EXPECT_TRUE((size ? files : std::vector<Bytes>{}) == ListFiles(reader)) << size;
    EXPECT_EQ(0u, reader.error_flags);
  }
}

// ADZ files written by gzip, with a stored name or without, are inflated as
// ".ADZ" and as ".ADF" alike; one whose trailer CRC does not match yields
// nothing, and an ".ADZ" that is no gzip is plain.
TEST(Adf, GzipImagesInflateByContent) {
  if (!kPosixShell) GTEST_SKIP() << "gzip runs in a POSIX shell";
  TempDir dir;
  WriteFile(dir / "disk.adf", kDisk);
  ASSERT_EQ(0, Shell("cd " + dir.path() + " && gzip -9 -c disk.adf > named.adz && gzip -c < disk.adf > nameless.adz"));
  Bytes broken = ReadFile(dir / "nameless.adz");
  broken[broken.size() - 8] ^= 0x01;
  const struct {
    Bytes image;
    std::vector<Bytes> files;
  } cases[] = {{ReadFile(dir / "named.adz"), {kDisk}}, {ReadFile(dir / "nameless.adz"), {kDisk}},
               {broken, {}}, {kDisk, {kDisk}}};
  for (const auto& c : cases) {
    for (ImageType type : {amiga::kAdf, amiga::kAdz}) {
      Bytes image = c.image;
      NullSink quiet;
      std::unique_ptr<CImage> reader = CreateImageAmiga(type, image.data(), static_cast<uint32_t>(image.size()), quiet);
      ASSERT_NE(nullptr, reader);
      EXPECT_TRUE(c.files == ListFiles(*reader)) << type << " " << image.size();
      EXPECT_EQ(0u, reader->error_flags);
    }
  }
}

}  // namespace
