// The binary under faults: folders it may not write, a file that vanishes
// before its audit, a FIFO among the images, and Ctrl-C at any moment of a
// rename run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/dat_files.h"
#include "tests/fixtures/process.h"
#include "tests/fixtures/terminal.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The names of `folder` in the order a directory listing gives them.
std::vector<std::string> ListingOrder(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  return names;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names = ListingOrder(folder);
  std::sort(names.begin(), names.end());
  return names;
}

// A have file holding the indices `first` to `last`.
std::string HaveFile(uint16_t first, uint16_t last) {
  std::string have = "C64 1.00\n";
  for (uint16_t index = first; index <= last; ++index) {
    have.push_back(static_cast<char>(index & 0xFF));
    have.push_back(static_cast<char>(index >> 8));
  }
  return have;
}

// A collection of two programs that the DAT file names "Game" (title 1)
// and "Other" (title 2), with a third title "Kept" found in an earlier run.
class ReadOnlyTest : public testing::Test {
 protected:
  void SetUp() override {
    OpenToOthers(dir.path());
    MakeFolder(collection);
    WriteFile(collection + "/game.prg", game);
    WriteFile(collection + "/other.prg", other);
    WriteFile(collection + "/C64.dat", "C64 1.00\n" + DatLine("Game", {Crc(game)}) +
                                           DatLine("Other", {Crc(other)}) +
                                           DatLine("Kept", {3}));
    WriteFile(collection + "/C64have.dat", old_have);
  }

  TempDir dir;
  std::string collection = dir / "c64";
  Bytes game = SeededBytes(900, 1), other = SeededBytes(700, 2);
  std::string old_have = HaveFile(3, 3);
};

TEST_F(ReadOnlyTest, RenamesFailAndEveryFileStaysWithItsBytes) {
  MakeReadOnly(collection);
  std::vector<std::string> before = Names(collection);
  RunResult run = RunDewmop({"-cc", "-r"}, collection, true);
  EXPECT_EQ(0, run.exit_code);
  // Both the move into ren/ and the rename in place fail, each with its reason.
  const struct {
    const char *source, *target;
  } moves[] = {{"game.prg", "ren/Game.prg"}, {"game.prg", "Game.prg"},
               {"other.prg", "ren/Other.prg"}, {"other.prg", "Other.prg"}};
  for (const auto& m : moves) {
    EXPECT_TRUE(Has(run.err, "Err: Unable to move " + collection + "/" + m.source + " to " +
                                 collection + "/" + m.target + ": Permission denied\n"))
        << run.err;
  }
  EXPECT_FALSE(Has(run.err, "collision"));
  EXPECT_TRUE(Has(run.err, "\n\nDone.\n"));
  EXPECT_EQ(before, Names(collection)) << "no file moved, no folder or file made";
  EXPECT_EQ(game, ReadFile(collection + "/game.prg"));
  EXPECT_EQ(other, ReadFile(collection + "/other.prg"));
}

TEST_F(ReadOnlyTest, HaveFileInAFolderNotWritableKeepsItsOldBytes) {
  // The files lie in a writable subfolder, so renames work; only the
  // database folder refuses the new have file.
  std::string games = collection + "/games";
  MakeFolder(games);
  std::filesystem::rename(collection + "/game.prg", games + "/game.prg");
  chmod(games.c_str(), 0777);
  MakeReadOnly(collection);
  RunResult run = RunDewmop({"-cc", "-r", "-s"}, collection, true);
  EXPECT_EQ(0, run.exit_code);
  EXPECT_TRUE(FileExists(games + "/ren/Game.prg")) << run.err;
  EXPECT_TRUE(Has(run.err, "Err: Unable to write C64have.dat: ")) << run.err;
  EXPECT_TRUE(Has(run.err, "\n\nDone.\n"));
  std::vector<uint8_t> have = ReadFile(collection + "/C64have.dat");
  EXPECT_EQ(old_have, std::string(have.begin(), have.end()));
  EXPECT_EQ((std::vector<std::string>{"C64.dat", "C64have.dat", "games", "other.prg"}),
            Names(collection))
      << "no scratch file is left behind";
}

