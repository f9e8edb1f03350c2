// Canonical names and moves: into ren/ and dupes/, retries, extensions, and
// never a file replaced.
#include "audit/identify.h"

#include <gtest/gtest.h>

#include "tests/fixtures/process.h"

namespace {

class RelocateTest : public testing::Test {
 protected:
  std::string Make(const std::string& name, const std::string& content = "disk") {
    size_t slash = name.rfind('/');
    if (slash != std::string::npos) MakeFolder(dir / name.substr(0, slash));
    WriteFile(dir / name, content);
    return dir / name;
  }
  std::string Text(const std::string& name) { return ReadText(dir / name); }
  TempDir dir;
};

TEST(CanonicalName, TitleAndCrackName) {
  DatRecord record;
  record.name = "Game";
  record.crackName = "Grp";
  EXPECT_EQ("Game (Grp)", CanonicalName(record));
  record.crackName.clear();
  EXPECT_EQ("Game", CanonicalName(record));
}

TEST_F(RelocateTest, IntoSubfolderKeepingTheExtensionAsWritten) {
  EXPECT_TRUE(RelocateFile(Make("game.D64"), "ren", "Game (Grp)", false));
  EXPECT_EQ("disk", Text("ren/Game (Grp).D64"));
  EXPECT_FALSE(FileExists(dir / "game.D64"));
}

TEST_F(RelocateTest, TitleEndingInTheExtensionGetsNoSecondOne) {
  EXPECT_TRUE(RelocateFile(Make("a.d64"), "ren", "Disk.d64", false));
  EXPECT_TRUE(FileExists(dir / "ren/Disk.d64"));
  EXPECT_TRUE(RelocateFile(Make("b.d64"), "ren", "Other.D64", false));
  EXPECT_TRUE(FileExists(dir / "ren/Other.D64.d64")) << "case counts";
  EXPECT_TRUE(RelocateFile(Make("noext"), "ren", "Plain", false));
  EXPECT_TRUE(FileExists(dir / "ren/Plain"));
}

TEST_F(RelocateTest, RetriesOnTheLastCharacterAndNeverReplaces) {
  Make("dupes/Game.d64", "first");
  Make("dupes/Game.d60", "second");
  EXPECT_FALSE(RelocateFile(Make("third.d64", "third"), "dupes", "Game", true))
      << "the result reports the first move only";
  EXPECT_EQ("first", Text("dupes/Game.d64"));
  EXPECT_EQ("second", Text("dupes/Game.d60"));
  EXPECT_EQ("third", Text("dupes/Game.d61"));
}

TEST_F(RelocateTest, AfterElevenAttemptsTheFileStays) {
  MakeFolder(dir / "dupes");
  Make("dupes/Game.d64");
  for (char c = '0'; c <= '9'; ++c) Make(std::string("dupes/Game.d6") + c);
  EXPECT_FALSE(RelocateFile(Make("last.d64", "last"), "dupes", "Game", true));
  EXPECT_EQ("last", Text("last.d64"));
}

TEST_F(RelocateTest, WithoutRetriesAnExistingTargetFails) {
  Make("ren/Game.d64", "old");
  EXPECT_FALSE(RelocateFile(Make("new.d64", "new"), "ren", "Game", false));
  EXPECT_EQ("old", Text("ren/Game.d64"));
  EXPECT_EQ("new", Text("new.d64"));
}

TEST_F(RelocateTest, InPlaceRename) {
  EXPECT_TRUE(RelocateFile(Make("x.prg"), "", "Title", true));
  EXPECT_TRUE(FileExists(dir / "Title.prg"));
}

TEST_F(RelocateTest, NamesThatWouldLeaveTheFolderAreRefused) {
  std::string source = Make("x.d64");
  for (const char* name : {"../escape", "a/b", "..", "."}) {
    EXPECT_FALSE(RelocateFile(source, "", name, true)) << name;
    EXPECT_FALSE(RelocateFile(source, "ren", name, false)) << name;
  }
  EXPECT_TRUE(FileExists(source));
}

TEST_F(RelocateTest, SubfolderThatCannotBeMadeLeavesTheFile) {
  Make("ren", "a file, not a folder");
  std::string source = Make("x.d64");
  EXPECT_FALSE(RelocateFile(source, "ren", "Game", false));
  EXPECT_TRUE(FileExists(source));
}

TEST_F(RelocateTest, ExtensionComesFromTheFileNameNotTheFolder) {
  MakeFolder(dir / "c64.collection");
  std::string source = Make("c64.collection/game");
  EXPECT_TRUE(RelocateFile(source, "ren", "Game", false));
  EXPECT_TRUE(FileExists(dir / "c64.collection/ren/Game"));
}

}  // namespace
