// Stopping a run and runs that may not write: a key press or Ctrl-C between
// two files, with one worker or several, a second Ctrl-C at any moment, and
// folders that refuse moves or the have file. No file is lost or half
// written, and the terminal comes back as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/dat_files.h"
#include "tests/fixtures/process.h"

namespace {

void Sleep(int microseconds) { std::this_thread::sleep_for(std::chrono::microseconds(microseconds)); }

// A run whose standard input is a pseudo-terminal, as at a console where the
// user can press a key. Standard error goes into a pipe of one page that
// Finish alone reads: the run stalls once it has said 4 KiB.
struct TerminalRun {
  TerminalRun(const std::vector<std::string>& args, const std::string& directory) {
    openpty(&master, &slave, nullptr, nullptr, nullptr);
    tcgetattr(slave, &before);
    int pipe_fds[2], null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    pipe2(pipe_fds, O_CLOEXEC);
    fcntl(pipe_fds[1], F_SETPIPE_SZ, 4096);
    pid = StartDewmop(args, directory, slave, null, pipe_fds[1]);
    for (int fd : {null, pipe_fds[1]}) close(fd);
    errors = pipe_fds[0];
  }
  ~TerminalRun() {
    if (pid > 0 && kill(pid, SIGKILL) == 0) WaitForExit(pid);
    for (int fd : {master, slave, errors}) close(fd);
  }
  // A message is written whole or not at all: a pipe nearly full stalls the
  // run at its next message or so.
  bool WaitUntilStalled() {
    for (int i = 0, queued = 0; i < 1000; ++i, Sleep(10000))
      if (ioctl(errors, FIONREAD, &queued) == 0 && queued > 4096 - 512) return true;
    return false;
  }
  // The terminal hands a key on asynchronously; waiting until it is there
  // keeps a busy machine from delivering it after the next file.
  void PressKey(char key) {
    struct pollfd reader = {slave, POLLIN, 0};
    if (write(master, &key, 1) == 1) poll(&reader, 1, 5000);
  }
  RunResult Finish() {
    RunResult result;
    char chunk[4096];
    for (ssize_t n; (n = read(errors, chunk, sizeof chunk)) > 0;) result.err.append(chunk, n);
    result.exit_code = WaitForExit(pid);
    pid = -1;
    return result;
  }
  bool Restored() const {
    struct termios now;
    return tcgetattr(slave, &now) == 0 && now.c_lflag == before.c_lflag;
  }
  int master = -1, slave = -1, errors = -1, pid = -1;
  struct termios before;
};

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// The version line, then the indices `first` to `last`.
std::string HaveFile(uint16_t first, uint16_t last) {
  std::string have = "C64 1.00\n";
  for (uint16_t i = first; i <= last; ++i) have += {static_cast<char>(i & 0xFF), static_cast<char>(i >> 8)};
  return have;
}

// A rename run over empty programs, which the audit reports one by one, and
// as many that the DAT file names, stopped once it stalls: the files
// reported are the first of the walk, the named ones among them are moved,
// and nothing of a later file is printed or moved. A second Ctrl-C ends the
// run at once (ThreadSanitizer holds a signal back while the run is blocked,
// so two in quick succession arrive as one there).
TEST(Cancel, StopBetweenTwoFiles) {
#if defined(__SANITIZE_THREAD__)
  constexpr int kTwice = 1, kKilled = 0;
#else
  constexpr int kTwice = 2, kKilled = 130;
#endif
  const struct {
    char key;  // or 0
    int interrupts, exit_code;
  } cases[] = {{'q', 0, 0}, {0, 1, 0}, {0, kTwice, kKilled}};
  for (const std::string workers : {"-j1", "-j4"}) {
    for (const auto& k : cases) {
      TempDir dir;
      std::string dat = "C64 1.00\n";
      for (int i = 0; i < 300; ++i) {
        WriteFile(dir / ("p" + std::to_string(i) + ".prg"), Bytes{});
        WriteFile(dir / ("t" + std::to_string(i) + ".prg"), SeededBytes(40, i + 1));
        dat += DatLine("Title " + std::to_string(i), {Crc(SeededBytes(40, i + 1))});
      }
      WriteFile(dir / "C64.dat", dat);
      std::vector<std::string> order;  // the walk's
      for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().extension() == ".prg") order.push_back(entry.path().filename());
      TerminalRun run({"-cc", "-r", workers}, dir.path());
      ASSERT_TRUE(run.WaitUntilStalled());
      if (k.key != 0) run.PressKey(k.key);
      for (int i = 0; i < k.interrupts; ++i, Sleep(50000)) kill(run.pid, SIGINT);
      const RunResult result = run.Finish();
      const std::string what = workers + std::to_string(k.interrupts), walk = "Dir: " + dir.path() + "/\n";
      EXPECT_EQ(k.exit_code, result.exit_code) << what;
      EXPECT_TRUE(run.Restored()) << what;
      const size_t stop = result.err.find("\nUser cancelled\n"), end = result.err.find("\nUnloading Data\n");
      if (k.exit_code == 0) {
        ASSERT_NE(std::string::npos, end) << result.err;
        EXPECT_EQ("", Replaced(result.err.substr(stop + 16, end - stop - 16), walk, "")) << "later walks";
      }
      EXPECT_EQ(k.exit_code == 0, result.err.ends_with("\n\nDone.\n")) << what;
      // Each file reported gave one progress mark, an empty one its message.
      const std::string marks = Replaced(result.err.substr(0, stop), "\nEmpty: " + dir.path() + "/p", "");
      const size_t reported = Count(marks.substr(marks.rfind(walk)), ".") - Count(marks, ".prg");
      ASSERT_LT(reported, order.size()) << what;
      bool kept = false;  // a named program before this one stayed
      for (size_t i = 0; i < order.size(); ++i) {
        if (order[i][0] != 't') continue;
        const bool moved = !FileExists(dir / order[i]);
        EXPECT_EQ(moved, FileExists(dir / ("ren/Title " + order[i].substr(1, order[i].size() - 5) + ".prg")));
        EXPECT_TRUE(k.exit_code != 0 || (i < reported) == moved) << what << " " << order[i];
        EXPECT_FALSE(moved && kept) << what << " " << order[i];
        kept |= !moved;
      }
    }
  }
}

