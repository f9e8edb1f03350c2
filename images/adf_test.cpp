// The Amiga disk reader: plain images whole, gzip images inflated by content.
#include "images/adf.h"

#include <gtest/gtest.h>

#include <vector>

#include "images/factory.h"
#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/listing.h"
#include "tests/fixtures/process.h"

namespace {

NullSink quiet;

constexpr uint32_t kDiskSize = 901120;

Bytes Disk(uint32_t size) { return SeededBytes(size, 9); }

TEST(Adf, PlainImageOfAnySizeIsOneFileInThePlaceAnEmptyOneNone) {
  for (uint32_t size : {kDiskSize, 1000u, 2u, 1u}) {
    Bytes disk = Disk(size);
    disk[0] = 0x1F;  // too short or not deflate: still plain
    if (size > 1) disk[1] = 0x8B;
    CImageADF reader(disk.data(), size);
    EXPECT_EQ(disk.data(), reader.image_data);
    EXPECT_EQ(nullptr, reader.inflated);
    EXPECT_EQ(std::vector<Bytes>{disk}, ListFiles(reader)) << size;
    EXPECT_EQ(0u, reader.error_flags);
  }
  uint8_t none = 0;
  CImageADF empty(&none, 0);
  EXPECT_TRUE(ListFiles(empty).empty());
  EXPECT_EQ(0u, empty.error_flags);
}


// ADZ files written by gzip from one plain disk.
class Adz : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kPosixShell) GTEST_SKIP() << "gzip runs in a POSIX shell";
    WriteFile(dir / "disk.adf", disk);
    ASSERT_EQ(0, Shell("cd " + dir.path() + " && gzip -9 -c disk.adf > named.adz" +
                       " && gzip -c < disk.adf > nameless.adz"));
  }
  TempDir dir;
  const Bytes disk = Disk(kDiskSize);
};

TEST_F(Adz, InflatesToThePlainDiskWithOrWithoutAStoredName) {
  for (auto [name, named] : {std::pair{"named.adz", true}, {"nameless.adz", false}}) {
    Bytes adz = ReadFile(dir / name);
    ASSERT_EQ(named, (adz[3] & 0x08) != 0) << name << ": gzip's stored-name flag";
    // As ".ADF" (1) the same bytes are inflated just as well.
    for (ImageType type : {1, 2}) {
      std::unique_ptr<CImage> reader = CreateImageAmiga(type, adz.data(), adz.size(), quiet);
      ASSERT_NE(nullptr, reader);
      EXPECT_NE(adz.data(), reader->image_data);
      EXPECT_EQ(kDiskSize, reader->image_size);
      std::vector<Bytes> files = ListFiles(*reader);
      ASSERT_EQ(1u, files.size());
      EXPECT_EQ(Crc(disk), Crc(files[0])) << name;
      EXPECT_TRUE(ListFiles(*reader).empty()) << "one file only";
    }
  }
}

TEST_F(Adz, AlteredTrailerCrcYieldsNothing) {
  Bytes adz = ReadFile(dir / "nameless.adz");
  adz[adz.size() - 8] ^= 0x01;
  CImageADF reader(adz.data(), adz.size());
  EXPECT_EQ(nullptr, reader.image_data);
  EXPECT_EQ(adz.size(), reader.image_size);
  EXPECT_TRUE(ListFiles(reader).empty());
  EXPECT_EQ(0u, reader.error_flags);
}

TEST(AmigaFactory, OnlyDiskTypesHaveAReader) {
  Bytes disk = Disk(1000);
  for (ImageType type : {-1, 0, 3, 4}) {
    EXPECT_EQ(nullptr, CreateImageAmiga(type, disk.data(), disk.size(), quiet)) << type;
  }
  std::unique_ptr<CImage> reader = CreateImageAmiga(2, disk.data(), disk.size(), quiet);
  ASSERT_NE(nullptr, reader);
  EXPECT_EQ(std::vector<Bytes>{disk}, ListFiles(*reader)) << "ADZ that is not gzip";
}

}  // namespace
