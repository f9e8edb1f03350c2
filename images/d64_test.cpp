// CImageD64, CImageD71 and CImageD81 over images written by cc1541, whole and
// with chosen damage.
#include "images/d64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "images/factory.h"
#include "testkit/random.h"
#include "tests/fixtures/listing.h"
#include "tests/fixtures/process.h"

namespace {

using Files = std::vector<Bytes>;
struct TS { int track, sector; };

// A drive's layout: the highest track and sector numbers a link may give, the
// first directory sector, a BAM sector, the image's last sector, and the
// directory steps before a walk counts as looping. The extension tells cc1541
// the drive.
struct Format { const char* extension; ImageType type; uint32_t (*sectors)(uint32_t track);
                int last_track, last_sector; TS dir, bam, last; uint32_t max_entries; };
const Format kD64 = {".d64", c64::kD64, SectorsOnTrack, 40, 21, {18, 1}, {18, 0}, {35, 16}, 144};
const Format kD71 = {".d71", c64::kD71, [](uint32_t t) { return SectorsOnTrack(t > 35 ? t - 35 : t); }, 70, 21,
                     {18, 1}, {53, 0}, {70, 16}, 144};
const Format kD81 = {".d81", c64::kD81, [](uint32_t) { return 40u; }, 80, 40, {40, 3}, {40, 2}, {80, 39}, 296};
const Files kFiles = {SeededBytes(300, 1), SeededBytes(600, 2), SeededBytes(300, 3)};

// An image that cc1541 wrote from `files`, typed PRG, SEQ and USR in turn, and
// the sector chains of the first three.
struct Disk {
  Disk(const Format& format, const Files& files, const std::string& options = "") : f(format) {
    TempDir dir;
    std::string command = "cc1541 -q " + options;
    for (size_t i = 0; i < files.size(); ++i) {
      WriteFile(dir / std::to_string(i), files[i]);
      command += " -f F" + std::to_string(i) + " -T " + std::string("PRGSEQUSR", i % 3 * 3, 3) + " -w " + (dir / std::to_string(i));
    }
    EXPECT_EQ(0, Shell(command + " " + (dir / "disk") + f.extension + " >/dev/null"));
    image = ReadFile(dir / "disk" + f.extension);
    for (int i = 0; i < 3; ++i) {
      for (TS s{entry(i)[3], entry(i)[4]}; s.track != 0 && c[i].size() < 9; s = {at(s)[0], at(s)[1]}) c[i].push_back(s);
    }
  }
  uint8_t* at(TS s) {
    for (int t = 1; t < s.track; ++t) s.sector += static_cast<int>(f.sectors(t));
    return &image[256 * s.sector];
  }
  uint8_t* entry(int i) { return at(f.dir) + 32 * i; }
  void Start(int i, TS s) { entry(i)[3] = static_cast<uint8_t>(s.track), entry(i)[4] = static_cast<uint8_t>(s.sector); }
  void Link(TS from, TS to) { at(from)[0] = static_cast<uint8_t>(to.track), at(from)[1] = static_cast<uint8_t>(to.sector); }
  // Bytes 2..255 of each sector, as a chain that passes through them gathers.
  Bytes Data(const std::vector<TS>& path) {
    Bytes data;
    for (TS s : path) data.insert(data.end(), at(s) + 2, at(s) + 256);
    return data;
  }
  // The second file's second sector links to `to`.
  Files Cut(TS to) { return Link(c[1][1], to), Files{kFiles[0]}; }
  // The first file's second sector moves to `to`.
  Files Move(TS to) { return std::memcpy(at(to), at(c[0][1]), 256), Link(c[0][0], to), kFiles; }
  // The second file's chain ends in the reserved sector `to`: the link is
  // reported while measuring and followed while reading.
  Files Reserved(TS to) {
    return Link(to, {0, 0xFF}), Link(c[1][1], to), Files{kFiles[0], Data({c[1][0], c[1][1], to}), kFiles[2]};
  }

