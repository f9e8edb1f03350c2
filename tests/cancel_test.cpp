// Stopping a run from the console: a key press, or Ctrl-C, between two
// files, with one worker or several: the files reported are the first of the
// walk, and nothing of a later file is printed or moved.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <thread>

#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/dat_files.h"
#include "tests/fixtures/process.h"
#include "tests/fixtures/terminal.h"

namespace {

constexpr int kFiles = 300;

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// A folder of empty programs, each of which the audit reports as empty: the
// run says 4 KiB well before the last of them, and stalls there while the
// test holds its standard error back, so the key or the signal arrives in
// the middle of the PRG walk. Run with the worker count of the parameter.
class CancelTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    for (int i = 0; i < kFiles; ++i)
      WriteFile(dir / ("p" + std::to_string(i) + ".prg"), std::string());
  }
  std::string Dir() const { return "Dir: " + dir.path() + "/\n"; }
  std::vector<std::string> Args(const char* mode) const { return {"-cc", mode, GetParam()}; }

  // The programs in the order the walk takes them.
  std::vector<std::string> WalkOrder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      const std::string name = entry.path().filename().string();
      if (name.ends_with(".prg")) names.push_back(name);
    }
    return names;
  }

  // Every file reported is reported whole and comes before every file that
  // is not: the reported files are the first of the walk (`order`).
  void ExpectAFirstPartOfTheWalk(const std::string& err, const std::vector<std::string>& reported,
                                 std::vector<std::string> order) {
    ASSERT_LT(reported.size(), order.size()) << "no later file is audited";
    order.resize(reported.size());
    EXPECT_EQ(order, reported) << err;
  }

  // The empty programs reported, in order.
  std::vector<std::string> EmptyOnes(const std::string& err) const {
    std::vector<std::string> names;
    const std::string mark = ".\nEmpty: " + dir.path() + "/";
    for (size_t at = err.find(mark); at != std::string::npos; at = err.find(mark, at + 1)) {
      const size_t start = at + mark.size();
      names.push_back(err.substr(start, err.find('\n', start) - start));
    }
    return names;
  }

  TempDir dir;
};

INSTANTIATE_TEST_SUITE_P(Workers, CancelTest, testing::Values("-j1", "-j4"));

TEST_P(CancelTest, KeyPressStopsAfterTheCurrentFileAndRestoresTheTerminal) {
  TerminalRun run(Args("-d"), dir.path(), true);
  ASSERT_TRUE(run.WaitUntilStalled());
  run.PressKey('q');
  RunResult result = run.Finish();
  EXPECT_EQ(0, result.exit_code);
  std::string later_walks;
  for (int i = 0; i < 7; ++i) later_walks += Dir();
  const std::string empty = std::to_string(Count(result.err, "Empty:"));
  const std::string end = "\nUser cancelled\n" + later_walks + "\nFiles audited: " + empty +
                          "\n  listed: 0, damaged: 0, empty: " + empty +
                          ", unreadable: 0, no reader: 0\n\n\nDone.\n";
  ASSERT_GT(result.err.size(), end.size());
  EXPECT_EQ(end, result.err.substr(result.err.size() - end.size())) << result.err;
  EXPECT_EQ(1u, Count(result.err, "\nUser cancelled\n"));
  ExpectAFirstPartOfTheWalk(result.err, EmptyOnes(result.err), WalkOrder());
  EXPECT_EQ(run.ModesBefore(), run.LocalModes());
}

TEST_P(CancelTest, FirstInterruptActsAsAKeyPress) {
  TerminalRun run(Args("-d"), dir.path(), true);
  ASSERT_TRUE(run.WaitUntilStalled());
  run.Signal(SIGINT);
  RunResult result = run.Finish();
  EXPECT_EQ(0, result.exit_code);
  EXPECT_NE(std::string::npos, result.err.find("\nUser cancelled\n")) << result.err;
  ExpectAFirstPartOfTheWalk(result.err, EmptyOnes(result.err), WalkOrder());
  EXPECT_NE(std::string::npos, result.err.find("\n\nDone.\n"));
}

TEST_P(CancelTest, SecondInterruptEndsAtOnceWithTheTerminalRestored) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer holds a signal back until it is safe to run its handler, so "
                  "two signals in quick succession arrive as one";
#endif
  TerminalRun run(Args("-d"), dir.path(), true);
  ASSERT_TRUE(run.WaitUntilStalled());
  run.Signal(SIGINT);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  run.Signal(SIGINT);
  RunResult result = run.Finish();
  EXPECT_EQ(130, result.exit_code);
  EXPECT_EQ(std::string::npos, result.err.find("Done."));
  EXPECT_EQ(run.ModesBefore(), run.LocalModes());
}

// Among the empty programs as many that the DAT file names: a rename run
// stopped by a key has moved exactly the named ones among the files it
// reported (each gives its progress mark), and none after them.
TEST_P(CancelTest, RenameStoppedByAKeyMovesNothingAfterTheStop) {
  std::string dat = "C64 1.00\n";
  for (int i = 0; i < kFiles; ++i) {
    const Bytes program = SeededBytes(40, i + 1);
    WriteFile(dir / ("t" + std::to_string(i) + ".prg"), program);
    dat += DatLine("Title " + std::to_string(i), {Crc(program)});
  }
  WriteFile(dir / "C64.dat", dat);
  const std::vector<std::string> order = WalkOrder();
  TerminalRun run(Args("-r"), dir.path(), true);
  ASSERT_TRUE(run.WaitUntilStalled());
  run.PressKey('q');
  RunResult result = run.Finish();
  EXPECT_EQ(0, result.exit_code);
  const std::string walk = result.err.substr(0, result.err.find("\nUser cancelled\n"));
  ASSERT_NE(walk, result.err);
  // Each file reported gave one progress mark; an empty one its message.
  std::string marks = walk.substr(walk.rfind(Dir()) + Dir().size());
  for (const std::string& name : EmptyOnes(walk)) {
    const std::string message = "\nEmpty: " + dir.path() + "/" + name + "\n";
    marks.replace(marks.find(message), message.size(), "");
  }
  const size_t reported = Count(marks, ".");
  ASSERT_LT(reported, order.size()) << "no later file is audited";
  for (size_t i = 0; i < order.size(); ++i) {
    const bool moved = order[i][0] == 't' && i < reported;
    EXPECT_EQ(!moved, FileExists(dir / order[i])) << order[i];
    if (order[i][0] != 't') continue;
    const std::string title = "Title " + order[i].substr(1, order[i].size() - 5);
    EXPECT_EQ(moved, FileExists(dir / ("ren/" + title + ".prg"))) << order[i];
  }
}

}  // namespace
