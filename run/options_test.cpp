// The command line: right-to-left visiting, profiles and patterns.
#include "run/options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Parsed {
  RunFlags flags;
  std::string file;
  const SystemProfile* profile;
  std::string report;
};

Parsed Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "dewmop");
  RunState run;
  NullSink sink;
  RunFlags flags = ParseOptions(static_cast<int>(args.size()), args.data(), run, sink);
  return {flags, run.fileName, run.profile, run.reportPath};
}

// Arguments are visited right to left: an unknown option clears what was
// gathered and ends the visit, the leftmost system, file and report win, the
// option letter ignores case but the system letter must be a lower-case a
// or c. The report's name is the rest of its word.
TEST(ParseOptions, Table) {
  const struct {
    std::vector<const char*> args;
    RunFlags flags;
    std::string file;
    const SystemProfile* profile;
    std::string report = "";
  } cases[] = {
      {{"-cc"}, 0x20, "", &kC64Profile},
      {{"-cc", "-d"}, 0x21, "", &kC64Profile},
      {{"-cc", "-r", "-s"}, 0x32, "", &kC64Profile},
      {{"-Cc", "-D"}, 0x21, "", &kC64Profile},
      {{"-cc", "-dr"}, 0x21, "", &kC64Profile},  // only the second character counts
      {{"-ca", "-i", "game.adf"}, 0x160, "game.adf", &kAmigaProfile},
      {{"-cC"}, 0, "", nullptr},
      {{"-c"}, 0, "", nullptr},
      {{"-cx"}, 0, "", nullptr},
      {{"-C"}, 0, "", nullptr},
      {{"-d", "-x", "-cc"}, 0x20, "", &kC64Profile},
      {{"-x", "-d", "-cc"}, 0x20, "", &kC64Profile},
      {{"-cc", "-x", "-d"}, 0, "", nullptr},
      {{"-cc", "-"}, 0, "", nullptr},
      {{"-cc", "--d"}, 0, "", nullptr},
      {{"-ca", "-cc"}, RF_WALK, "", &kAmigaProfile},
      {{"-cx", "-cc"}, 0, "", nullptr},
      {{"a.d64", "b.d64", "-cc"}, RF_WALK | RF_SINGLE_FILE, "a.d64", &kC64Profile},
      {{"*.d64", "-cc"}, RF_WALK, "", &kC64Profile},  // a wildcard selects nothing
      {{"*.d64", "game.d64", "-cc"}, RF_WALK | RF_SINGLE_FILE, "game.d64", &kC64Profile},
      {{"*.d64"}, 0, "", nullptr},
      {{"-cc", "-r", "-N"}, 0x222, "", &kC64Profile},
      {{"-cc", "-oout.csv", "game.d64"}, 0x60, "game.d64", &kC64Profile, "out.csv"},
      {{"-cc", "-Oa.csv", "-ob.csv"}, 0x20, "", &kC64Profile, "a.csv"},
      {{"-cc", "-o", "out.csv"}, 0, "out.csv", nullptr},  // the next word is no report name
      {{"-x", "-oout.csv", "-cc"}, 0x20, "", &kC64Profile},
  };
  for (const auto& c : cases) {
    Parsed parsed = Parse(c.args);
    std::string line;
    for (const char* arg : c.args) line += std::string(arg) + " ";
    EXPECT_EQ(c.flags, parsed.flags) << line;
    EXPECT_EQ(c.file, parsed.file) << line;
    EXPECT_EQ(c.report, parsed.report) << line;
    if (c.profile) {
      EXPECT_EQ(c.profile, parsed.profile) << line;
    }
  }
}

// -j<n>: the digits are the worker count; none or 0 asks for one per CPU;
// anything else is an unknown option. The leftmost counts.
TEST(ParseOptions, WorkerCount) {
  const struct {
    std::vector<const char*> args;
    RunFlags flags;
    unsigned workers;
  } cases[] = {
      {{"-cc", "-j4"}, 0x20, 4},        {{"-cc", "-j"}, 0x20, 0},
      {{"-cc", "-j0"}, 0x20, 0},        {{"-cc", "-J12", "-d"}, 0x21, 12},
      {{"-cc", "-j256"}, 0x20, 256},    {{"-j2", "-j3", "-cc"}, 0x20, 2},
      {{"-cc", "-j257"}, 0, 0},         {{"-cc", "-jx"}, 0, 0},
      {{"-cc", "-j4x"}, 0, 0},          {{"-cc", "-j-1"}, 0, 0},
      {{"-j4x", "-d", "-cc"}, 0x20, 0},
  };
  for (const auto& c : cases) {
    std::vector<const char*> args = c.args;
    args.insert(args.begin(), "dewmop");
    RunState run;
    NullSink sink;
    std::string line;
    for (const char* arg : c.args) line += std::string(arg) + " ";
    EXPECT_EQ(c.flags, ParseOptions(static_cast<int>(args.size()), args.data(), run, sink)) << line;
    EXPECT_EQ(c.workers, run.workers) << line;
  }
}

TEST(ParseOptions, LongArgumentIsKeptWhole) {
  std::string name(5000, 'x');
  Parsed parsed = Parse({name.c_str(), "-cc"});
  EXPECT_EQ(name, parsed.file);
}

TEST(ParseOptions, NoArgumentsPrintsUsage) {
  const char* argv[] = {"dewmop"};
  RunState run;
  MessageLog log;
  EXPECT_EQ(0u, ParseOptions(1, argv, run, log));
  std::string usage = log.Text(Stream::kErr);
  EXPECT_EQ(0u, usage.find("\nDewmop - is your collection fresh?.\nv1.3g (Release)\n---"));
  EXPECT_NE(std::string::npos, usage.find("c64.txt\t<-Make a data file\n"));
}

std::vector<std::string> AllPatterns(RunState& run) {
  std::vector<std::string> patterns;
  std::string pattern;
  while (int index = NextPattern(run, &pattern)) {
    EXPECT_EQ(static_cast<int>(patterns.size()) + 1, index);
    patterns.push_back(pattern);
  }
  EXPECT_EQ("", pattern);
  return patterns;
}

TEST(NextPattern, WalksTheTableTwiceAlike) {
  RunState run;
  ASSERT_EQ(1, SelectProfile(run, "c"));
  std::vector<std::string> c64 = {"*.D64", "*.T64", "*.PRG", "*.P00",
                                  "*.CRT", "*.G64", "*.TAP", "*.ZIP", "*.D71", "*.D81"};
  EXPECT_EQ(c64, AllPatterns(run));
  EXPECT_EQ(c64, AllPatterns(run));
  ASSERT_EQ(1, SelectProfile(run, "amiga"));
  std::vector<std::string> amiga = {"*.ADF", "*.ADZ", "*.ZIP"};
  EXPECT_EQ(amiga, AllPatterns(run));
  EXPECT_EQ(amiga, AllPatterns(run));
  EXPECT_EQ(0, SelectProfile(run, "A"));
  EXPECT_EQ(&kAmigaProfile, run.profile) << "a failed selection keeps the profile";
}

}  // namespace