// A rename run with a large database, interrupted twice at moments spread
// over its whole length: the terminal always comes back as it was, and the
// have file is the old one or the one an uninterrupted run writes (the
// first, with no interrupt), never a part of either.
TEST(Cancel, InterruptAtAnyMomentLeavesTheOldOrTheNewHaveFile) {
  std::string fresh;
  for (int delay = -1; delay <= 60000; delay += 3000) {
    TempDir dir;
    WriteFile(dir / "C64.dat", NumberedDat(3000) + DatLine("Game", {Crc(SeededBytes(2000, 7))}));
    WriteFile(dir / "C64have.dat", HaveFile(1, 1500));
    WriteFile(dir / "game.prg", SeededBytes(2000, 7));
    WriteFile(dir / "other.prg", SeededBytes(500, 8));
    if (delay < 0) {
      ASSERT_EQ(0, RunDewmop({"-cc", "-r"}, dir.path()).exit_code);
      fresh = ReadText(dir / "C64have.dat");
      ASSERT_EQ(HaveFile(1, 1500).size() + 2, fresh.size());
      continue;
    }
    TerminalRun run({"-cc", "-r"}, dir.path());
    for (int pause : {delay, 500}) Sleep(pause), kill(run.pid, SIGINT);
    run.Finish();
    EXPECT_TRUE(run.Restored()) << "after " << delay << " us";
    const std::string have = ReadText(dir / "C64have.dat");
    EXPECT_TRUE(have == HaveFile(1, 1500) || have == fresh) << "after " << delay << " us: " << have.size();
  }
}

// Control characters in a name reach a terminal as '?', a file every byte.
TEST(Cancel, ControlCharactersReachATerminalEscaped) {
  TempDir dir;
  WriteFile(dir / "e\x1B[2J\x7F.prg", Bytes{});
  int master, slave;
  openpty(&master, &slave, nullptr, nullptr, nullptr);
  const int pid = StartDewmop({"-cc"}, dir.path(), slave, slave, slave);
  close(slave);
  std::string shown;
  char chunk[4096];
  for (ssize_t n; (n = read(master, chunk, sizeof chunk)) > 0;) shown.append(chunk, n);
  WaitForExit(pid);
  close(master);
  EXPECT_NE(std::string::npos, shown.find("Empty: " + dir.path() + "/e?[2J?.prg\r\n")) << shown;
  EXPECT_NE(std::string::npos, RunDewmop({"-cc"}, dir.path()).err.find("/e\x1B[2J\x7F.prg\n"));
}

// A folder that refuses new entries: every move fails with its reason and
// every file stays as it was. Where only the database's folder refuses, the
// moves go on and the have file keeps its old bytes, with no scratch file
// left behind. The run is made by a user whom permission bits bind.
TEST(Cancel, FoldersThatMayNotBeWritten) {
  const struct {
    std::string games;  // the programs' folder
    std::vector<std::string> args, messages;
  } cases[] = {
      {"", {"-cc", "-r"},
       {"game.prg to ROOT/ren/Game.prg: Permission denied\n", "game.prg to ROOT/Game.prg: Permission denied\n",
        "other.prg to ROOT/ren/Other.prg: Permission denied\n", "other.prg to ROOT/Other.prg: Permission denied\n"}},
      {"games/", {"-cc", "-r", "-s"}, {"\nErr: Unable to write C64have.dat: Permission denied\n"}},
  };
  for (const auto& k : cases) {
    TempDir dir;
    const Bytes game = SeededBytes(900, 1), other = SeededBytes(700, 2);
    MakeFolder(dir / k.games);
    WriteFile(dir / (k.games + "game.prg"), game);
    WriteFile(dir / (k.games + "other.prg"), other);
    WriteFile(dir / "C64.dat", "C64 1.00\n" + DatLine("Game", {Crc(game)}) + DatLine("Other", {Crc(other)}) +
                                   DatLine("Kept", {3}));
    WriteFile(dir / "C64have.dat", HaveFile(3, 3));
    chmod((dir / k.games).c_str(), 0777);
    chmod(dir.path().c_str(), 0555);
    auto names = [&] {
      std::vector<std::string> names;
      for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.push_back(entry.path());
      return names;
    };
    const std::vector<std::string> before = names();
    const RunResult run = RunDewmop(k.args, dir.path(), true);
    EXPECT_EQ(0, run.exit_code);
    EXPECT_TRUE(run.err.ends_with("\n\nDone.\n"));
    for (const std::string& message : k.messages)
      EXPECT_NE(std::string::npos, Replaced(run.err, dir.path(), "ROOT").find(message)) << run.err;
    EXPECT_EQ(HaveFile(3, 3), ReadText(dir / "C64have.dat"));
    EXPECT_EQ(game, ReadFile(dir / (k.games.empty() ? "game.prg" : "games/ren/Game.prg")));
    EXPECT_EQ(other, ReadFile(dir / (k.games + (k.games.empty() ? "other.prg" : "ren/Other.prg"))));
    EXPECT_EQ(before, names()) << "no file moved, no folder or file made";
  }
}

}  // namespace
