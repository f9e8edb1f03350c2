// Several workers against one: every run over a collection of every kind of
// file (damaged images and archives, duplicates, links, a FIFO, a folder
// named like an image, subfolders) must write the same bytes to standard
// output and error and leave the same files, have file and miss list.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "testkit/disk_writer.h"
#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/dat_files.h"
#include "tests/fixtures/process.h"
#include "tests/fixtures/zip_writer.h"

namespace {

const Bytes kA = SeededBytes(3000, 1), kB = SeededBytes(700, 2), kC = SeededBytes(254, 3);

Bytes Prg(const Bytes& body) {
  Bytes prg(body.size() + 2, 0x08);
  prg[0] = 0x01;
  std::copy(body.begin(), body.end(), prg.begin() + 2);
  return prg;
}

// Every file and link under `folder` with its bytes or target.
std::map<std::string, std::string> Tree(const std::string& folder) {
  std::map<std::string, std::string> tree;
  for (auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    std::string name = entry.path().lexically_relative(folder).string();
    if (entry.is_symlink())
      tree[name] = "-> " + std::filesystem::read_symlink(entry.path()).string();
    else if (entry.is_regular_file())
      tree[name] = ReadText(entry.path());
    else
      tree[name] = "(other)";
  }
  return tree;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// Titles: "Game" (two files), "Slash" (one program), and one for every
// third of the numbered programs; the rest match nothing. Most kinds of file
// come more than once, so that some are read ahead while others are
// reported.
void MakeCollection(const std::string& top) {
  MakeFolder(top);
  const Bytes tune = Prg(kC);
  std::string dat =
      "TestDat 1.0\n" + DatLine("Game", {Crc(kA), Crc(kB)}) + DatLine("Slash", {Crc(tune)});
  for (int i = 0; i < 60; ++i) {
    const Bytes program = Prg(SeededBytes(200 + 37 * i, 100 + i));
    WriteFile(top + "/p" + std::to_string(i) + ".prg", program);
    if (i % 3 == 0) dat += DatLine("Program " + std::to_string(i), {Crc(program)});
  }
  WriteFile(top + "/C64.dat", dat);
  MakeD64(top + "/one.d64", {kA, kB});
  MakeD64(top + "/two.d64", {kB, kA});
  WriteFile(top + "/tune.prg", tune);
  WriteFile(top + "/empty.prg", Bytes{});
  WriteFile(top + "/notes.txt", kA);
  MakeD64(top + "/broken.d64", {kA, kC});
  Bytes broken = ReadFile(top + "/broken.d64");
  broken[SectorIndex(broken[91392 + 256 + 3], broken[91392 + 256 + 4]) * 256] = 41;
  WriteFile(top + "/broken.d64", broken);
  // Links to programs that a rename moves: what a link reads depends on
  // whether its program was moved before, in walk order.
  std::filesystem::create_symlink("one.d64", top + "/link.d64");
  for (int i = 0; i < 30; ++i) {
    const std::string program = "p" + std::to_string(i % 10 * 3) + ".prg";
    std::filesystem::create_symlink(program, top + "/q" + std::to_string(i) + ".prg");
  }
  ASSERT_EQ(0, mkfifo((top + "/fifo.d64").c_str(), 0644));
  MakeFolder(top + "/folder.d64");

  // Archives: by zip (deflated, stored, an archive in an archive) and by
  // hand, with deflate data that breaks off, does not end where its size
  // says, or is damaged in the middle: zlib decodes those after libdeflate.
  MakeD64(top + "/inner.d64", {kA, kB});
  MakeZip(top + "/game.zip", top, {"inner.d64"});
  MakeZip(top + "/stored.zip", top, {"inner.d64", "tune.prg"}, true);
  MakeZip(top + "/nested.zip", top, {"tune.prg", "game.zip"});
  std::filesystem::remove(top + "/inner.d64");
  const Bytes big = SeededBytes(60000, 9);
  ZipFixtureEntry cut = DeflatedEntry("cut.prg", Prg(big));
  cut.compressed_size -= 1;
  ZipFixtureEntry garbled = DeflatedEntry("garbled.prg", Prg(big));
  garbled.payload[garbled.payload.size() / 2] ^= 0x5A;
  ZipFixtureEntry longer = DeflatedEntry("longer.prg", Prg(kA));
  longer.uncompressed_size += 1;
  ZipFixtureEntry early = DeflatedEntry("early.prg", Prg(kB));
  early.payload.resize(early.payload.size() + 20000, 0);
  early.compressed_size += 20000;
  WriteFile(top + "/damaged.zip", BuildZip({cut, DeflatedEntry("good.prg", tune), garbled}));
  WriteFile(top + "/sizes.zip", BuildZip({longer, early, DeflatedEntry("kept.prg", Prg(big))}));

  // Amiga disks: plain, gzipped, and gzipped but cut short.
  WriteFile(top + "/disk.adf", SeededBytes(901120, 5));
  ASSERT_EQ(0, Shell("cd '" + top + "' && gzip -c disk.adf > disk.adz && head -c 300000 disk.adz > cut.adz"));

  MakeFolder(top + "/sub");
  MakeD64(top + "/sub/three.d64", {kA, kB});
  WriteFile(top + "/sub/tune.prg", tune);
  MakeZip(top + "/sub/more.zip", top + "/sub", {"tune.prg"});
}

struct Step {
  std::vector<std::string> args;
  RunResult result;
  std::map<std::string, std::string> tree;
};

// The runs of a collection in turn, each on what the one before left.
std::vector<Step> RunInTurn(const std::string& folder, const std::string& workers) {
  std::vector<Step> runs;
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"-cc"}, {"-cc", "-d", "-s"}, {"-ca", "-d"}, {"-cc", "-i", "-s"}, {"-cc", "-r"},
           {"-cc", "-r", "-s"}}) {
    args.push_back(workers);
    RunResult result = RunDewmop(args, folder);
    // A dump's version line is made up afresh by every run.
    if (args[1] != "-i" && args[1] != "-r") result.out.erase(0, result.out.find('\n') + 1);
    result.out = Replaced(result.out, folder, "ROOT");
    result.err = Replaced(result.err, folder, "ROOT");
    runs.push_back({args, result, Tree(folder)});
  }
  return runs;
}

