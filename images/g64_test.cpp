// G64 conversion: GCR groups, sector search, faults, layouts, bounds, and
// images written by cc1541.
#include "images/g64.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "images/factory.h"
#include "testkit/disk_writer.h"
#include "testkit/random.h"
#include "tests/fixtures/listing.h"
#include "tests/fixtures/process.h"

namespace {

NullSink quiet;

constexpr uint32_t kD64Size = 174848;
constexpr uint32_t kWithTable = 175531;
constexpr uint32_t kTrack1 = 684 + 2;  // first track byte of track 1
// Within a track built by the fixture, sector s starts 362 * s bytes in: a
// 5-byte sync, 10 header bytes, 9 gap bytes, a sync, and the data block.
constexpr uint32_t kHeaderAt = 5;
constexpr uint32_t kDataAt = 29;

// The converted image, or an empty vector when the conversion failed. The G64
// is copied into a block of exactly its size, so that a read past its end is
// seen by the address sanitizer.
std::vector<uint8_t> Convert(const std::vector<uint8_t>& g64,
                             uint32_t capacity = kWithTable) {
  auto exact = std::make_unique<uint8_t[]>(g64.size());
  std::copy(g64.begin(), g64.end(), exact.get());
  std::vector<uint8_t> out(capacity);
  out.resize(ConvertG64ToD64(exact.get(), g64.size(), out.data(), capacity));
  return out;
}

std::vector<uint8_t> Sector(const std::vector<uint8_t>& image, uint32_t track,
                            uint32_t sector) {
  auto start = image.begin() + SectorIndex(track, sector) * 256;
  return {start, start + 256};
}

std::vector<uint8_t> Head(const std::vector<uint8_t>& image, uint32_t size) {
  return {image.begin(), image.begin() + std::min<size_t>(size, image.size())};
}

TEST(GcrGroup, DecodesKnownCodesAndEveryByte) {
  const uint8_t header[5] = {0x52, 0x56, 0xA5, 0x29, 0x4B};
  uint8_t out[4] = {};
  EXPECT_EQ(1, DecodeGcrGroup(header, out));
  EXPECT_EQ((std::vector<uint8_t>{0x08, 0x10, 0x00, 0x01}),
            std::vector<uint8_t>(out, out + 4));
  for (int value = 0; value < 256; ++value) {
    const uint8_t in[4] = {static_cast<uint8_t>(value), 0xA5, static_cast<uint8_t>(~value), 0x3C};
    uint8_t gcr[5];
    EncodeGcrGroup(in, gcr);
    ASSERT_EQ(1, DecodeGcrGroup(gcr, out));
    ASSERT_EQ(0, std::memcmp(in, out, 4)) << value;
  }
  // An invalid code keeps the bytes from it on.
  const uint8_t in[4] = {0x12, 0x34, 0x56, 0x78};
  uint8_t gcr[5];
  EncodeGcrGroup(in, gcr);
  gcr[2] &= 0xF0;  // bits 20 to 24, the third byte's first code: 00000
  gcr[3] &= 0x7F;
  std::fill_n(out, 4, 0xEE);
  EXPECT_EQ(-1, DecodeGcrGroup(gcr, out));
  EXPECT_EQ((std::vector<uint8_t>{0x12, 0x34, 0xEE, 0xEE}),
            std::vector<uint8_t>(out, out + 4));
}

// Tracks beyond 35 play no part; the table is followed when it holds whole
// records, the fixed positions read otherwise. A sector placed across the end
// of a track decodes whole: its sync (3), its header (8) or its data (200).
TEST(G64, SoundImagesConvertToTheD64) {
  const std::vector<uint8_t> d64 = SeededBytes(kD64Size, 1);
  const G64Layout layouts[] = {{}, {.tracks = 42}, {.reversed = true}, {.brokenTable = true},
                               {.rotate = 3}, {.rotate = 8}, {.rotate = 200},
                               {.rotate = 3, .brokenTable = true}, {.rotate = 200, .brokenTable = true}};
  for (const G64Layout& layout : layouts) {
    EXPECT_EQ(d64, Convert(BuildG64(d64, layout))) << layout.tracks << " " << layout.rotate;
  }
}

// A missing sector reads 0x4B and 255 bytes of 0x01 (status 0), a bad data
// checksum keeps its bytes (status 5), a header with the wrong track byte is
// not found; every other sector is sound (status 1).
TEST(G64, FaultsAreFilledAndTabled) {
  const std::vector<uint8_t> d64 = SeededBytes(kD64Size, 2);
  const std::vector<uint8_t> out = Convert(BuildG64(d64, {.faults = {{G64Fault::kMissing, 1, 0},
                                                                     {G64Fault::kBadChecksum, 17, 20},
                                                                     {G64Fault::kWrongTrack, 35, 0, 36}}}));
  ASSERT_EQ(kWithTable, out.size());
  std::vector<uint8_t> fill(256, 0x01);
  fill[0] = 0x4B;
  EXPECT_EQ(fill, Sector(out, 1, 0));
  EXPECT_EQ(fill, Sector(out, 35, 0));
  EXPECT_TRUE(std::equal(d64.begin() + 256, d64.begin() + SectorIndex(35, 0) * 256, out.begin() + 256));
  EXPECT_EQ(0, out[kD64Size]);
  EXPECT_EQ(5, out[kD64Size + SectorIndex(17, 20)]);
  EXPECT_EQ(0, out[kD64Size + SectorIndex(35, 0)]);
  EXPECT_EQ(680, std::count(out.begin() + kD64Size, out.end(), 1));
}

TEST(G64, FixedPositionsWithoutSignatureOrWholeRecord) {
  const std::vector<uint8_t> d64 = SeededBytes(kD64Size, 4);
  std::vector<uint8_t> reversed = BuildG64(d64, {.reversed = true});
  // Without the signature the records are read at the fixed positions, where
  // only track 18 lies in its own place.
  reversed[0] = 'X';
  const std::vector<uint8_t> fixed = Convert(reversed);
  ASSERT_EQ(kWithTable, fixed.size());
  EXPECT_EQ(19, std::count(fixed.begin() + kD64Size, fixed.end(), 1));
  EXPECT_EQ(Sector(d64, 18, 18), Sector(fixed, 18, 18));

  // A record whose length word runs past the file's end is not followed.
  std::vector<uint8_t> longRecord = BuildG64(d64, {.reversed = true});
  const uint32_t lastRecord = 684 + 34 * 7930;  // track 1, reversed
  longRecord[lastRecord] = 0xFC;                // 7932 track bytes
  const std::vector<uint8_t> out = Convert(longRecord);
  EXPECT_EQ(0, out[kD64Size]);
  EXPECT_EQ(Sector(d64, 2, 0), Sector(out, 2, 0));
}

TEST(G64, InvalidHeaderCodeNeverMatchesAndBufferStartsCleared) {
  const std::vector<uint8_t> d64 = SeededBytes(kD64Size, 6);
  std::vector<uint8_t> g64 = BuildG64(d64);
  std::fill_n(g64.begin() + kTrack1 + kDataAt, 5, 0x00);  // t1 s0: group 0
  std::fill_n(g64.begin() + kTrack1 + 362 + kDataAt + 5, 5, 0x00);  // t1 s1: group 1
  g64[kTrack1 + 2 * 362 + kHeaderAt + 7] = 0x00;  // t1 s2: the header's ID group
  const std::vector<uint8_t> out = Convert(g64);
  ASSERT_EQ(kWithTable, out.size());
  // Block bytes 0-3 of the first sector were never written: data bytes 0-2
  // are zero. Sector 1's bytes 4-7 are still sector 0's.
  EXPECT_EQ(0, out[0] | out[1] | out[2]);
  EXPECT_TRUE(std::equal(d64.begin() + 3, d64.begin() + 256, out.begin() + 3));
  EXPECT_TRUE(std::equal(d64.begin() + 3, d64.begin() + 7, out.begin() + 256 + 3));
  EXPECT_EQ(5, out[kD64Size]);
  EXPECT_EQ(5, out[kD64Size + 1]);
  EXPECT_EQ(0, out[kD64Size + 2]);
}

TEST(G64, ShortFilesAndSmallCapacityReadNothingOutside) {
  const std::vector<uint8_t> d64 = SeededBytes(kD64Size, 7);
  const std::vector<uint8_t> g64 = BuildG64(d64);
  // Cut inside sector 3 of track 20: the sectors before it survive.
  const uint32_t cut = 684 + 19 * 7930 + 2 + 3 * 362 + 100;
  const std::vector<uint8_t> out = Convert(Head(g64, cut));
  ASSERT_EQ(kWithTable, out.size());
  EXPECT_TRUE(std::equal(d64.begin(), d64.begin() + SectorIndex(20, 3) * 256, out.begin()));
  EXPECT_EQ(SectorIndex(20, 3), std::count(out.begin() + kD64Size, out.end(), 1));
  // The output must fit whole, error table included.
  EXPECT_TRUE(Convert(g64, kD64Size - 1).empty());
  EXPECT_EQ(kD64Size, Convert(g64, kD64Size).size());
  EXPECT_TRUE(Convert(Head(g64, cut), kWithTable - 1).empty());
  for (uint32_t size : {0u, 1u, 11u, 12u, 100u, 684u, 686u, 700u, 7930u}) {
    EXPECT_EQ(kWithTable, Convert(Head(g64, size)).size()) << size;
  }
}

TEST(G64, AnyBytesAreSafe) {
  Random random(64);
  const std::vector<uint8_t> base = BuildG64(SeededBytes(kD64Size, 8), {.tracks = 2});
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> g64 = Head(base, random.Next() % base.size());
    for (int i = 0; i < 40 && !g64.empty(); ++i) {
      g64[random.Next() % std::min<size_t>(g64.size(), round % 2 ? 700 : g64.size())] =
          static_cast<uint8_t>(random.Next());
    }
    Convert(g64);
  }
  // Tiny records from the table: empty, one sync byte, one other byte; and a
  // track of nothing but sync.
  std::vector<uint8_t> odd = Head(base, 684 + 7930);
  odd[9] = 70;
  const uint8_t tiny[] = {0, 0, 1, 0, 0xFF, 1, 0, 0x55};
  std::copy(tiny, tiny + 8, odd.begin() + 640);
  for (uint32_t t = 2; t <= 35; ++t) {
    const uint32_t offset = t == 2 ? 640 : t == 3 ? 642 : t == 4 ? 645 : 0x10000 + t;
    std::memcpy(&odd[12 + 8 * (t - 1)], &offset, 4);
  }
  std::fill(odd.begin() + 686, odd.end(), 0xFF);
  EXPECT_EQ(kWithTable, Convert(odd).size());
}

