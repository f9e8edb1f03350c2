// Auditing real folders with the real binary: dumps, archives, damage,
// identification and renaming.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "testkit/disk_writer.h"
#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/process.h"

namespace {

const Bytes kA = SeededBytes(3000, 1), kB = SeededBytes(700, 2), kC = SeededBytes(254, 3);

// Line `n` of the text, or "" when it has fewer lines.
std::string LineOf(const std::string& text, size_t n) {
  std::vector<std::string> lines = Lines(text);
  return n < lines.size() ? lines[n] : "";
}

std::vector<std::string> FilesUnder(const std::string& folder) {
  std::vector<std::string> names;
  for (auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      names.push_back(std::filesystem::relative(entry.path(), folder).string());
  std::sort(names.begin(), names.end());
  return names;
}

Bytes Prg(const Bytes& body) {
  Bytes prg = {0x01, 0x08};
  prg.insert(prg.end(), body.begin(), body.end());
  return prg;
}

class AuditTest : public testing::Test {
 protected:
  TempDir dir;
};

TEST_F(AuditTest, DumpOfAMixedFolderInWalkOrder) {
  MakeD64(dir / "game.d64", {kA, kB});
  WriteFile(dir / "prog.prg", Prg(kC));
  Bytes p00 = {'C', '6', '4', 'F', 'i', 'l', 'e', 0};
  p00.resize(26, 0);
  p00.insert(p00.end(), kB.begin(), kB.end());
  WriteFile(dir / "data.P00", p00);
  WriteFile(dir / "tune.tap", kC);
  WriteFile(dir / "empty.prg", Bytes{});
  WriteFile(dir / "notes.txt", kA);
  MakeD64(dir / "inner.d64", {kC});
  MakeZip(dir / "bundle.zip", dir.path(), {"inner.d64", "prog.prg"});
  std::filesystem::rename(dir / "inner.d64", dir / "inner.bak");

  RunResult run = RunDewmop({"-cc", "-d"}, dir.path());
  std::vector<std::string> lines = Lines(run.out);
  lines.erase(lines.begin());
  EXPECT_EQ((std::vector<std::string>{DumpLine("game.d64", {kA, kB}), DumpLine("prog.prg", {Prg(kC)}),
                                      DumpLine("data.P00", {kB}), DumpLine("tune.tap", {kC}),
                                      DumpLine("bundle.zip", {kC, Prg(kC)})}),
            lines);
  EXPECT_NE(std::string::npos, run.err.find("\nEmpty: " + (dir / "empty.prg") + "\n"));
  EXPECT_EQ(std::string::npos, run.err.find("notes.txt"));
  EXPECT_EQ(0, run.exit_code);
}

TEST_F(AuditTest, TheDumpIsADatFileThatIdentifiesTheSameFiles) {
  MakeD64(dir / "game.d64", {kA, kB});
  WriteFile(dir / "prog.prg", Prg(kC));
  RunResult dump = RunDewmop({"-cc", "-d"}, dir.path());
  WriteFile(dir / "C64.dat", dump.out);
  RunResult info = RunDewmop({"-cc", "-i"}, dir.path());
  EXPECT_NE(std::string::npos, info.err.find("3 disks.\n")) << info.err;
  for (const char* name : {"game.d64", "prog.prg"}) {
    std::string block = "\n____________\n" + (dir / name) + "\nGame: " + name;
    EXPECT_NE(std::string::npos, info.out.find(block)) << info.out;
  }
  EXPECT_NE(std::string::npos,
            info.out.find(std::string(" Crack: -\nPublisher: ") + std::string(20, ' ') + " Date: "));
  EXPECT_TRUE(FileExists(dir / "game.d64")) << "-i moves nothing";
}

TEST_F(AuditTest, ArchiveEntriesByExtensionAndByContent) {
  WriteFile(dir / "readme.txt", kA);
  WriteFile(dir / "disk", Prg(kB));
  WriteFile(dir / "tune.prg", Prg(kC));
  MakeZip(dir / "mixed.zip", dir.path(), {"readme.txt", "disk", "tune.prg"});
  RunResult run = RunDewmop({"-cc", "-d", "mixed.zip"}, dir.path());
  EXPECT_EQ(DumpLine("mixed.zip", {Prg(kB), Prg(kC)}), LineOf(run.out, 1));
  EXPECT_NE(std::string::npos, run.err.find("Wrn: disk has no extension in zipfile mixed.zip\n"));
  EXPECT_EQ(std::string::npos, run.err.find("readme"));
  EXPECT_NE(std::string::npos, run.err.find("\nUnloading Data\n"))
      << "a single file is followed by the wind-up";
}

TEST_F(AuditTest, ArchiveInsideAnArchiveGivesNothingAtAll) {
  WriteFile(dir / "tune.prg", Prg(kC));
  MakeZip(dir / "inner.zip", dir.path(), {"tune.prg"});
  MakeZip(dir / "outer.zip", dir.path(), {"tune.prg", "inner.zip"});
  RunResult run = RunDewmop({"-cc", "-d", "outer.zip"}, dir.path());
  EXPECT_EQ(1u, Lines(run.out).size()) << run.out;
  EXPECT_EQ(std::string::npos, run.err.find('.' + std::string("\n\nUnloading")));
  EXPECT_EQ(std::string::npos, run.err.find("Empty"));
}

TEST_F(AuditTest, ExtensionsMatchByPrefix) {
  MakeD64(dir / "game.d6", {kA});
  WriteFile(dir / "tune.prg", Prg(kC));
  MakeZip(dir / "game.zipped", dir.path(), {"tune.prg"});
  EXPECT_EQ(DumpLine("game.d6", {kA}), LineOf(RunDewmop({"-cc", "-d", "game.d6"}, dir.path()).out, 1));
  EXPECT_EQ(DumpLine("game.zipped", {Prg(kC)}),
            LineOf(RunDewmop({"-cc", "-d", "game.zipped"}, dir.path()).out, 1));
}

TEST_F(AuditTest, DamagedImageCountsAsOneWholeImageCrc) {
  MakeD64(dir / "broken.d64", {kA, kB});
  Bytes image = ReadFile(dir / "broken.d64");
  // The first file starts where its directory entry says; cut its chain.
  uint32_t track = image[91392 + 256 + 3], sector = image[91392 + 256 + 4];
  image[SectorIndex(track, sector) * 256] = 41;
  WriteFile(dir / "broken.d64", image);
  RunResult run = RunDewmop({"-cc", "-d"}, dir.path());
  EXPECT_EQ(DumpLine("broken.d64", {image}), LineOf(run.out, 1));
  EXPECT_NE(std::string::npos, run.err.find("\nErr: Bad T/S link, file is truncated\n"));
}

TEST_F(AuditTest, UnreadableFileIsReportedAndTheRunGoesOn) {
  RunResult run = RunDewmop({"-cc", "-d", "missing.d64"}, dir.path());
  EXPECT_NE(std::string::npos,
            run.err.find("\nErr: Unable to open file missing.d64\n.\nEmpty: missing.d64\n"));
  EXPECT_EQ(0, run.exit_code);
}

class RenameTest : public AuditTest {
 protected:
  void SetUp() override {
    WriteFile(dir / "C64.dat", "TestDat 1.0\nOther;Pub;;;1990;001;12345678\n"
                               "Game;Soft Co;1st;Grp;1987;002;" + Hex(Crc(kA)) + ";" +
                               Hex(Crc(kB)) + "\nSlash;Pub;;AC/DC;;001;" + Hex(Crc(kC)) + "\n");
  }
  std::string HaveFile() { return ReadText(dir / "C64have.dat"); }
};

TEST_F(RenameTest, FirstCopyToRenLaterCopiesToDupes) {
  for (const char* name : {"one.d64", "two.d64", "three.d64"}) MakeD64(dir / name, {kB, kA});
  RunResult run = RunDewmop({"-cc", "-r"}, dir.path());
  EXPECT_EQ(0, run.exit_code);
  EXPECT_EQ((std::vector<std::string>{"C64.dat", "C64have.dat", "C64miss.txt",
                                      "dupes/Game (Grp).d60", "dupes/Game (Grp).d64",
                                      "ren/Game (Grp).d64"}),
            FilesUnder(dir.path()));
  EXPECT_EQ(std::string("TestDat 1.0\n\x02\x00", 14), HaveFile());
  EXPECT_EQ("Other\nSlash\n", ReadText(dir / "C64miss.txt"));

  // A later run knows the title from the have file: straight to dupes.
  MakeD64(dir / "four.d64", {kA, kB});
  RunDewmop({"-cc", "-r"}, dir.path());
  EXPECT_TRUE(FileExists(dir / "dupes/Game (Grp).d61"));
  EXPECT_EQ(std::string("TestDat 1.0\n\x02\x00", 14), HaveFile());
}

TEST_F(RenameTest, AnExistingTargetIsNeverReplaced) {
  MakeFolder(dir / "ren");
  WriteFile(dir / "ren/Game (Grp).d64", std::string("precious"));
  MakeD64(dir / "one.d64", {kA, kB});
  RunResult run = RunDewmop({"-cc", "-r"}, dir.path());
  EXPECT_NE(std::string::npos, run.err.find("Possible name collision: Game (Grp)\n"));
  EXPECT_EQ("precious", ReadText(dir / "ren/Game (Grp).d64"));
  EXPECT_TRUE(FileExists(dir / "Game (Grp).d64")) << "renamed in place";
}

TEST_F(RenameTest, DumpOrInfoTakesPrecedenceOverRename) {
  MakeD64(dir / "one.d64", {kA, kB});
  RunResult dump = RunDewmop({"-cc", "-d", "-r"}, dir.path());
  EXPECT_NE(std::string::npos, dump.err.find("4 disks.\n"));
  EXPECT_EQ(DumpLine("one.d64", {kA, kB}) + "\n", dump.out) << "no version line";
  RunResult info = RunDewmop({"-cc", "-i", "-r"}, dir.path());
  EXPECT_NE(std::string::npos, info.out.find("Game: Game"));
  EXPECT_TRUE(FileExists(dir / "one.d64"));
  EXPECT_FALSE(FileExists(dir / "C64have.dat"));
}

}  // namespace
