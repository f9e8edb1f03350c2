// The command line: flags, profile, file, report and workers; the usage.
#include "run/options.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

// A run that cannot start prints this, and only this, on standard error.
const std::string kUsage =
    "\nDewmop - is your collection fresh?.\nv1.3g (Release)\n----------------------------------"
    "-----------------------------\nUsage   : DEWMOP [options] [file]\n\nDump    : DEWMOP or DE"
    "WMOP -d : all C64 in current dir only\nRedirect: DEWMOP -d > c64.txt\t<-Make a data file\n"
    "          DEWMOP | more\n\nOptions : -d   Dump CRC info\n          -r   Rename\n        "
    "  -s   Subdirs (one level only, sorry)\n          -c   Specify system: (REQUIRED)\n      "
    "         -cc == C64\n\nTo rename C64, type 'dewmop -cc -r'\n";

// Arguments are visited right to left: an unknown option (a -j count that is
// none or above 256 too) clears what was gathered and ends the visit; the
// leftmost system, file, report and count win. The option letter ignores
// case; the system letter is a lower-case a or c; the report's name and the
// count are the rest of their word. A wildcard selects nothing.
TEST(ParseOptions, Table) {
  const struct {
    std::vector<const char*> args;
    RunFlags flags;  // 0: the usage, and nothing else counts
    const SystemProfile* profile = &kC64Profile;
    std::string file = "", report = "";
    unsigned workers = 0;
  } cases[] = {
      {{}, 0},
      {{"-Cc", "-D", "-r", "-S", "-i", "-N"}, 0x333},
      {{"-cc", "-dr"}, RF_WALK | RF_DUMP},  // only the second character counts
      {{"-ca", "-cc", "game.adf", "b.adf", "*.d64"}, 0x60, &kAmigaProfile, "game.adf"},
      {{"-cC", "-cc"}, 0},
      {{"-d", "-x", "-cc"}, RF_WALK},
      {{"-cc", "-Oa.csv", "-ob.csv"}, RF_WALK, &kC64Profile, "", "a.csv"},
      {{"-cc", "-o", "out.csv"}, 0},
      {{"-x", "-oout.csv", "-cc"}, RF_WALK},
      {{"-cc", "-J256", "-j4"}, RF_WALK, &kC64Profile, "", "", 256},
      {{"-cc", "-j257"}, 0},
      {{"-j4x", "-d", "-cc"}, RF_WALK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    std::vector<const char*> argv = {"dewmop"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    RunState run;
    MessageLog log;
    EXPECT_EQ(c.flags, ParseOptions(static_cast<int>(argv.size()), argv.data(), run, log));
    EXPECT_EQ(c.flags == 0 ? kUsage : "", log.Text(Stream::kErr));
    if (c.flags == 0) continue;
    EXPECT_EQ(std::tie(c.profile, c.file, c.report, c.workers),
              std::tie(run.profile, run.fileName, run.reportPath, run.workers));
  }
}
