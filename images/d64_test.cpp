// CImageD64 over built images with chosen damage, and over images from cc1541;
// D71 and D81 images from cc1541, whole and damaged.
#include "images/d64.h"

#include <gtest/gtest.h>

#include "images/factory.h"

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

// The 1571 and 1581 layouts, as the tests below damage their images.
struct Format {
  const char* extension;  // tells cc1541 the drive
  ImageType type;
  uint8_t last_track;
  uint8_t last_sector;  // the highest sector number a link may give
  TrackSector dir;      // the first directory sector
  uint32_t max_entries;  // directory steps before a walk counts as looping
  uint32_t (*offset)(TrackSector at);
};

uint32_t Offset1571(TrackSector at) {
  uint32_t sectors = at.sector;
  for (uint32_t track = 1; track < at.track; ++track) {
    sectors += SectorsOnTrack(track > 35 ? track - 35 : track);
  }
  return sectors * 256;
}

uint32_t Offset1581(TrackSector at) { return ((at.track - 1) * 40u + at.sector) * 256; }

const Format kD71 = {".d71", c64::kD71, 70, 21, {18, 1}, 144, Offset1571};
const Format kD81 = {".d81", c64::kD81, 80, 40, {40, 3}, 296, Offset1581};

// `files` written by cc1541 as PRG, SEQ and USR in turn, and each file's
// sector chain as the directory's first sector points to it.
struct CbmDisk {
  CbmDisk(const Format& format, const Files& files) : format(format) {
    TempDir dir;
    const char* const types[3] = {"PRG", "SEQ", "USR"};
    std::string command = "cc1541 -q";
    for (size_t i = 0; i < files.size(); ++i) {
      std::string name = dir / ("f" + std::to_string(i));
      WriteFile(name, files[i]);
      command += " -f F" + std::to_string(i) + " -T " + types[i % 3] + " -w " + name;
    }
    std::string path = dir / (std::string("disk") + format.extension);
    EXPECT_EQ(0, Shell(command + " " + path + " >/dev/null"));
    image = ReadFile(path);
    for (size_t i = 0; i < files.size() && i < 8; ++i) {
      std::vector<TrackSector> chain;
      for (TrackSector at{entry(i)[3], entry(i)[4]}; at.track != 0 && chain.size() < 4000;
           at = {sector(at)[0], sector(at)[1]}) {
        chain.push_back(at);
      }
      chains.push_back(chain);
    }
  }
  uint8_t* sector(TrackSector at) { return &image[format.offset(at)]; }
  uint8_t* entry(size_t index) { return sector(format.dir) + 32 * index; }
  void Link(TrackSector from, TrackSector to) {
    sector(from)[0] = to.track;
    sector(from)[1] = to.sector;
  }
  Bytes SectorData(const std::vector<TrackSector>& sectors) {
    Bytes data;
    for (TrackSector at : sectors) data.insert(data.end(), sector(at) + 2, sector(at) + 256);
    return data;
  }

  const Format& format;
  Bytes image;
  std::vector<std::vector<TrackSector>> chains;
};

void ExpectDiskListing(CbmDisk& disk, const Files& files, uint32_t flags, const std::string& err,
                       const std::string& what) {
  MessageLog log;
  std::unique_ptr<CImage> reader = CreateImageC64(disk.format.type, disk.image.data(),
                                                  static_cast<uint32_t>(disk.image.size()), log);
  ASSERT_NE(nullptr, reader) << what;
  EXPECT_EQ(files, ListFiles(*reader)) << what;
  EXPECT_EQ(flags, reader->error_flags) << what;
  EXPECT_EQ(err, log.Text(Stream::kErr)) << what;
}

bool HaveCc1541() { return Shell("command -v cc1541 >/dev/null") == 0; }

// A D71's first file fills side one and runs on to side two, where the
// others follow; a D81 holds more files than a 1541 directory can, and its
// first file passes through 18/0 and 18/1, which are no BAM there.
TEST(CImageD71AndD81, ImagesFromCc1541ListTheFilesWrittenInOrder) {
  if (!HaveCc1541()) GTEST_SKIP() << "cc1541 is not installed";
  Files d71 = {SeededBytes(200000, 1), SeededBytes(3000, 2), SeededBytes(254, 3), SeededBytes(9000, 4)};
  Files d81 = {SeededBytes(500000, 5)};
  for (uint32_t i = 1; i < 200; ++i) d81.push_back(SeededBytes(2 + i * 13, i));
  for (const auto& [format, files] : {std::pair{&kD71, d71}, std::pair{&kD81, d81}}) {
    CbmDisk disk(*format, files);
    ExpectDiskListing(disk, files, 0, "", format->extension);
  }
}

struct DiskCase {
  const char* what;
  const Format* only;  // nullptr: both layouts
  // Damages the disk of kDamageFiles; returns the files it then lists.
  std::function<Files(CbmDisk&, const Files&)> damage;
  uint32_t flags;
  std::string err;
};

const Files kDamageFiles = {SeededBytes(300, 1), SeededBytes(600, 2), SeededBytes(300, 3)};

