// The run's framing, on the real binary: usage, dump mode, a missing database.
#include <gtest/gtest.h>

#include "tests/fixtures/dat_files.h"
#include "tests/fixtures/process.h"

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
  expected += "\n\nDone.\n";
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

}  // namespace