// Images written by cc1541: its own layout (572-byte header area, 7694-byte
// records of varying length) and its own encoder.
class Cc1541G64 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kPosixShell) GTEST_SKIP() << "cc1541 runs in a POSIX shell";
    big = SeededBytes(40000, 1541);
    small.assign(big.begin(), big.begin() + 700);
    WriteFile(dir / "big.prg", big);
    WriteFile(dir / "small.prg", small);
    ASSERT_EQ(0, Shell("cd " + dir.path() +
                       " && cc1541 -q -n GAME -w big.prg -w small.prg -g game.g64 game.d64 >/dev/null"));
    d64 = ReadFile(dir / "game.d64");
    g64 = ReadFile(dir / "game.g64");
    ASSERT_EQ(kD64Size, d64.size());
  }
  TempDir dir;
  std::vector<uint8_t> big, small, d64, g64;
};

TEST_F(Cc1541G64, ConvertsToTheD64ItWroteBesideItFromAnyTrackStart) {
  // Each track's bytes turned to begin inside its first sector's sync (2),
  // header (9) or data block (120), or inside the second sector (500).
  for (uint32_t turn : {0u, 2u, 9u, 120u, 500u}) {
    std::vector<uint8_t> turned = g64;
    for (uint32_t t = 1; t <= 35; ++t) {
      uint32_t offset;
      std::memcpy(&offset, &g64[12 + 8 * (t - 1)], 4);
      const uint32_t length = g64[offset] | g64[offset + 1] << 8;
      auto first = turned.begin() + offset + 2;
      std::rotate(first, first + turn, first + length);
    }
    EXPECT_EQ(d64, Convert(turned, turned.size())) << turn;
  }
}

