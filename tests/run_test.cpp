// The run's framing, on the real binary: usage, dump mode, a missing
// database, output that cannot be written, a working folder without a path,
// and what a terminal is shown.
#include <gtest/gtest.h>

#include <algorithm>

#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/dat_files.h"
#include "tests/fixtures/process.h"
#include "tests/fixtures/terminal.h"

namespace {

const char kUsage[] =
    "\nDewmop - is your collection fresh?.\nv1.3g (Release)"
    "\n---------------------------------------------------------------\n"
    "Usage   : DEWMOP [options] [file]\n\n"
    "Dump    : DEWMOP or DEWMOP -d : all C64 in current dir only\n"
    "Redirect: DEWMOP -d > c64.txt\t<-Make a data file\n          DEWMOP | more\n\n"
    "Options : -d   Dump CRC info\n"
    "          -r   Rename\n"
    "          -s   Subdirs (one level only, sorry)\n"
    "          -c   Specify system: (REQUIRED)\n"
    "               -cc == C64\n"
    "\nTo rename C64, type 'dewmop -cc -r'\n";

TEST(Run, UsageWhenTheRunCannotStart) {
  TempDir dir;
  for (auto args : std::vector<std::vector<std::string>>{{}, {"-d"}, {"-cx"}, {"-cc", "-q"}}) {
    RunResult run = RunDewmop(args, dir.path());
    EXPECT_EQ(2, run.exit_code);
    EXPECT_EQ("", run.out);
    EXPECT_EQ(std::string(kUsage) + "\n\nDone.\n", run.err);
  }
}

TEST(Run, DumpModeInAnEmptyFolder) {
  TempDir dir;
  RunResult run = RunDewmop({"-cc"}, dir.path());
  EXPECT_EQ(0, run.exit_code);
  EXPECT_TRUE(IsMadeUpVersion(run.out, "C64")) << run.out;
  std::string expected = "Dewmop v1.3g (Release): Dump mode\nWarning- contents under pressure!\n\n";
  for (int i = 0; i < 10; ++i) expected += "Dir: " + dir.path() + "/\n";
  expected += "\nFiles audited: 0\n";
  expected += "  listed: 0, damaged: 0, empty: 0, unreadable: 0, no reader: 0\n\n\nDone.\n";
  EXPECT_EQ(expected, run.err);
}

TEST(Run, AmigaDumpWalksThreePatterns) {
  TempDir dir;
  RunResult run = RunDewmop({"-ca", "-d"}, dir.path());
  EXPECT_TRUE(IsMadeUpVersion(run.out, "Amiga")) << run.out;
  size_t dirs = 0;
  for (size_t at = 0; (at = run.err.find("Dir: ", at)) != std::string::npos; ++at) ++dirs;
  EXPECT_EQ(3u, dirs);
}

TEST(Run, MissingDatabase) {
  TempDir dir;
  for (const char* option : {"-r", "-i"}) {
    RunResult run = RunDewmop({"-cc", option}, dir.path());
    EXPECT_EQ(1, run.exit_code);
    EXPECT_EQ("", run.out);
    EXPECT_EQ("Error getting ingredients.\n\n\nDone.\n", run.err);
  }
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A dump into a full disk must not look like a whole one: the run stops at
// the first failed write and says so.
TEST(Run, StandardOutputThatCannotBeWrittenFailsTheRun) {
  TempDir dir;
  WriteFile(dir / "a.prg", SeededBytes(300, 1));
  int status = Shell("cd " + dir.path() + " && " + DEWMOP_BINARY + " -cc -d > /dev/full 2> err");
  EXPECT_EQ(4, status);
  std::string err = ReadText(dir / "err");
  EXPECT_TRUE(EndsWith(err, "\nErr: Unable to write standard output: No space left on device\n"
                           "\nFiles audited: 0\n  listed: 0, damaged: 0, empty: 0, unreadable: 0, "
                           "no reader: 0\n\n\nDone.\n"))
      << err;
  EXPECT_EQ(std::string::npos, err.find("\n.")) << "no file is audited for nothing";
}

// A working folder that was removed, or whose path is longer than the system
// takes, cannot be named by its path: the run says so and goes on in "./".
TEST(Run, WorkingFolderWithoutAUsablePath) {
  const std::string deep = "for i in $(seq 25); do mkdir " + std::string(200, 'd') + " && cd -P " +
                           std::string(200, 'd') + " || exit 1; done && echo x > a.prg";
  const struct {
    const char* script;  // from a fresh folder into the working folder
    const char* reason;
    const char* dumped;
  } cases[] = {
      {"mkdir gone && cd gone && rmdir ../gone", "No such file or directory", ""},
      {deep.c_str(), "File name too long", "a.prg;;;;;001;"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    int status = Shell("cd " + dir.path() + " && " + c.script + " && " + DEWMOP_BINARY + " -cc -d > " +
                       (dir / "out") + " 2> " + (dir / "err"));
    Shell("rm -rf " + (dir / std::string(200, 'd')));
    EXPECT_EQ(0, status) << c.reason;
    std::string err = ReadText(dir / "err");
    EXPECT_EQ(0u, err.find(std::string("Wrn: Unable to use the working folder's path (") + c.reason +
                           "); going on in ./\n"))
        << err;
    EXPECT_NE(std::string::npos, err.find("Dir: ./\n"));
    EXPECT_NE(std::string::npos, ReadText(dir / "out").find(c.dumped)) << "the run goes on in ./";
  }
}

// Escape sequences in a title or a file name reach a terminal as '?'; a
// file or a pipe gets every byte.
TEST(Run, ControlCharactersReachATerminalOnlyEscaped) {
  TempDir dir;
  Bytes game = SeededBytes(300, 1);
  WriteFile(dir / "game.prg", game);
  WriteFile(dir / "e\x1B[2J\r.prg", Bytes{});
  WriteFile(dir / "C64.dat", "C64 1.00\n" + DatLine("Game\x1B[31m\x07\x7F", {Crc(game)}));
  RunResult shown = RunOnTerminal({"-cc", "-i"}, dir.path());
  EXPECT_NE(std::string::npos, shown.out.find("Game: Game?[31m?? ")) << shown.out;
  EXPECT_NE(std::string::npos, shown.out.find("\nEmpty: " + dir.path() + "/e?[2J?.prg\n"));
  EXPECT_TRUE(std::none_of(shown.out.begin(), shown.out.end(), [](char c) {
    return (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') || c == 0x7F;
  }));

  RunResult written = RunDewmop({"-cc", "-i"}, dir.path());
  EXPECT_NE(std::string::npos, written.out.find("Game: Game\x1B[31m\x07\x7F "));
  EXPECT_NE(std::string::npos, written.err.find("\nEmpty: " + dir.path() + "/e\x1B[2J\r.prg\n"));
}

}  // namespace
