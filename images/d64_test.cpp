// CImageD64 over built images with chosen damage, and over images from cc1541.
#include "images/d64.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/fixtures/disk_images.h"
#include "tests/fixtures/process.h"

namespace {

struct Listing {
  std::vector<Bytes> files;
  uint32_t flags;
  std::string err;
};

Listing ListD64(Bytes& image) {
  testing::internal::CaptureStderr();
  CImageD64 reader(image.data(), static_cast<uint32_t>(image.size()));
  Listing listing{ListFiles(reader), reader.error_flags, ""};
  listing.err = testing::internal::GetCapturedStderr();
  return listing;
}

struct File {
  Bytes data;
  std::vector<TrackSector> chain;
};

// Writes `length` bytes into fresh sectors and points entry `index` at them.
File AddFile(D64Builder& disk, int index, uint8_t type, uint32_t length, uint8_t seed) {
  File file{Pattern(length, seed), disk.Allocate(std::max(1u, (length + 253) / 254))};
  disk.WriteChain(file.chain, file.data);
  disk.SetEntry(index, type, file.chain[0]);
  return file;
}

// Bytes 2..255 of each sector, as a chain that passes through them gathers.
Bytes SectorData(D64Builder& disk, const std::vector<TrackSector>& sectors) {
  Bytes data;
  for (TrackSector at : sectors) data.insert(data.end(), disk.sector(at) + 2, disk.sector(at) + 256);
  return data;
}

TEST(CImageD64, FullDirectoryListsEveryFileInOrder) {
  D64Builder disk;
  const uint8_t types[] = {0x81, 0x82, 0x83, 0x02, 0xC2};  // SEQ, PRG, USR, unclosed, locked
  std::vector<Bytes> expected;
  for (int i = 0; i < 144; ++i) {
    expected.push_back(AddFile(disk, i, types[i % 5], 2 + i * 5, static_cast<uint8_t>(i)).data);
  }
  Listing listing = ListD64(disk.bytes);
  EXPECT_EQ(expected, listing.files);
  EXPECT_EQ(0u, listing.flags);
  EXPECT_EQ("", listing.err);
}

TEST(CImageD64, FirstEntryIsTakenWhateverItsType) {
  D64Builder disk;
  Bytes deleted = AddFile(disk, 0, 0x00, 300, 1).data;
  AddFile(disk, 1, 0x00, 300, 2);  // DEL
  AddFile(disk, 2, 0x84, 300, 3);  // REL
  Bytes prg = AddFile(disk, 3, 0x82, 300, 4).data;
  disk.SetEntry(4, 0x82, {18, 1});  // would begin in the directory
  disk.SetEntry(5, 0x82, {41, 0});
  Bytes usr = AddFile(disk, 6, 0x83, 300, 5).data;
  Listing listing = ListD64(disk.bytes);
  EXPECT_EQ((std::vector<Bytes>{deleted, prg, usr}), listing.files);
  EXPECT_EQ(0u, listing.flags);
}

TEST(CImageD64, EntryUnderTheCursorIsMeasuredWhenTheDirectoryRunsOut) {
  D64Builder disk;
  Listing empty = ListD64(disk.bytes);
  EXPECT_TRUE(empty.files.empty());
  EXPECT_EQ(IMGERR_NO_FILES, empty.flags);

  Bytes rel = AddFile(disk, 7, 0x84, 300, 1).data;
  Listing listing = ListD64(disk.bytes);
  EXPECT_EQ(std::vector<Bytes>{rel}, listing.files);
  EXPECT_EQ(0u, listing.flags);
}

// When the first entry is unusable, the entry found for it is measured twice,
// and its messages come twice.
TEST(CImageD64, FirstUsableEntryFoundLaterIsMeasuredTwice) {
  D64Builder disk;
  File loop = AddFile(disk, 1, 0x82, 300, 1);
  disk.Link(loop.chain[1], loop.chain[0].track, loop.chain[0].sector);
  Listing listing = ListD64(disk.bytes);
  EXPECT_TRUE(listing.files.empty());
  EXPECT_EQ(IMGERR_TOO_BIG | IMGERR_NO_FILES, listing.flags);
  EXPECT_EQ("\nErr: File exceeds disk size\n\nErr: File exceeds disk size\n", listing.err);
}

TEST(CImageD64, DirectoryThatLoopsIsCutAfter144Steps) {
  D64Builder disk;
  Bytes file = AddFile(disk, 0, 0x82, 300, 1).data;
  disk.SetEntry(8, 0x00, {0, 0});
  disk.Link({18, 2}, 18, 1);
  Listing listing = ListD64(disk.bytes);
  // Steps 0, 16, ..., 144 land on the one file.
  EXPECT_EQ(std::vector<Bytes>(10, file), listing.files);
  EXPECT_EQ(IMGERR_DIR_CORRUPT, listing.flags);
  EXPECT_EQ("Directory is corrupt, aborting.\n", listing.err);
}

TEST(CImageD64, FileChainThatLoopsEndsTheListing) {
  D64Builder disk;
  Bytes first = AddFile(disk, 0, 0x82, 300, 1).data;
  File loop = AddFile(disk, 1, 0x82, 600, 2);
  disk.Link(loop.chain[2], loop.chain[0].track, loop.chain[0].sector);
  AddFile(disk, 2, 0x82, 300, 3);
  Listing listing = ListD64(disk.bytes);
  EXPECT_EQ(std::vector<Bytes>{first}, listing.files);
  EXPECT_EQ(IMGERR_TOO_BIG, listing.flags);
  EXPECT_EQ("\nErr: File exceeds disk size\n", listing.err);

  disk.SetEntry(0, 0x82, loop.chain[0]);
  listing = ListD64(disk.bytes);
  EXPECT_TRUE(listing.files.empty());
  EXPECT_EQ(IMGERR_TOO_BIG | IMGERR_NO_FILES, listing.flags);
  EXPECT_EQ("\nErr: File exceeds disk size\n", listing.err);
}

// Measuring stops at the link; reading follows it like any other.
TEST(CImageD64, ChainsIntoTheBamAndTheDirectory) {
  D64Builder disk;
  File bam = AddFile(disk, 0, 0x82, 400, 1);
  File dir = AddFile(disk, 1, 0x81, 300, 2);
  disk.Link(bam.chain[1], 18, 0);
  disk.Link(dir.chain[1], 18, 1);
  disk.sector({18, 0})[2] = 0x41;  // the BAM's own bytes
  Listing listing = ListD64(disk.bytes);
  Bytes through_bam = SectorData(disk, {bam.chain[0], bam.chain[1], {18, 0}, {18, 1}});
  Bytes through_dir = SectorData(disk, {dir.chain[0], dir.chain[1], {18, 1}});
  EXPECT_EQ((std::vector<Bytes>{through_bam, through_dir}), listing.files);
  EXPECT_EQ(IMGERR_BAD_LINK, listing.flags);
  EXPECT_EQ("\nErr: File links to BAM\n\nErr: File links to DIR\n", listing.err);
}

TEST(CImageD64, BadLinkTruncatesTheFile) {
  for (TrackSector bad : {TrackSector{41, 0}, TrackSector{19, 22}}) {
    D64Builder disk;
    Bytes first = AddFile(disk, 0, 0x81, 100, 1).data;
    File broken = AddFile(disk, 1, 0x82, 600, 2);
    disk.Link(broken.chain[1], bad.track, bad.sector);
    AddFile(disk, 2, 0x82, 100, 3);
    Listing listing = ListD64(disk.bytes);
    EXPECT_EQ(std::vector<Bytes>{first}, listing.files);
    EXPECT_EQ(IMGERR_BAD_LINK | IMGERR_TRUNCATED, listing.flags);
    EXPECT_EQ("\nErr: Bad T/S link, file is truncated\n", listing.err);
  }
}

// The next entry is measured before the blank sector's link to track 75 fails.
TEST(CImageD64, BlankFirstSectorEndsTheListing) {
  D64Builder disk;
  Bytes first = AddFile(disk, 0, 0x82, 100, 1).data;
  File blank = AddFile(disk, 1, 0x82, 100, 2);
  disk.sector(blank.chain[0])[0] = 0x4B;
  disk.sector(blank.chain[0])[1] = 0x01;
  File bam = AddFile(disk, 2, 0x82, 400, 3);
  disk.Link(bam.chain[1], 18, 0);
  Listing listing = ListD64(disk.bytes);
  EXPECT_EQ(std::vector<Bytes>{first}, listing.files);
  EXPECT_EQ(IMGERR_BAD_LINK | IMGERR_TRUNCATED, listing.flags);
  EXPECT_EQ("\nErr: File links to BAM\n\nErr: Bad T/S link, file is truncated\n", listing.err);
}

TEST(CImageD64, SectorAboveTheTracksCountAddressesTheNextTrack) {
  D64Builder disk;
  File file = AddFile(disk, 0, 0x82, 400, 1);
  disk.WriteChain({file.chain[0], {18, 20}}, file.data);
  ASSERT_EQ(disk.sector({19, 1}), disk.sector({18, 20}));
  Listing listing = ListD64(disk.bytes);
  EXPECT_EQ(std::vector<Bytes>{file.data}, listing.files);
  EXPECT_EQ(0u, listing.flags);
}

TEST(CImageD64, OneSectorFilesByTheirLastByte) {
  D64Builder disk;
  Bytes full = AddFile(disk, 0, 0x82, 254, 1).data;     // byte 1 is 0xFF
  File one_byte = AddFile(disk, 1, 0x82, 1, 2);          // byte 1 is 0x02: measured as 0
  AddFile(disk, 2, 0x82, 100, 3);
  Listing listing = ListD64(disk.bytes);
  EXPECT_EQ(std::vector<Bytes>{full}, listing.files);
  EXPECT_EQ(0u, listing.flags);
  EXPECT_EQ("", listing.err);

  disk.SetEntry(0, 0x82, one_byte.chain[0]);
  listing = ListD64(disk.bytes);
  EXPECT_TRUE(listing.files.empty());
  EXPECT_EQ(IMGERR_NO_FILES, listing.flags);
}

// Track 36 lies behind a 35-track image but inside its error table.
TEST(CImageD64, Track36InsideTheErrorTable) {
  for (uint32_t size : {D64Builder::kSize35, D64Builder::kSize35WithErrors}) {
    D64Builder disk(size);
    File file = AddFile(disk, 0, 0x82, 300, 1);
    disk.Link(file.chain[0], 36, 0);
    if (size == D64Builder::kSize35WithErrors) {
      Bytes table = Pattern(683, 9);
      table[0] = 0;
      table[1] = 11;
      std::memcpy(&disk.bytes[D64Builder::kSize35], table.data(), table.size());
    }
    Listing listing = ListD64(disk.bytes);
    if (size == D64Builder::kSize35) {
      EXPECT_TRUE(listing.files.empty());
      EXPECT_EQ(IMGERR_PAST_END | IMGERR_TRUNCATED, listing.flags);
      EXPECT_EQ("\nErr: Bad T/S link, file is truncated\n", listing.err);
    } else {
      Bytes expected(file.data.begin(), file.data.begin() + 254);
      expected.insert(expected.end(), &disk.bytes[D64Builder::kSize35 + 2],
                      &disk.bytes[D64Builder::kSize35 + 12]);
      EXPECT_EQ(std::vector<Bytes>{expected}, listing.files);
      EXPECT_EQ(0u, listing.flags);
    }
  }
}

TEST(CImageD64, TooShortForTheDirectory) {
  for (uint32_t size : {91903u, 256u, 0u}) {
    Bytes image(D64Builder(91904).bytes);
    image.resize(size);
    Listing listing = ListD64(image);
    EXPECT_TRUE(listing.files.empty());
    EXPECT_EQ(IMGERR_NO_FILES | IMGERR_PAST_END, listing.flags) << size;
  }
}

class Cc1541 : public testing::Test {
 protected:
  void SetUp() override {
    if (Shell("command -v cc1541 >/dev/null") != 0) GTEST_SKIP() << "cc1541 is not installed";
  }
  // Writes `files` with cc1541 `options`, then lists the image.
  Listing Write(const std::vector<Bytes>& files, const std::string& options) {
    std::string command = "cc1541 -q " + options;
    for (size_t i = 0; i < files.size(); ++i) {
      std::string name = dir_ / ("f" + std::to_string(i));
      WriteFile(name, files[i]);
      command += " -f F" + std::to_string(i) + " -T " + kTypes[i % 3] + " -w " + name;
    }
    EXPECT_EQ(0, Shell(command + " " + (dir_ / "disk.d64") + " >/dev/null"));
    image_ = ReadFile(dir_ / "disk.d64");
    return ListD64(image_);
  }

  const char* const kTypes[3] = {"PRG", "SEQ", "USR"};
  TempDir dir_;
  Bytes image_;
};

TEST_F(Cc1541, ListsTheFilesWrittenInOrder) {
  std::vector<Bytes> files = {Pattern(2, 1), Pattern(254, 2), Pattern(255, 3), Pattern(9000, 4),
                              Pattern(40000, 5), Pattern(508, 6)};
  Listing listing = Write(files, "-n DEWMOP");
  ASSERT_EQ(174848u, image_.size());
  EXPECT_EQ(files, listing.files);
  EXPECT_EQ(0u, listing.flags);
}

TEST_F(Cc1541, FortyTrackImage) {
  std::vector<Bytes> files = {Pattern(3000, 7), Pattern(300, 8)};
  Listing listing = Write(files, "-4 -r 36");
  ASSERT_EQ(196608u, image_.size());
  EXPECT_EQ(files, listing.files);
  EXPECT_EQ(0u, listing.flags);
}

}  // namespace
