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

// The extension is the file name's as written, not added when the title
// already ends in it (case counts), nor taken from a folder's name.
TEST_F(RelocateTest, IntoSubfolderOrInPlaceWithTheFilesExtension) {
  const struct {
    const char *file, *folder, *title, *target;
  } cases[] = {
      {"game.D64", "ren", "Game (Grp)", "ren/Game (Grp).D64"},
      {"a.d64", "ren", "Disk.d64", "ren/Disk.d64"},
      {"b.d64", "ren", "Other.D64", "ren/Other.D64.d64"},
      {"noext", "ren", "Plain", "ren/Plain"},
      {"x.prg", "", "Title", "Title.prg"},
      {"c64.collection/game", "ren", "Game", "c64.collection/ren/Game"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(RelocateFile(Make(c.file, c.file), c.folder, c.title, false).first_target) << c.file;
    EXPECT_EQ(c.file, Text(c.target));
    EXPECT_FALSE(FileExists(dir / c.file));
  }
}

// Retries change the last character to 0..9; the eleventh failure leaves the
// file where it was. No existing file is ever replaced.
TEST_F(RelocateTest, RetriesOnTheLastCharacterAndNeverReplaces) {
  Make("dupes/Game.d64", "first");
  Make("dupes/Game.d60", "second");
  Relocation third = RelocateFile(Make("third.d64", "third"), "dupes", "Game", true);
  EXPECT_FALSE(third.first_target);
  EXPECT_EQ(dir / "dupes/Game.d61", third.target);
  EXPECT_EQ("first", Text("dupes/Game.d64"));
  EXPECT_EQ("second", Text("dupes/Game.d60"));
  EXPECT_EQ("third", Text("dupes/Game.d61"));
  EXPECT_FALSE(RelocateFile(Make("new.d64", "new"), "dupes", "Game", false).moved);
  EXPECT_EQ("first", Text("dupes/Game.d64"));
  EXPECT_EQ("new", Text("new.d64"));
  for (char c = '2'; c <= '8'; ++c) {
    if (c != '4') Make(std::string("dupes/Game.d6") + c);
  }
  RelocateFile(Make("ninth.d64", "ninth"), "dupes", "Game", true);
  EXPECT_EQ("ninth", Text("dupes/Game.d69")) << "the eleventh attempt";
  EXPECT_FALSE(RelocateFile(Make("last.d64", "last"), "dupes", "Game", true).moved);
  EXPECT_EQ("last", Text("last.d64"));
}

TEST_F(RelocateTest, NamesThatWouldLeaveTheFolderAreRefused) {
  std::string source = Make("x.d64");
  for (const char* name : {"../escape", "a/b", "..", "."}) {
    EXPECT_FALSE(RelocateFile(source, "", name, true).moved) << name;
    EXPECT_FALSE(RelocateFile(source, "ren", name, false).moved) << name;
  }
  EXPECT_TRUE(FileExists(source));
}

TEST_F(RelocateTest, SubfolderThatCannotBeMadeLeavesTheFile) {
  Make("ren", "a file, not a folder");
  std::string source = Make("x.d64");
  EXPECT_FALSE(RelocateFile(source, "ren", "Game", false).moved);
  EXPECT_TRUE(FileExists(source));
}

TEST_F(RelocateTest, ExtensionComesFromTheFileNameNotTheFolder) {
  std::string source = Make("c64.collection/game");
  EXPECT_TRUE(RelocateFile(source, "ren", "Game", false).moved);
  EXPECT_TRUE(FileExists(dir / "c64.collection/ren/Game"));
}

}  // namespace
