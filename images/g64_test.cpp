// G64 conversion: GCR groups, sector search, faults, layouts and bounds, over
// images GCR-encoded here and images written by cc1541.
#include "images/g64.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "images/factory.h"
#include "testkit/disk_writer.h"
#include "testkit/random.h"
#include "tests/fixtures/listing.h"
#include "tests/fixtures/process.h"

namespace {

constexpr uint32_t kD64Size = 174848, kWithTable = 175531;  // without and with the error table

// The converted image, or none when the conversion failed. The G64 is copied
// into a block of exactly its size, so that the address sanitizer sees a read
// past its end.
Bytes Convert(const Bytes& g64, uint32_t capacity = kWithTable) {
  const Bytes exact(g64.begin(), g64.end());
  Bytes out(capacity);
  out.resize(ConvertG64ToD64(exact.data(), static_cast<uint32_t>(exact.size()), out.data(), capacity));
  return out;
}

Bytes Head(const Bytes& image, uint32_t size) { return {image.begin(), image.begin() + size}; }

// `d64` converted with the status `status` gives each sector: a sector not
// found (0) reads 0x4B and 255 bytes of 0x01; the statuses follow unless all are 1.
Bytes Expected(Bytes d64, const std::function<int(uint32_t)>& status) {
  Bytes table(683);
  for (uint32_t i = 0; i < 683; ++i) {
    table[i] = static_cast<uint8_t>(status(i));
    if (table[i] == 0) std::fill_n(&d64[256 * i], 256, 0x01), d64[256 * i] = 0x4B;
  }
  if (std::count(table.begin(), table.end(), 1) < 683) d64.insert(d64.end(), table.begin(), table.end());
  return d64;
}

bool OnTrack(uint32_t track, uint32_t i) { return i >= SectorIndex(track, 0) && i < SectorIndex(track + 1, 0); }

// Tracks beyond 35 play no part; the table is followed when it holds whole
// records, the fixed positions are read otherwise, where reversed records lie
// in their own place only for track 18. A sector placed across the end of a
// track decodes whole: its sync (3), its header (8) or its data (200).
TEST(G64, Conversions) {
  const Bytes d64 = SeededBytes(kD64Size, 1), plain = BuildG64(d64);
  Bytes unsigned_ = BuildG64(d64, {.reversed = true}), longRecord = unsigned_;
  unsigned_[0] = 'X';
  longRecord[684 + 34 * 7930] = 0xFC;  // track 1's record: 7932 track bytes
  const Bytes cut = Head(plain, 684 + 19 * 7930 + 2 + 3 * 362 + 100);  // inside 20/3
  const struct { const char* what; Bytes g64; uint32_t capacity; Bytes out; } cases[] = {
      {"faults", BuildG64(d64, {.faults = {{G64Fault::kMissing, 1, 0}, {G64Fault::kBadChecksum, 17, 20},
                                           {G64Fault::kWrongTrack, 35, 0}}}), kWithTable,
       Expected(d64, [](uint32_t i) { return i == 0 || i == SectorIndex(35, 0) ? 0 : i == SectorIndex(17, 20) ? 5 : 1; })},
      {"no signature", unsigned_, kWithTable, Expected(d64, [](uint32_t i) { return OnTrack(18, i); })},
      {"a record past the file's end", longRecord, kWithTable, Expected(d64, [](uint32_t i) { return !OnTrack(1, i); })},
      {"cut short", cut, kWithTable, Expected(d64, [](uint32_t i) { return i < SectorIndex(20, 3); })},
      {"no room for the table", cut, kWithTable - 1, {}},
      {"room for the D64", plain, kD64Size, d64},
      {"no room", plain, kD64Size - 1, {}},
  };
  for (const auto& c : cases) EXPECT_TRUE(c.out == Convert(c.g64, c.capacity)) << c.what;
  for (const G64Layout& layout : {G64Layout{}, {.tracks = 42}, {.reversed = true}, {.brokenTable = true},
                                  {.rotate = 3}, {.rotate = 8}, {.rotate = 200}, {.rotate = 3, .brokenTable = true},
                                  {.rotate = 200, .brokenTable = true}}) {
    EXPECT_TRUE(d64 == Convert(BuildG64(d64, layout))) << layout.tracks << " " << layout.rotate;
  }
}

// Images written by cc1541: its own layout (572-byte header area, records of
// varying length) and its own encoder.
TEST(G64, ImagesFromCc1541) {
  if (!kPosixShell) GTEST_SKIP() << "cc1541 runs in a POSIX shell";
  TempDir dir;
  WriteFile(dir / "big.prg", SeededBytes(40000, 1541));
  WriteFile(dir / "small.prg", SeededBytes(700, 1));
  ASSERT_EQ(0, Shell("cd " + dir.path() + " && cc1541 -q -n GAME -w big.prg -w small.prg -g game.g64 game.d64 >/dev/null"));
  const Bytes d64 = ReadFile(dir / "game.d64"), g64 = ReadFile(dir / "game.g64");
  EXPECT_TRUE(d64 == Convert(g64, static_cast<uint32_t>(g64.size())));
  // Without its first file's first sector, the D64 laid over the front of
  // the buffer ends its listing at the first file.
  const uint8_t* entry = &d64[SectorIndex(18, 1) * 256 + 2];
  const uint32_t lost = SectorIndex(entry[1], entry[2]);
  const Bytes damaged = BuildG64(d64, {.faults = {{G64Fault::kMissing, entry[1], entry[2]}}});
  Bytes buffer = damaged, whole = Expected(d64, [&](uint32_t i) { return i != lost; });
  whole.insert(whole.end(), damaged.begin() + kWithTable, damaged.end());
  MessageLog log;
  auto reader = CreateImageC64(c64::kG64, buffer.data(), static_cast<uint32_t>(buffer.size()), log);
  ASSERT_NE(nullptr, reader);
  EXPECT_EQ(kWithTable, reader->image_size);
  EXPECT_TRUE(ListFiles(*reader).empty());
  EXPECT_EQ(IMGERR_BAD_LINK | IMGERR_TRUNCATED, reader->error_flags);
  EXPECT_EQ("\nErr: Bad T/S link, file is truncated\n", log.Text(Stream::kErr));
  EXPECT_TRUE(whole == buffer);
  // Cut short, the G64 loses sectors, so its D64 needs the error table too.
  for (uint32_t size : {kWithTable, kWithTable - 1, 0u}) {
    EXPECT_EQ(size == kWithTable, CreateImageC64(c64::kG64, Head(damaged, size).data(), size, log) != nullptr);
  }
}

}  // namespace