// The second file's second sector links to the reserved sector `at`, from
// which `path` leads to a last sector of 254 bytes. Measuring stops at the
// link; reading follows it like any other.
Files LinkIntoReserved(CbmDisk& d, const Files& f, TrackSector at, std::vector<TrackSector> path) {
  d.Link(path.back(), {0, 0xFF});
  d.Link(d.chains[1][1], at);
  path.insert(path.begin(), {d.chains[1][0], d.chains[1][1]});
  return {f[0], d.SectorData(path), f[2]};
}

const DiskCase kDiskCases[] = {
    {"link past the last track", nullptr, [](CbmDisk& d, const Files& f) {
       d.Link(d.chains[1][1], {static_cast<uint8_t>(d.format.last_track + 1), 0});
       return Files{f[0]};
     }, IMGERR_BAD_LINK | IMGERR_TRUNCATED, kTruncated},
    {"link past the end of the image", nullptr, [](CbmDisk& d, const Files& f) {
       d.Link(d.chains[1][1], {d.format.last_track, d.format.last_sector});
       return Files{f[0]};
     }, IMGERR_PAST_END | IMGERR_TRUNCATED, kTruncated},
    {"a high sector number runs on into the following track", nullptr,
     [](CbmDisk& d, const Files& f) {
       TrackSector far = {static_cast<uint8_t>(d.format.last_track - 2), d.format.last_sector};
       uint32_t to = d.format.offset({far.track, 0}) + 256u * far.sector;
       std::memcpy(&d.image[to], d.sector(d.chains[0][1]), 256);
       d.Link(d.chains[0][0], far);
       return f;
     }, 0, ""},
    {"file chain loops", nullptr, [](CbmDisk& d, const Files& f) {
       d.Link(d.chains[1][2], d.chains[1][0]);
       return Files{f[0]};
     }, IMGERR_TOO_BIG, kTooBig},
    {"directory sector links to itself", nullptr, [](CbmDisk& d, const Files& f) {
       d.Link(d.format.dir, d.format.dir);
       Files files;
       for (uint32_t round = 0; round < d.format.max_entries / 8; ++round) {
         files.insert(files.end(), f.begin(), f.end());
       }
       files.push_back(f[0]);
       return files;
     }, IMGERR_DIR_CORRUPT, "Directory is corrupt, aborting.\n"},
    {"too short for the directory", nullptr, [](CbmDisk& d, const Files&) {
       d.image.resize(d.format.offset(d.format.dir) + 255);
       return Files{};
     }, IMGERR_NO_FILES | IMGERR_PAST_END, ""},
    {"link to side two's BAM", &kD71, [](CbmDisk& d, const Files& f) {
       return LinkIntoReserved(d, f, {53, 0}, {{53, 0}});
     }, IMGERR_BAD_LINK, "\nErr: File links to BAM\n"},
    {"link to the header", &kD81, [](CbmDisk& d, const Files& f) {
       return LinkIntoReserved(d, f, {40, 0}, {{40, 0}, {40, 3}});
     }, IMGERR_BAD_LINK, "\nErr: File links to BAM\n"},
    {"link to the first directory sector", &kD81, [](CbmDisk& d, const Files& f) {
       return LinkIntoReserved(d, f, {40, 3}, {{40, 3}});
     }, IMGERR_BAD_LINK, "\nErr: File links to DIR\n"},
    {"no file begins in side two's BAM", &kD71, [](CbmDisk& d, const Files& f) {
       d.entry(1)[3] = 53;
       d.entry(1)[4] = 0;
       return Files{f[0], f[2]};
     }, 0, ""},
    {"no file begins in the BAM", &kD81, [](CbmDisk& d, const Files& f) {
       d.entry(1)[3] = 40;
       d.entry(1)[4] = 2;
       return Files{f[0], f[2]};
     }, 0, ""},
    // Only a 1541 image comes out of the G64 conversion and its 0x4B 0x01 fill.
    {"a first sector linking to 75/1", &kD81, [](CbmDisk& d, const Files& f) {
       std::memcpy(d.sector({75, 1}), d.sector(d.chains[1][1]), 256);
       d.Link(d.chains[1][0], {75, 1});
       return f;
     }, 0, ""},
    {"a partition is no file", &kD81, [](CbmDisk& d, const Files& f) {
       d.entry(1)[2] = 0x85;
       return Files{f[0], f[2]};
     }, 0, ""},
};

TEST(CImageD71AndD81, DamagedImagesFromCc1541) {
  if (!HaveCc1541()) GTEST_SKIP() << "cc1541 is not installed";
  for (const Format* format : {&kD71, &kD81}) {
    for (const DiskCase& c : kDiskCases) {
      if (c.only != nullptr && c.only != format) continue;
      CbmDisk disk(*format, kDamageFiles);
      Files files = c.damage(disk, kDamageFiles);
      ExpectDiskListing(disk, files, c.flags, c.err, format->extension + std::string(": ") + c.what);
    }
  }
}

}  // namespace
