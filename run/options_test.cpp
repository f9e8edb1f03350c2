// The command line: right-to-left visiting, profiles and patterns.
#include "run/options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Parsed {
  RunFlags flags;
  std::string file;
  const SystemProfile* profile;
};

Parsed Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "dewmop");
  std::string file;
  testing::internal::CaptureStderr();
  RunFlags flags = ParseOptions(static_cast<int>(args.size()), args.data(), &file);
  testing::internal::GetCapturedStderr();
  return {flags, file, CurrentProfile()};
}

TEST(ParseOptions, FlagWords) {
  EXPECT_EQ(0x20u, Parse({"-cc"}).flags);
  EXPECT_EQ(0x21u, Parse({"-cc", "-d"}).flags);
  EXPECT_EQ(0x32u, Parse({"-cc", "-r", "-s"}).flags);
  EXPECT_EQ(0x21u, Parse({"-Cc", "-D"}).flags) << "the option letter ignores case";
  EXPECT_EQ(0x21u, Parse({"-cc", "-dr"}).flags) << "only the second character counts";
  Parsed amiga = Parse({"-ca", "-i", "game.adf"});
  EXPECT_EQ(0x160u, amiga.flags);
  EXPECT_EQ("game.adf", amiga.file);
  EXPECT_EQ(&kAmigaProfile, amiga.profile);
}

TEST(ParseOptions, SystemLetterMustBeLowerCaseAOrC) {
  for (const char* bad : {"-cC", "-c", "-cx", "-C"}) {
    EXPECT_EQ(0u, Parse({bad}).flags) << bad;
  }
  Parsed upper_option = Parse({"-Cc"});
  EXPECT_EQ(0x20u, upper_option.flags);
  EXPECT_EQ(&kC64Profile, upper_option.profile);
}

TEST(ParseOptions, UnknownOptionClearsWhatWasGatheredAndEndsTheVisit) {
  EXPECT_EQ(0x20u, Parse({"-d", "-x", "-cc"}).flags);
  EXPECT_EQ(0u, Parse({"-cc", "-x", "-d"}).flags);
  EXPECT_EQ(0u, Parse({"-cc", "-"}).flags);
  EXPECT_EQ(0u, Parse({"-cc", "--d"}).flags);
}

TEST(ParseOptions, LeftmostSystemAndLeftmostFileWin) {
  EXPECT_EQ(&kAmigaProfile, Parse({"-ca", "-cc"}).profile);
  EXPECT_EQ(0u, Parse({"-cx", "-cc"}).flags);
  Parsed two_files = Parse({"a.d64", "b.d64", "-cc"});
  EXPECT_EQ("a.d64", two_files.file);
  EXPECT_EQ(RF_WALK | RF_SINGLE_FILE, two_files.flags);
}

TEST(ParseOptions, WildcardIsAcceptedAndSelectsNothing) {
  Parsed wild = Parse({"*.d64", "-cc"});
  EXPECT_EQ(RF_WALK, wild.flags);
  EXPECT_EQ("", wild.file);
  Parsed with_file = Parse({"*.d64", "game.d64", "-cc"});
  EXPECT_EQ("game.d64", with_file.file);
  EXPECT_EQ(0u, Parse({"*.d64"}).flags);
}

TEST(ParseOptions, LongArgumentIsKeptWhole) {
  std::string name(5000, 'x');
  Parsed parsed = Parse({name.c_str(), "-cc"});
  EXPECT_EQ(name, parsed.file);
}

TEST(ParseOptions, NoArgumentsPrintsUsage) {
  const char* argv[] = {"dewmop"};
  std::string file;
  testing::internal::CaptureStderr();
  EXPECT_EQ(0u, ParseOptions(1, argv, &file));
  std::string usage = testing::internal::GetCapturedStderr();
  EXPECT_EQ(0u, usage.find("\nDewmop - is your collection fresh?.\nv1.3g (Release)\n---"));
  EXPECT_NE(std::string::npos, usage.find("c64.txt\t<-Make a data file\n"));
}

std::vector<std::string> AllPatterns() {
  std::vector<std::string> patterns;
  std::string pattern;
  while (int index = NextPattern(&pattern)) {
    EXPECT_EQ(static_cast<int>(patterns.size()) + 1, index);
    patterns.push_back(pattern);
  }
  EXPECT_EQ("", pattern);
  return patterns;
}

TEST(NextPattern, WalksTheTableTwiceAlike) {
  ASSERT_EQ(1, SelectProfile("c"));
  std::vector<std::string> c64 = {"*.D64", "*.T64", "*.PRG", "*.P00",
                                  "*.CRT", "*.G64", "*.TAP", "*.ZIP"};
  EXPECT_EQ(c64, AllPatterns());
  EXPECT_EQ(c64, AllPatterns());
  ASSERT_EQ(1, SelectProfile("amiga"));
  std::vector<std::string> amiga = {"*.ADF", "*.ADZ", "*.ZIP"};
  EXPECT_EQ(amiga, AllPatterns());
  EXPECT_EQ(amiga, AllPatterns());
  EXPECT_EQ(0, SelectProfile("A"));
  EXPECT_EQ(&kAmigaProfile, CurrentProfile()) << "a failed selection keeps the profile";
}

}  // namespace