TEST_F(Cc1541G64, FactoryListsTheFilesWrittenIntoIt) {
  std::vector<uint8_t> buffer = g64;
  std::unique_ptr<CImage> reader = CreateImageC64(6, buffer.data(), buffer.size(), quiet);
  ASSERT_NE(nullptr, reader);
  EXPECT_EQ(kD64Size, reader->image_size);
  EXPECT_EQ(d64, Head(buffer, kD64Size)) << "the D64 lies over the buffer's front";
  EXPECT_TRUE(std::equal(g64.begin() + kD64Size, g64.end(), buffer.begin() + kD64Size));
  EXPECT_EQ((std::vector<Bytes>{big, small}), ListFiles(*reader));
  EXPECT_EQ(0u, reader->error_flags);
}

TEST_F(Cc1541G64, FileWithoutItsFirstSectorIsABadLink) {
  // The first directory entry (track 18, sector 1) names the file's start.
  const uint8_t* entry = &d64[SectorIndex(18, 1) * 256 + 2];
  ASSERT_EQ(0x82, entry[0]);
  std::vector<uint8_t> buffer = BuildG64(d64, {.faults = {{G64Fault::kMissing, entry[1], entry[2]}}});
  std::unique_ptr<CImage> reader = CreateImageC64(6, buffer.data(), buffer.size(), quiet);
  ASSERT_NE(nullptr, reader);
  EXPECT_EQ(kWithTable, reader->image_size);
  ListFiles(*reader);
  EXPECT_NE(0u, reader->error_flags & IMGERR_BAD_LINK);
}

TEST(G64Factory, NoReaderWhenTheConversionDoesNotFitTheBuffer) {
  // Cut short, the G64 loses sectors, so its D64 needs the error table too.
  const std::vector<uint8_t> g64 = BuildG64(SeededBytes(kD64Size, 9));
  std::vector<uint8_t> fits = Head(g64, kWithTable);
  std::unique_ptr<CImage> reader = CreateImageC64(6, fits.data(), fits.size(), quiet);
  ASSERT_NE(nullptr, reader);
  EXPECT_EQ(kWithTable, reader->image_size);
  std::vector<uint8_t> tooShort = Head(g64, kWithTable - 1);
  EXPECT_EQ(nullptr, CreateImageC64(6, tooShort.data(), tooShort.size(), quiet));
  uint8_t none = 0;
  EXPECT_EQ(nullptr, CreateImageC64(6, &none, 0, quiet));
}

}  // namespace
