// Stopping a run from the console: a key press, or Ctrl-C, between two files.
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

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
// the middle of the PRG walk.
class CancelTest : public testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < kFiles; ++i) WriteFile(dir / ("p" + std::to_string(i) + ".prg"), std::string());
  }
  std::string Dir() const { return "Dir: " + dir.path() + "/\n"; }

  TempDir dir;
};

TEST_F(CancelTest, KeyPressStopsAfterTheCurrentFileAndRestoresTheTerminal) {
  TerminalRun run({"-cc", "-d"}, dir.path(), true);
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
  EXPECT_LT(Count(result.err, "Empty:"), size_t{kFiles}) << "no later file is audited";
  EXPECT_EQ(run.ModesBefore(), run.LocalModes());
}

TEST_F(CancelTest, FirstInterruptActsAsAKeyPress) {
  TerminalRun run({"-cc", "-d"}, dir.path(), true);
  ASSERT_TRUE(run.WaitUntilStalled());
  run.Signal(SIGINT);
  RunResult result = run.Finish();
  EXPECT_EQ(0, result.exit_code);
  EXPECT_NE(std::string::npos, result.err.find("\nUser cancelled\n")) << result.err;
  EXPECT_LT(Count(result.err, "Empty:"), size_t{kFiles});
  EXPECT_NE(std::string::npos, result.err.find("\n\nDone.\n"));
}

TEST_F(CancelTest, SecondInterruptEndsAtOnceWithTheTerminalRestored) {
  TerminalRun run({"-cc", "-d"}, dir.path(), true);
  ASSERT_TRUE(run.WaitUntilStalled());
  run.Signal(SIGINT);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  run.Signal(SIGINT);
  RunResult result = run.Finish();
  EXPECT_EQ(130, result.exit_code);
  EXPECT_EQ(std::string::npos, result.err.find("Done."));
  EXPECT_EQ(run.ModesBefore(), run.LocalModes());
}

}  // namespace
