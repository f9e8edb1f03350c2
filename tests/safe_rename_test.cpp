// Renaming a collection safely: again and again, with symbolic links in it,
// and with two runs on one folder at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/process.h"

namespace {

const Bytes kA = SeededBytes(3000, 1), kB = SeededBytes(700, 2), kC = SeededBytes(254, 3);

// Every file under `folder` (links as links) with its bytes.
std::map<std::string, std::string> Tree(const std::string& folder) {
  std::map<std::string, std::string> tree;
  for (auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    std::string name = entry.path().lexically_relative(folder).string();
    if (entry.is_symlink())
      tree[name] = "-> " + std::filesystem::read_symlink(entry.path()).string();
    else if (entry.is_regular_file())
      tree[name] = ReadText(entry.path());
  }
  return tree;
}

// Title 1 "Game" by "Grp" (two files), title 2 "Slash" by "AC/DC".
class SafeRenameTest : public testing::Test {
 protected:
  void WriteDat(const std::string& version) {
    WriteFile(dir / "C64.dat", version + "\nGame;Soft Co;1st;Grp;1987;002;" + Hex(Crc(kA)) +
                                   ";" + Hex(Crc(kB)) + "\nSlash;Pub;;AC/DC;;001;" +
                                   Hex(Crc(kC)) + "\n");
  }
  std::string HaveFile(const std::string& version) {
    return version + std::string("\n\x01\x00\x02\x00", 5);
  }
  TempDir dir;
};

// A renamed collection stays as it is, also when the DAT's new version line
// makes the run forget the titles it had found: the files in ren/ and dupes/
// are found there and counted again.
TEST_F(SafeRenameTest, ASecondRenameMovesNothing) {
  WriteDat("TestDat 1.0");
  MakeD64(dir / "one.d64", {kA, kB});
  MakeD64(dir / "two.d64", {kB, kA});
  MakeD64(dir / "three.d64", {kA, kB});
  WriteFile(dir / "tune.prg", kC);
  RunDewmop({"-cc", "-r", "-s"}, dir.path());
  std::map<std::string, std::string> renamed = Tree(dir.path());
  renamed.erase("C64.dat");
  renamed.erase("C64have.dat");
  for (const char* name : {"ren/Game (Grp).d64", "dupes/Game (Grp).d64", "dupes/Game (Grp).d60",
                           "ren/Slash (AC_DC).prg"})
    EXPECT_EQ(1u, renamed.count(name)) << name;

  for (const char* version : {"TestDat 1.0", "TestDat 2.0"}) {
    WriteDat(version);
    RunResult again = RunDewmop({"-cc", "-r", "-s"}, dir.path());
    std::map<std::string, std::string> after = Tree(dir.path());
    after.erase("C64.dat");
    after.erase("C64have.dat");
    EXPECT_EQ(renamed, after) << version << "\n" << again.err;
    EXPECT_EQ(HaveFile(version), ReadText(dir / "C64have.dat")) << version;
  }
}

// Links are looked at but never followed out of the collection: a linked
// folder is not walked, a linked image is audited and left as it is.
TEST_F(SafeRenameTest, NothingOutsideTheCollectionIsTouched) {
  TempDir outside;
  MakeD64(outside / "one.d64", {kA, kB});
  WriteFile(outside / "tune.prg", kC);
  std::map<std::string, std::string> before = Tree(outside.path());
  WriteDat("TestDat 1.0");
  std::filesystem::create_directory_symlink(outside.path(), dir / "linked");
  std::filesystem::create_symlink(outside / "one.d64", dir / "link.d64");
  RunResult run = RunDewmop({"-cc", "-r", "-s"}, dir.path());
  EXPECT_EQ(before, Tree(outside.path()));
  EXPECT_EQ("-> " + (outside / "one.d64"), Tree(dir.path())["link.d64"]);
  EXPECT_EQ(std::string::npos, run.err.find("linked/")) << run.err;
  EXPECT_NE(std::string::npos,
            run.err.find(".Err: Unable to move " + (dir / "link.d64") + " to " +
                         (dir / "ren/Game (Grp).d64") + ": a symbolic link is not moved\n" +
                         "Dir: "))
      << "one message, no rename in place: " << run.err;
  EXPECT_EQ("TestDat 1.0\n" + std::string("\x01\x00", 2), ReadText(dir / "C64have.dat"))
      << "the linked image counts";
}

// While another run holds the folder, a run that would identify or rename
// stops before it reads anything, and leaves the other run's files alone.
TEST_F(SafeRenameTest, ASecondRunOnTheSameFolderStops) {
  WriteDat("TestDat 1.0");
  MakeD64(dir / "one.d64", {kA, kB});
  WriteFile(dir / "C64have.dat.k3Xq9Z", std::string("being written"));
  std::map<std::string, std::string> before = Tree(dir.path());
  int held = open((dir / "C64have.dat.lock").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_EQ(0, flock(held, LOCK_EX | LOCK_NB));
  before["C64have.dat.lock"] = "";
  for (const char* mode : {"-r", "-i"}) {
    RunResult run = RunDewmop({"-cc", mode}, dir.path());
    EXPECT_EQ(3, run.exit_code) << mode;
    EXPECT_EQ("Err: Another run holds this folder (C64have.dat.lock)\n\n\nDone.\n", run.err);
    EXPECT_EQ("", run.out);
    EXPECT_EQ(before, Tree(dir.path())) << mode;
  }
  close(held);
  RunResult alone = RunDewmop({"-cc", "-r"}, dir.path());
  EXPECT_EQ(0, alone.exit_code) << alone.err;
  EXPECT_TRUE(FileExists(dir / "ren/Game (Grp).d64"));
  EXPECT_FALSE(FileExists(dir / "C64have.dat.lock")) << "removed when the run ends";
}

// Scratch files of an earlier run that ended while it wrote are cleared by
// the next run that holds the folder; nothing else is.
TEST_F(SafeRenameTest, StaleScratchFilesAreRemoved) {
  WriteDat("TestDat 1.0");
  const struct {
    const char* name;
    bool stale;
  } cases[] = {
      {"C64have.dat.a1B2c3", true},   {"C64miss.txt.ZZZZZZ", true},
      {"C64have.dat.bak", false},     {"C64have.dat.a1B2c3d", false},
      {"C64have.dat.a1-2c3", false},  {"Amighave.dat.a1B2c3", false},
      {"C64.dat.a1B2c3", false},
  };
  for (const auto& c : cases) WriteFile(dir / c.name, std::string("x"));
  RunDewmop({"-cc", "-i"}, dir.path());
  for (const auto& c : cases) EXPECT_EQ(c.stale, !FileExists(dir / c.name)) << c.name;
}

}  // namespace
