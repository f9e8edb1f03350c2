// The directory walk on a real folder tree.
#include "run/walk.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/platform.h"
#include "tests/fixtures/process.h"

namespace {

// `path` written with '/' as written with the system's separator.
std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', platform::kSeparator);
  return path;
}

struct Visit {
  std::string name;
  std::string directory;
  RunFlags flags;
};

class WalkTest : public testing::Test {
 protected:
  // Walks with a per-file operation that records each visit and returns
  // `answer` (0 asks to stop); a key arrives once `key_after` files were
  // handed on, and stays waiting.
  uint32_t Walk(const std::string& pattern, RunFlags flags, uint32_t answer = 1) {
    PerFileOperation record = [&](const std::string& name,
                                  const std::string& directory, RunFlags f) {
      visits.push_back({name, directory, f});
      return answer;
    };
    return walker.WalkDirectory(top, record, pattern, flags);
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& v : visits) {
      std::string name = v.directory.substr(top.size()) + v.name;
      std::replace(name.begin(), name.end(), platform::kSeparator, '/');
      names.push_back(name);
    }
    return names;
  }

  TempDir dir;
  std::string top = dir / "";
  size_t key_after = 1000;
  std::vector<Visit> visits;
  MessageLog log;
  DirectoryWalker walker{[this] { return visits.size() >= key_after; }, log};
  std::string Messages() const { return log.Text(Stream::kErr); }
};

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(Wildcard, MatchesIgnoringCase) {
  EXPECT_TRUE(WildcardMatch("*.D64", "game.d64"));
  EXPECT_TRUE(WildcardMatch("*.d64", "GAME.D64"));
  EXPECT_TRUE(WildcardMatch("*.D64", ".d64"));
  EXPECT_FALSE(WildcardMatch("*.D64", "game.d64x"));
  EXPECT_FALSE(WildcardMatch("*.D64", "game.t64"));
  EXPECT_TRUE(WildcardMatch("*.*", "noextension"));
  EXPECT_TRUE(WildcardMatch("a?c*", "abcdef"));
  EXPECT_TRUE(WildcardMatch("*.zip", "a.zip.zip"));
}

TEST_F(WalkTest, MatchesByExtensionIgnoringCaseAndSkipsDotNames) {
  for (const char* name : {"a.d64", "B.D64", "c.t64", ".hidden.d64", "d.d64x"})
    WriteFile(dir / name, std::string("x"));
  EXPECT_EQ(2u, Walk("*.D64", RF_WALK));
  EXPECT_EQ(Sorted({"B.D64", "a.d64"}), Sorted(Names()));
  EXPECT_EQ("Dir: " + top + "\n", Messages());
  EXPECT_EQ(RF_WALK, visits[0].flags);
}

TEST_F(WalkTest, SubdirectoriesOneLevelDeepBeforeTheTopFiles) {
  WriteFile(dir / "top.d64", std::string("x"));
  MakeFolder(dir / "sub/deeper");
  WriteFile(dir / "sub/inner.d64", std::string("x"));
  WriteFile(dir / "sub/deeper/tooDeep.d64", std::string("x"));
  MakeFolder(dir / ".dotdir");
  WriteFile(dir / ".dotdir/hidden.d64", std::string("x"));
  EXPECT_EQ(1u, Walk("*.D64", RF_WALK | RF_SUBDIRS)) << "subfolder files not counted";
  EXPECT_EQ((std::vector<std::string>{"sub/inner.d64", "top.d64"}), Names());
  EXPECT_EQ(Native("Dir: " + top + "sub/\nDir: " + top + "\n"), Messages());
  for (const auto& v : visits) EXPECT_EQ(0u, v.flags & RF_SUBDIRS);
}

TEST_F(WalkTest, FolderNamedLikeThePatternIsHandedOnAndWalked) {
  MakeFolder(dir / "Games.D64");
  WriteFile(dir / "Games.D64/inner.d64", std::string("x"));
  EXPECT_EQ(1u, Walk("*.d64", RF_SUBDIRS));
  EXPECT_EQ((std::vector<std::string>{"Games.D64/inner.d64", "Games.D64"}), Names());
}

TEST_F(WalkTest, ZeroFromTheOperationStopsThisAndEveryLaterWalk) {
  WriteFile(dir / "a.d64", std::string("x"));
  WriteFile(dir / "b.d64", std::string("x"));
  EXPECT_EQ(0u, Walk("*.d64", 0, 0));
  EXPECT_EQ(1u, visits.size());
  EXPECT_TRUE(walker.StopRequested());
  EXPECT_EQ(0u, Walk("*.d64", 0));
  EXPECT_EQ(1u, visits.size());
  EXPECT_EQ("Dir: " + top + "\nDir: " + top + "\n", Messages())
      << "a stopped walk still names its folder, silently";
}

TEST_F(WalkTest, KeyPressStopsAfterTheCurrentFile) {
  for (const char* name : {"a.d64", "b.d64", "c.d64"}) WriteFile(dir / name, std::string("x"));
  key_after = 1;
  EXPECT_EQ(1u, Walk("*.d64", 0));
  EXPECT_EQ("Dir: " + top + "\n\nUser cancelled\n", Messages());
  EXPECT_EQ(0u, Walk("*.d64", 0));
  EXPECT_EQ(1u, visits.size());
}

TEST_F(WalkTest, KeyInANestedWalkIsReportedTwice) {
  MakeFolder(dir / "sub");
  WriteFile(dir / "sub/a.d64", std::string("x"));
  WriteFile(dir / "top.d64", std::string("x"));
  key_after = 1;
  EXPECT_EQ(0u, Walk("*.d64", RF_SUBDIRS));
  EXPECT_EQ((std::vector<std::string>{"sub/a.d64"}), Names());
  EXPECT_EQ(Native("Dir: " + top + "sub/\n\nUser cancelled\n\nUser cancelled\nDir: " + top + "\n"),
            Messages());
}

TEST_F(WalkTest, MissingFolderIsNotAnError) {
  top = dir / "missing/";
  EXPECT_EQ(0u, Walk("*.d64", RF_SUBDIRS));
  EXPECT_EQ("Dir: " + top + "\n", Messages());
}

}  // namespace
