// CImageD64 over built images with chosen damage, and over images from cc1541.
#include "images/d64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "testkit/disk_writer.h"
#include "testkit/random.h"
#include "tests/fixtures/listing.h"
#include "tests/fixtures/process.h"

namespace {

using Files = std::vector<Bytes>;

// Lists `image` and compares the files, the flags and standard error.
void ExpectListing(Bytes& image, const Files& files, uint32_t flags, const std::string& err,
                   const std::string& what) {
  MessageLog log;
  CImageD64 reader(image.data(), static_cast<uint32_t>(image.size()), log);
  EXPECT_EQ(files, ListFiles(reader)) << what;
  EXPECT_EQ(flags, reader.error_flags) << what;
  EXPECT_EQ(err, log.Text(Stream::kErr)) << what;
  EXPECT_EQ("", log.Text(Stream::kOut)) << what;
}

struct File {
  Bytes data;
  std::vector<TrackSector> chain;
};

// Writes `length` bytes into fresh sectors and points entry `index` at them.
File AddFile(D64Builder& disk, int index, uint8_t type, uint32_t length, uint8_t seed) {
  File file{SeededBytes(length, seed), disk.Allocate(std::max(1u, (length + 253) / 254))};
  disk.WriteChain(file.chain, file.data);
  disk.SetEntry(index, type, file.chain[0]);
  return file;
}

Bytes Add(D64Builder& disk, int index, uint8_t type, uint32_t length, uint8_t seed) {
  return AddFile(disk, index, type, length, seed).data;
}

// Bytes 2..255 of each sector, as a chain that passes through them gathers.
Bytes SectorData(D64Builder& disk, const std::vector<TrackSector>& sectors) {
  Bytes data;
  for (TrackSector at : sectors) data.insert(data.end(), disk.sector(at) + 2, disk.sector(at) + 256);
  return data;
}

// A chain through `sectors` loops back to its first sector.
void Loop(D64Builder& disk, const File& file, size_t from) {
  disk.Link(file.chain[from], file.chain[0].track, file.chain[0].sector);
}

const char kTooBig[] = "\nErr: File exceeds disk size\n";
const char kTruncated[] = "\nErr: Bad T/S link, file is truncated\n";

struct Case {
  const char* what;
  std::function<Files(D64Builder&)> build;  // returns the files to be listed
  uint32_t flags;
  std::string err;
};

const Case kCases[] = {
    {"full directory of every file type", [](D64Builder& d) {
       const uint8_t types[] = {0x81, 0x82, 0x83, 0x02, 0xC2};  // SEQ, PRG, USR, unclosed, locked
       Files files;
       for (int i = 0; i < 144; ++i) files.push_back(Add(d, i, types[i % 5], 2 + i * 5, i));
       return files;
     }, 0, ""},
    {"first entry taken whatever its type", [](D64Builder& d) {
       Bytes deleted = Add(d, 0, 0x00, 300, 1);
       Add(d, 1, 0x00, 300, 2);  // DEL
       Add(d, 2, 0x84, 300, 3);  // REL
       Bytes prg = Add(d, 3, 0x82, 300, 4);
       d.SetEntry(4, 0x82, {18, 1});  // would begin in the directory
       d.SetEntry(5, 0x82, {41, 0});
       return Files{deleted, prg, Add(d, 6, 0x83, 300, 5)};
     }, 0, ""},
    {"empty directory", [](D64Builder&) { return Files{}; }, IMGERR_NO_FILES, ""},
    // The entry under the cursor is measured when the directory runs out.
    {"lone REL entry", [](D64Builder& d) { return Files{Add(d, 7, 0x84, 300, 1)}; }, 0, ""},
    // When the first entry is unusable, the entry found for it is measured
    // twice, and its messages come twice.
    {"first usable entry loops", [](D64Builder& d) {
       Loop(d, AddFile(d, 1, 0x82, 300, 1), 1);
       return Files{};
     }, IMGERR_TOO_BIG | IMGERR_NO_FILES, std::string(kTooBig) + kTooBig},
    // Steps 0, 16, ..., 144 land on the one file.
    {"directory loop cut after 144 steps", [](D64Builder& d) {
       Bytes file = Add(d, 0, 0x82, 300, 1);
       d.SetEntry(8, 0x00, {0, 0});
       d.Link({18, 2}, 18, 1);
       return Files(10, file);
     }, IMGERR_DIR_CORRUPT, "Directory is corrupt, aborting.\n"},
    {"file chain loop ends the listing", [](D64Builder& d) {
       Bytes first = Add(d, 0, 0x82, 300, 1);
       Loop(d, AddFile(d, 1, 0x82, 600, 2), 2);
       Add(d, 2, 0x82, 300, 3);
       return Files{first};
     }, IMGERR_TOO_BIG, kTooBig},
    {"first file chain loops", [](D64Builder& d) {
       Loop(d, AddFile(d, 0, 0x82, 600, 2), 2);
       Add(d, 1, 0x82, 300, 3);
       return Files{};
     }, IMGERR_TOO_BIG | IMGERR_NO_FILES, kTooBig},
    // Measuring stops at the link; reading follows it like any other.
    {"chains into the BAM and the directory", [](D64Builder& d) {
       File bam = AddFile(d, 0, 0x82, 400, 1);
       File dir = AddFile(d, 1, 0x81, 300, 2);
       d.Link(bam.chain[1], 18, 0);
       d.Link(dir.chain[1], 18, 1);
       d.sector({18, 0})[2] = 0x41;  // the BAM's own bytes
       return Files{SectorData(d, {bam.chain[0], bam.chain[1], {18, 0}, {18, 1}}),
                    SectorData(d, {dir.chain[0], dir.chain[1], {18, 1}})};
     }, IMGERR_BAD_LINK, "\nErr: File links to BAM\n\nErr: File links to DIR\n"},
    {"link to track 41", [](D64Builder& d) {
       Bytes first = Add(d, 0, 0x81, 100, 1);
       d.Link(AddFile(d, 1, 0x82, 600, 2).chain[1], 41, 0);
       Add(d, 2, 0x82, 100, 3);
       return Files{first};
     }, IMGERR_BAD_LINK | IMGERR_TRUNCATED, kTruncated},
    {"link to sector 22 of track 19", [](D64Builder& d) {
       Bytes first = Add(d, 0, 0x81, 100, 1);
       d.Link(AddFile(d, 1, 0x82, 600, 2).chain[1], 19, 22);
       return Files{first};
     }, IMGERR_BAD_LINK | IMGERR_TRUNCATED, kTruncated},
    // The next entry is measured before the blank sector's link to track 75 fails.
    {"first sector begins 0x4B 0x01", [](D64Builder& d) {
       Bytes first = Add(d, 0, 0x82, 100, 1);
       d.Link(AddFile(d, 1, 0x82, 100, 2).chain[0], 0x4B, 0x01);
       d.Link(AddFile(d, 2, 0x82, 400, 3).chain[1], 18, 0);
       return Files{first};
     }, IMGERR_BAD_LINK | IMGERR_TRUNCATED, "\nErr: File links to BAM\n" + std::string(kTruncated)},
    {"sector 20 of track 18 is sector 1 of track 19", [](D64Builder& d) {
       File file = AddFile(d, 0, 0x82, 400, 1);
       d.WriteChain({file.chain[0], {18, 20}}, file.data);
       return Files{file.data};
     }, 0, ""},
    // Byte 1 is 0xFF for a full sector, 0x02 for one byte, which measures 0.
    {"one full sector", [](D64Builder& d) {
       Bytes full = Add(d, 0, 0x82, 254, 1);
       Add(d, 1, 0x82, 1, 2);
       Add(d, 2, 0x82, 100, 3);
       return Files{full};
     }, 0, ""},
    {"first file of one byte", [](D64Builder& d) {
       Add(d, 0, 0x82, 1, 2);
       Add(d, 1, 0x82, 100, 3);
       return Files{};
     }, IMGERR_NO_FILES, ""},
    {"chain through the image's very last sector", [](D64Builder& d) {
       File file = AddFile(d, 0, 0x82, 300, 1);
       d.WriteChain({file.chain[0], {35, 16}}, file.data);
       return Files{file.data};
     }, 0, ""},
    // Track 36 lies behind a 35-track image.
    {"link to track 36", [](D64Builder& d) {
       d.Link(AddFile(d, 0, 0x82, 300, 1).chain[0], 36, 0);
       return Files{};
     }, IMGERR_PAST_END | IMGERR_TRUNCATED, kTruncated},
};

TEST(CImageD64, BuiltImages) {
  for (const Case& c : kCases) {
    D64Builder disk;
    Files files = c.build(disk);
    ExpectListing(disk.bytes, files, c.flags, c.err, c.what);
  }
}

// Track 36 of a 35-track image lies inside its error table.
TEST(CImageD64, Track36InsideTheErrorTable) {
  D64Builder disk(D64Builder::kSize35WithErrors);
  File file = AddFile(disk, 0, 0x82, 300, 1);
  disk.Link(file.chain[0], 36, 0);
  Bytes table = SeededBytes(683, 9);
  table[0] = 0;  // the last sector, of 10 bytes
  table[1] = 11;
  std::memcpy(&disk.bytes[D64Builder::kSize35], table.data(), table.size());
  Bytes expected(file.data.begin(), file.data.begin() + 254);
  expected.insert(expected.end(), table.begin() + 2, table.begin() + 12);
  ExpectListing(disk.bytes, {expected}, 0, "", "error table");
}

TEST(CImageD64, TooShortForTheDirectory) {
  for (uint32_t size : {91903u, 256u, 0u}) {
    Bytes image(D64Builder(91904).bytes);
    image.resize(size);
    ExpectListing(image, {}, IMGERR_NO_FILES | IMGERR_PAST_END, "", std::to_string(size));
  }
}

TEST(CImageD64, ImagesFromCc1541ListTheFilesWrittenInOrder) {
  if (Shell("command -v cc1541 >/dev/null") != 0) GTEST_SKIP() << "cc1541 is not installed";
  const char* const types[3] = {"PRG", "SEQ", "USR"};
  const struct {
    std::string options;
    uint32_t size;
    Files files;
  } disks[] = {{"-n DEWMOP", 174848,
                {SeededBytes(2, 1), SeededBytes(254, 2), SeededBytes(255, 3), SeededBytes(9000, 4),
                 SeededBytes(40000, 5), SeededBytes(508, 6)}},
               {"-4 -r 36", 196608, {SeededBytes(3000, 7), SeededBytes(300, 8)}}};
  for (const auto& disk : disks) {
    TempDir dir;
    std::string command = "cc1541 -q " + disk.options;
    for (size_t i = 0; i < disk.files.size(); ++i) {
      std::string name = dir / ("f" + std::to_string(i));
      WriteFile(name, disk.files[i]);
      command += " -f F" + std::to_string(i) + " -T " + types[i % 3] + " -w " + name;
    }
    ASSERT_EQ(0, Shell(command + " " + (dir / "disk.d64") + " >/dev/null"));
    Bytes image = ReadFile(dir / "disk.d64");
    ASSERT_EQ(disk.size, image.size());
    ExpectListing(image, disk.files, 0, "", disk.options);
  }
}

}  // namespace
