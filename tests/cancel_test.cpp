// Stopping a run from the console: a key press, or Ctrl-C, between two files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <fstream>
#include <thread>

#include "tests/fixtures/process.h"
#include "tests/fixtures/terminal.h"

namespace {

// A folder whose only D64 is a pipe: the audit of the first walk blocks on
// it until the test opens it for writing, so the key arrives during that
// audit. (A pipe has no length, so it is then reported as unreadable.)
class CancelTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, mkfifo((dir / "wait.d64").c_str(), 0644));
    for (const char* name : {"a.prg", "b.prg", "c.t64"}) {
      WriteFile(dir / name, std::vector<uint8_t>{0x01, 0x08, 0x60});
    }
  }
  // Opening the write end is enough to release the audit, which then closes
  // the pipe at once: bytes written after that would raise SIGPIPE here.
  void FeedThePipe() { std::ofstream pipe(dir / "wait.d64", std::ios::binary); }
  std::string Dir() const { return "Dir: " + dir.path() + "/\n"; }

  TempDir dir;
};

TEST_F(CancelTest, KeyPressStopsAfterTheCurrentFileAndRestoresTheTerminal) {
  TerminalRun run({"-cc", "-d"}, dir.path());
  ASSERT_TRUE(run.WaitForError(Dir()));
  run.PressKey('q');
  FeedThePipe();
  RunResult result = run.Finish();
  EXPECT_EQ(0, result.exit_code);
  std::string later_walks;
  for (int i = 0; i < 9; ++i) later_walks += Dir();
  std::string pipe = dir / "wait.d64";
  EXPECT_NE(std::string::npos,
            result.err.find(Dir() + "\nErr: Unable to open file " + pipe + "\n.\nEmpty: " +
                            pipe + "\n\nUser cancelled\n" + later_walks + "\n\nDone.\n"))
      << result.err;
  EXPECT_EQ(std::string::npos, result.err.find(".prg")) << "no later file is audited";
  EXPECT_EQ(run.ModesBefore(), run.LocalModes());
}

TEST_F(CancelTest, FirstInterruptActsAsAKeyPress) {
  TerminalRun run({"-cc", "-d"}, dir.path());
  ASSERT_TRUE(run.WaitForError(Dir()));
  run.Signal(SIGINT);
  FeedThePipe();
  RunResult result = run.Finish();
  EXPECT_EQ(0, result.exit_code);
  EXPECT_NE(std::string::npos, result.err.find("\nUser cancelled\n")) << result.err;
  EXPECT_NE(std::string::npos, result.err.find("\n\nDone.\n"));
}

TEST_F(CancelTest, SecondInterruptEndsAtOnceWithTheTerminalRestored) {
  TerminalRun run({"-cc", "-d"}, dir.path());
  ASSERT_TRUE(run.WaitForError(Dir()));
  run.Signal(SIGINT);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  run.Signal(SIGINT);
  RunResult result = run.Finish();
  EXPECT_EQ(130, result.exit_code);
  EXPECT_EQ(std::string::npos, result.err.find("Done."));
  EXPECT_EQ(run.ModesBefore(), run.LocalModes());
}

}  // namespace