// Empty programs, which the audit reports one by one, and a tape that a
// later walk dumps. The run stalls in the middle of the PRG walk while the
// test holds its standard error back; the test then deletes the program
// that walk lists last, and lets the run go on.
TEST(FaultTest, FileDeletedAfterTheWalkListedItIsReportedAndTheRunGoesOn) {
  TempDir dir;
  for (int i = 0; i < 300; ++i) WriteFile(dir / ("p" + std::to_string(i) + ".prg"), Bytes{});
  Bytes tape = {0x01, 0x08, 0x60};
  WriteFile(dir / "later.tap", tape);

  TerminalRun run({"-cc", "-d"}, dir.path(), true);
  ASSERT_TRUE(run.WaitUntilStalled());
  std::string last;
  for (const std::string& name : ListingOrder(dir.path()))
    if (name.ends_with(".prg")) last = name;
  ASSERT_EQ(0, unlink((dir / last).c_str()));
  RunResult result = run.Finish();

  EXPECT_EQ(0, result.exit_code);
  std::string deleted = dir / last;
  EXPECT_TRUE(Has(result.err, "\nErr: Unable to open file " + deleted + "\n.\nEmpty: " +
                                  deleted + "\n"))
      << result.err;
  EXPECT_TRUE(Has(result.out, "later.tap;;;;;001;" + Hex(Crc(tape)) + "\n")) << result.out;
  EXPECT_TRUE(Has(result.err, "\n\nDone.\n"));
}

// A FIFO is no image: it is reported like a file that cannot be opened,
// without waiting for a writer, so a SIGTERM (which stops the run after the
// current file) ends the run at once.
TEST(FaultTest, FifoIsNeverWaitedOn) {
  TempDir dir;
  for (const char* name : {"x.d64", "y.zip"}) ASSERT_EQ(0, mkfifo((dir / name).c_str(), 0644));
  TerminalRun run({"-cc", "-d"}, dir.path());
  ASSERT_TRUE(run.WaitForError("Dir: "));
  run.Signal(SIGTERM);
  RunResult result = run.Finish(10);
  EXPECT_EQ(0, result.exit_code) << "the run waited on a FIFO";
  EXPECT_TRUE(Has(result.err, "\nErr: Unable to open file " + (dir / "x.d64") + "\n.\nEmpty: ")) << result.err;
  EXPECT_TRUE(Has(result.err, "\n\nDone.\n"));
}

// A rename run with a large database, interrupted twice (which ends it at
// once) at moments spread over its whole length: the terminal always comes
// back as it was, and the have file is the old one or the one an
// uninterrupted run writes, never a part of either.
TEST(FaultTest, InterruptAtAnyMomentLeavesTheOldOrTheNewHaveFile) {
  Bytes game = SeededBytes(2000, 7);
  std::string dat = NumberedDat(3000) + DatLine("Game", {Crc(game)});
  std::string old_have = HaveFile(1, 1500);
  auto make_collection = [&](const TempDir& dir) {
    WriteFile(dir / "C64.dat", dat);
    WriteFile(dir / "C64have.dat", old_have);
    WriteFile(dir / "game.prg", game);
    WriteFile(dir / "other.prg", SeededBytes(500, 8));
  };
  TempDir reference_dir;
  make_collection(reference_dir);
  ASSERT_EQ(0, RunDewmop({"-cc", "-r"}, reference_dir.path()).exit_code);
  std::vector<uint8_t> new_have = ReadFile(reference_dir / "C64have.dat");
  ASSERT_EQ(old_have.size() + 2, new_have.size());

  int olds = 0, news = 0;
  for (int delay_ms = 0; delay_ms <= 60; delay_ms += 3) {
    TempDir dir;
    make_collection(dir);
    TerminalRun run({"-cc", "-r"}, dir.path());
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    run.Signal(SIGINT);
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    run.Signal(SIGINT);
    RunResult result = run.Finish();
    EXPECT_EQ(run.ModesBefore(), run.LocalModes()) << "after " << delay_ms << " ms";
    std::vector<uint8_t> have = ReadFile(dir / "C64have.dat");
    bool is_old = have == std::vector<uint8_t>(old_have.begin(), old_have.end());
    EXPECT_TRUE(is_old || have == new_have)
        << "after " << delay_ms << " ms: " << have.size() << " bytes";
    (is_old ? olds : news) += 1;
  }
  RecordProperty("old", olds);
  RecordProperty("new", news);
}

}  // namespace
