// Auditing Amiga disks (plain, gzip, zipped) and G64 images with the real binary.
#include <gtest/gtest.h>

#include <algorithm>

#include "testkit/disk_writer.h"
#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/process.h"

namespace {

// The dump lines after the version line, sorted: the walk meets a folder's
// files in no set order.
std::vector<std::string> DumpLines(const std::string& out) {
  std::vector<std::string> lines = Lines(out);
  if (!lines.empty()) lines.erase(lines.begin());
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST(AmigaProfile, DumpOfPlainGzipAndZippedDisks) {
  TempDir dir;
  const std::string src = dir / "src";
  MakeFolder(src);
  const Bytes work = SeededBytes(901120, 21), game = SeededBytes(901120, 22);
  WriteFile(dir / "work.adf", work);
  WriteFile(src + "/game.adf", game);
  WriteFile(src + "/work.adf", work);
  ASSERT_EQ(0, Shell("cd '" + src + "' && gzip -c game.adf > ../game.adz && gzip -n -c game.adf >"
                     " ../packed.adf && gzip -c < work.adf > work.adz && cp ../game.adz broken.adz"));
  MakeZip(dir / "disks.zip", src, {"work.adz", "game.adf", "work.adf"});
  Bytes broken = ReadFile(src + "/broken.adz");
  broken[broken.size() - 5] ^= 0x40;  // the trailer's CRC
  WriteFile(dir / "broken.adz", broken);

  RunResult run = RunDewmop({"-ca", "-d"}, dir.path());
  EXPECT_EQ((std::vector<std::string>{
                DumpLine("disks.zip", {work, game, work}),
                DumpLine("game.adz", {game}),
                DumpLine("packed.adf", {game}),
                DumpLine("work.adf", {work}),
            }),
            DumpLines(run.out))
      << run.err;
  EXPECT_NE(std::string::npos, run.err.find("\nEmpty: " + (dir / "broken.adz") + "\n"));
}

TEST(C64Profile, DumpOfG64ImagesAndAZipHoldingOne) {
  TempDir dir;
  const std::string src = dir / "src";
  MakeFolder(src);
  const Bytes a = SeededBytes(30000, 31), b = SeededBytes(900, 32);
  WriteFile(src + "/a.prg", a);
  WriteFile(src + "/b.prg", b);
  ASSERT_EQ(0, Shell("cd '" + src + "' && cc1541 -q -n DISK -w a.prg -w b.prg"
                     " -g ../game.g64 disk.d64 >/dev/null && cp ../game.g64 inner.g64"));
  MakeZip(dir / "games.zip", src, {"inner.g64"});

  // Without the first sector of its first file the converted image is
  // damaged: one CRC of the whole buffer, the D64 over the G64's front.
  const Bytes d64 = ReadFile(src + "/disk.d64");
  const uint8_t* entry = &d64[358 * 256 + 2];  // track 18, sector 1
  ASSERT_EQ(0x82, entry[0]) << "a PRG entry";
  const Bytes damaged = BuildG64(d64, {.faults = {{G64Fault::kMissing, entry[1], entry[2]}}});
  WriteFile(dir / "damaged.g64", damaged);
  const uint32_t lost = SectorIndex(entry[1], entry[2]);
  Bytes whole = d64;
  whole.resize(174848 + 683, 1);  // the error table: all sound but one
  std::fill_n(whole.begin() + lost * 256, 256, 0x01);
  whole[lost * 256] = 0x4B;
  whole[174848 + lost] = 0;
  whole.insert(whole.end(), damaged.begin() + whole.size(), damaged.end());

  RunResult run = RunDewmop({"-cc", "-d"}, dir.path());
  EXPECT_EQ((std::vector<std::string>{
                DumpLine("damaged.g64", {whole}),
                DumpLine("game.g64", {a, b}),
                DumpLine("games.zip", {a, b}),
            }),
            DumpLines(run.out))
      << run.err;
}

}  // namespace
