// Near matches as the user sees them: which unknown disk is shown near
// which title, and that a near title is never taken for the disk.
#include <gtest/gtest.h>

#include <map>

#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/dat_files.h"
#include "tests/fixtures/process.h"

namespace {

// Files for the titles: four of Alpha, four of Beta, six of which Gamma 1
// holds the first five and Gamma 2 the first four and the sixth, two that
// 65 titles hold, and two that no title holds.
struct Files {
  uint64_t seed = 0;
  std::vector<Bytes> Make(size_t count) {
    std::vector<Bytes> files;
    for (; count > 0; --count, ++seed) files.push_back(SeededBytes(300 + 50 * seed, seed));
    return files;
  }
  std::vector<Bytes> alpha = Make(4), beta = Make(4), gamma = Make(6), common = Make(2),
                     stray = Make(2);
};

std::vector<uint32_t> CrcsOf(const std::vector<Bytes>& files) {
  std::vector<uint32_t> crcs;
  for (const Bytes& file : files) crcs.push_back(Crc(file));
  return crcs;
}

std::string Dat(const Files& f) {
  std::string dat = "C64 1.00\nAlpha;Pub;;Grp;1987;004";
  for (uint32_t crc : CrcsOf(f.alpha)) dat += ";" + Hex(crc);
  dat += "\n" + DatLine("Beta", CrcsOf(f.beta));
  dat += DatLine("Gamma 1", CrcsOf({f.gamma[0], f.gamma[1], f.gamma[2], f.gamma[3], f.gamma[4]}));
  dat += DatLine("Gamma 2", CrcsOf({f.gamma[0], f.gamma[1], f.gamma[2], f.gamma[3], f.gamma[5]}));
  for (uint32_t i = 0; i < 65; ++i) {
    dat += DatLine("Common " + std::to_string(i), {Crc(f.common[0]), Crc(f.common[1]), 0x100 + i});
  }
  return dat;
}

// Each block of standard output (after its rule line) by the path it names.
std::map<std::string, std::string> BlocksByPath(const std::string& out) {
  const std::string rule = "\n____________\n";
  std::map<std::string, std::string> blocks;
  for (size_t at = out.find(rule); at != std::string::npos;) {
    size_t start = at + rule.size(), next = out.find(rule, start);
    std::string block = out.substr(start, next == std::string::npos ? next : next - start);
    size_t eol = block.find('\n');
    blocks[block.substr(0, eol)] = block.substr(eol + 1);
    at = next;
  }
  return blocks;
}

TEST(NearTest, UnknownDisksShowTheirNearestTitle) {
  TempDir dir;
  Files f;
  const std::vector<Bytes>& g = f.gamma;
  const struct {
    const char* disk;
    std::vector<Bytes> files;
    std::string block;  // after the path; "" when there is none
    std::string report;  // the report row's near_* columns
  } cases[] = {
      {"extra.d64", {f.alpha[0], f.alpha[1], f.alpha[2], f.alpha[3], f.stray[0]},
       "Near: Alpha (Grp) (4 of 4 files; 1 extra)", "1,Alpha (Grp),4,4"},
      {"missing.d64", {f.beta[0], f.beta[1], f.beta[2]}, "Near: Beta (3 of 4 files)",
       "2,Beta,3,4"},
      {"better.d64", {g[0], g[1], g[2], g[3], g[5], f.stray[1]},
       "Near: Gamma 2 (5 of 5 files; 1 extra)", "4,Gamma 2,5,5"},
      {"tie.d64", {g[0], g[1], g[2], g[3]}, "Near: Gamma 1 (4 of 5 files)", "3,Gamma 1,4,5"},
      {"common.d64", f.common, "", ",,,"},
      {"exact.d64", f.alpha,
       "Game: Alpha" + std::string(45, ' ') + " Crack: -Grp\nPublisher: Pub" +
           std::string(17, ' ') + " Date: 1987 ",
       ",,,"},
  };
  for (const auto& c : cases) MakeD64(dir / c.disk, c.files);
  WriteFile(dir / "C64.dat", Dat(f));

  RunResult info = RunDewmop({"-cc", "-i", "-o" + (dir / "report.csv")}, dir.path());
  std::map<std::string, std::string> blocks = BlocksByPath(info.out);
  const std::string report = ReadText(dir / "report.csv");
  for (const auto& c : cases) {
    auto block = blocks.find(dir / c.disk);
    EXPECT_EQ(c.block, block == blocks.end() ? "" : block->second) << c.disk;
    size_t row = report.find(dir / c.disk + ",");
    ASSERT_NE(std::string::npos, row) << c.disk;
    size_t end = report.find("\r\n", row);
    EXPECT_EQ("," + c.report, report.substr(end - c.report.size() - 1, c.report.size() + 1))
        << c.disk;
  }
  EXPECT_EQ(5u, blocks.size()) << info.out;
  EXPECT_EQ(std::string::npos, info.err.find("Near")) << "a near title is data";
  EXPECT_NE(std::string::npos, info.err.find("\n  near a title: 4\n")) << info.err;

  // A near title is not the disk's: no move, and only Alpha is present.
  RunResult rename = RunDewmop({"-cc", "-r"}, dir.path());
  EXPECT_EQ("", rename.out);
  for (const auto& c : cases) {
    EXPECT_EQ(c.disk != std::string("exact.d64"), FileExists(dir / c.disk)) << c.disk;
  }
  EXPECT_TRUE(FileExists(dir / "ren/Alpha (Grp).d64"));
  EXPECT_EQ("C64 1.00\n" + std::string("\x01\x00", 2), ReadText(dir / "C64have.dat"));
}

}  // namespace