TEST(Parallel, SeveralWorkersWriteAndMoveWhatOneDoes) {
  if (!kPosixShell) GTEST_SKIP() << "cc1541 and zip run in a POSIX shell";
  TempDir dir;
  MakeCollection(dir / "made");
  for (const char* copy : {"one", "four"})
    ASSERT_EQ(0, Shell("cp -a '" + (dir / "made") + "' '" + (dir / copy) + "'"));
  std::vector<Step> one = RunInTurn(dir / "one", "-j1");
  std::vector<Step> four = RunInTurn(dir / "four", "-j4");
  for (size_t i = 0; i < one.size(); ++i) {
    std::string mode;
    for (const std::string& arg : one[i].args) mode += arg + " ";
    EXPECT_EQ(one[i].result.exit_code, four[i].result.exit_code) << mode;
    EXPECT_EQ(one[i].result.out, four[i].result.out) << mode;
    EXPECT_EQ(one[i].result.err, four[i].result.err) << mode;
    EXPECT_EQ(one[i].tree, four[i].tree) << mode;
  }
  // The collection holds what the comparison is for.
  EXPECT_NE(std::string::npos, one[1].result.err.find("Err: Bad T/S link")) << one[1].result.err;
  EXPECT_NE(std::string::npos, one[1].result.err.find("Error in zipfile ROOT/damaged.zip"));
  EXPECT_EQ(2u, Lines(one[2].result.out).size()) << "the ADF and the whole ADZ";
  EXPECT_EQ(1u, one[5].tree.count("ren/Slash.prg")) << one[5].result.err;
  EXPECT_EQ(1u, one[5].tree.count("dupes/Game.d64")) << one[5].result.err;
  EXPECT_EQ(1u, one[5].tree.count("C64have.dat"));
  EXPECT_EQ(1u, one[5].tree.count("C64miss.txt"));
}

}  // namespace