  const Format& f;
  Bytes image;
  std::vector<TS> c[3];
};

void Expect(Disk& d, const Files& files, uint32_t flags, const std::string& err, const std::string& what) {
  MessageLog log;
  auto reader = CreateImageC64(d.f.type, d.image.data(), static_cast<uint32_t>(d.image.size()), log);
  ASSERT_NE(nullptr, reader) << what;
  EXPECT_EQ(files, ListFiles(*reader)) << what;
  EXPECT_EQ(flags, reader->error_flags) << what;
  EXPECT_EQ(err, log.Text(Stream::kErr)) << what;
}

const std::string kTooBig = "\nErr: File exceeds disk size\n", kToBam = "\nErr: File links to BAM\n";
const std::string kTruncated = "\nErr: Bad T/S link, file is truncated\n";
constexpr uint32_t kCut = IMGERR_BAD_LINK | IMGERR_TRUNCATED;

// Each damage returns the files then listed; a case with `only` is for that layout alone.
const struct Case { const char* what; const Format* only; std::function<Files(Disk&)> damage; uint32_t flags;
                    std::string err; } kCases[] = {
    {"link past the last track", nullptr, [](Disk& d) { return d.Cut({d.f.last_track + 1, 0}); }, kCut, kTruncated},
    {"link behind the last sector", nullptr, [](Disk& d) { return d.Cut({d.f.last.track, d.f.last.sector + 1}); },
     IMGERR_PAST_END | IMGERR_TRUNCATED, kTruncated},
    {"chain through the last sector", nullptr, [](Disk& d) { return d.Move(d.f.last); }, 0, ""},
    {"the highest sector runs on into the next track", nullptr, [](Disk& d) { return d.Move({1, d.f.last_sector}); }, 0, ""},
    {"chain into the BAM", nullptr, [](Disk& d) { return d.Reserved(d.f.bam); }, IMGERR_BAD_LINK, kToBam},
    {"chain into the directory", nullptr, [](Disk& d) { return d.Reserved(d.f.dir); }, IMGERR_BAD_LINK,
     "\nErr: File links to DIR\n"},
    {"no file begins in the directory or the BAM", nullptr, [](Disk& d) {
       return d.Start(1, d.f.dir), d.Start(2, d.f.bam), Files{kFiles[0]}; }, 0, ""},
    // The first entry is taken whatever its type; a later one only as SEQ, PRG or USR.
    {"types: DEL first, then REL and locked USR", nullptr, [](Disk& d) {
       return d.entry(0)[2] = 0x00, d.entry(1)[2] = 0x84, d.entry(2)[2] = 0xC3, Files{kFiles[0], kFiles[2]}; }, 0, ""},
    {"a chain that loops", nullptr, [](Disk& d) { return d.Link(d.c[1][2], d.c[1][0]), Files{kFiles[0]}; },
     IMGERR_TOO_BIG, kTooBig},
    // When the first entry is unusable, the entry found for it is measured twice.
    {"an unusable first entry, then a loop", nullptr, [](Disk& d) {
       return d.Start(0, {0, 0}), d.Link(d.c[1][2], d.c[1][0]), Files{}; },
     IMGERR_TOO_BIG | IMGERR_NO_FILES, kTooBig + kTooBig},
    {"a directory sector that links to itself", nullptr, [](Disk& d) {
       Files files;
       for (uint32_t i = 0; i < d.f.max_entries / 8 * 3 + 1; ++i) files.push_back(kFiles[i % 3]);
       return d.Link(d.f.dir, d.f.dir), files; }, IMGERR_DIR_CORRUPT, "Directory is corrupt, aborting.\n"},
    // The G64 conversion fills a sector it cannot find with 0x4B 0x01...: the
    // next entry is measured before the link to track 75 fails.
    {"a first sector that begins 0x4B 0x01", &kD64, [](Disk& d) {
       return d.Link(d.c[1][0], {0x4B, 0x01}), d.Link(d.c[2][0], d.f.bam), Files{kFiles[0]}; }, kCut, kToBam + kTruncated},
};

// Whole: a full 1541 directory; a 40-track 1541 disk whose files lie on
// tracks 36 to 40; a D71 whose first file runs on to side two; a D81 holding
// more files than a 1541 directory can. Then the damage above, on each layout.
TEST(CImageD64, ImagesFromCc1541) {
  if (!kPosixShell) GTEST_SKIP() << "cc1541 runs in a POSIX shell";
  Files full = {SeededBytes(2, 1), SeededBytes(254, 2), SeededBytes(255, 3), SeededBytes(508, 4),
                SeededBytes(9000, 5), SeededBytes(40000, 6)}, wide = {SeededBytes(500000, 5)};
  for (uint32_t i = 7; i <= 144; ++i) full.push_back(SeededBytes(i, i));
  for (uint32_t i = 1; i < 200; ++i) wide.push_back(SeededBytes(2 + i * 13, i));
  const struct { const Format& format; std::string options; Files files; } disks[] = {
      {kD64, "", full}, {kD64, "-4 -r 36", {SeededBytes(3000, 7), SeededBytes(300, 8)}},
      {kD71, "", {SeededBytes(200000, 1), SeededBytes(3000, 2), SeededBytes(254, 3)}}, {kD81, "", wide}};
  for (const auto& disk : disks) {
    Disk d(disk.format, disk.files, disk.options);
    Expect(d, disk.files, 0, "", disk.format.extension + disk.options);
  }
  for (const Format* format : {&kD64, &kD71, &kD81}) {
    const Disk whole(*format, kFiles);
    for (const Case& c : kCases) {
      if (c.only != nullptr && c.only != format) continue;
      Disk d = whole;
      Files files = c.damage(d);
      Expect(d, files, c.flags, c.err, format->extension + std::string(": ") + c.what);
    }
  }
}

}  // namespace
