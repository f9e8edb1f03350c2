// Canonical names and moves: into ren/ and dupes/, retries, extensions, and
// never a file replaced.
#include "audit/identify.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fixtures/process.h"

namespace {

using enum MoveOutcome;

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
  RealFileSystem files;
};

TEST(CanonicalName, TitleAndCrackName) {
  DatRecord record;
  record.name = "Game";
  record.crackName = "Grp";
  EXPECT_EQ("Game (Grp)", CanonicalName(record));
  record.crackName.clear();
  EXPECT_EQ("Game", CanonicalName(record));
}

// What neither Linux nor Windows takes in a name becomes '_'; everything
// else, bytes above 0x7F included, stays.
TEST(FileNameOf, OneSubstituteForEveryRefusedCharacter) {
  const struct {
    std::string title, name;
  } cases[] = {
      {"Summer Games I/II (Ikari/Talent)", "Summer Games I_II (Ikari_Talent)"},
      {"a\\b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"},
      {"\x01tab\tnl\n\x1f\x7f", "_tab_nl___"},
      {std::string("nul\0", 4), "nul_"},
      {"Caf\xc3\xa9 + 'Sons' & [Co] #1 ~ 50%.", "Caf\xc3\xa9 + 'Sons' & [Co] #1 ~ 50%."},
  };
  for (const auto& c : cases) EXPECT_EQ(c.name, FileNameOf(c.title)) << c.title;
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
    EXPECT_EQ(kMoved, RelocateFile(files, Make(c.file, c.file), c.folder, c.title, false).outcome)
        << c.file;
    EXPECT_EQ(c.file, Text(c.target));
    EXPECT_FALSE(FileExists(dir / c.file));
  }
}

// Retries change the last character to 0..9; the eleventh failure leaves the
// file where it was. No existing file is ever replaced.
TEST_F(RelocateTest, RetriesOnTheLastCharacterAndNeverReplaces) {
  Make("dupes/Game.d64", "first");
  Make("dupes/Game.d60", "second");
  Relocation third = RelocateFile(files, Make("third.d64", "third"), "dupes", "Game", true);
  EXPECT_EQ(kMoved, third.outcome);
  EXPECT_EQ(dir / "dupes/Game.d61", third.target);
  EXPECT_EQ("first", Text("dupes/Game.d64"));
  EXPECT_EQ("second", Text("dupes/Game.d60"));
  EXPECT_EQ("third", Text("dupes/Game.d61"));
  EXPECT_EQ(kTaken, RelocateFile(files, Make("new.d64", "new"), "dupes", "Game", false).outcome);
  EXPECT_EQ("first", Text("dupes/Game.d64"));
  EXPECT_EQ("new", Text("new.d64"));
  for (char c = '2'; c <= '8'; ++c) {
    if (c != '4') Make(std::string("dupes/Game.d6") + c);
  }
  RelocateFile(files, Make("ninth.d64", "ninth"), "dupes", "Game", true);
  EXPECT_EQ("ninth", Text("dupes/Game.d69")) << "the eleventh attempt";
  EXPECT_EQ(kTaken, RelocateFile(files, Make("last.d64", "last"), "dupes", "Game", true).outcome);
  EXPECT_EQ("last", Text("last.d64"));
}

// A file that already has the name, plain or numbered, is where it should
// be: no numbered name is tried for it.
TEST_F(RelocateTest, TheFilesOwnNameIsNoCollision) {
  Make("Alpha.prg", "alpha");
  Make("Beta.prg", "another beta");
  Make("Beta.pr0", "beta");
  const struct {
    const char *file, *title;
  } cases[] = {{"Alpha.prg", "Alpha"}, {"Beta.pr0", "Beta"}};
  for (const auto& c : cases) {
    Relocation in_place = RelocateFile(files, dir / c.file, "", c.title, true);
    EXPECT_EQ(kAlreadyThere, in_place.outcome) << c.file;
    EXPECT_EQ(dir / c.file, in_place.target);
  }
  EXPECT_EQ("alpha", Text("Alpha.prg"));
  EXPECT_EQ("beta", Text("Beta.pr0"));
  EXPECT_FALSE(FileExists(dir / "Alpha.pr0"));
  EXPECT_FALSE(FileExists(dir / "Beta.pr1"));
}

TEST_F(RelocateTest, NamesThatWouldLeaveTheFolderAreRefused) {
  std::string source = Make("x.d64");
  for (const char* name : {"../escape", "a/b", "..", ".", ""}) {
    EXPECT_EQ(kRefused, RelocateFile(files, source, "", name, true).outcome) << name;
    EXPECT_EQ(kRefused, RelocateFile(files, source, "ren", name, false).outcome) << name;
  }
  EXPECT_TRUE(FileExists(source));
}

// A "ren" that is a file, or a link that may lead out of the collection, is
// not used, and the reason names it.
TEST_F(RelocateTest, SubfolderThatIsNoFolderLeavesTheFile) {
  Make("file/ren", "a file, not a folder");
  MakeFolder(dir / "elsewhere");
  MakeFolder(dir / "linked");
  std::error_code error;
  std::filesystem::create_directory_symlink(dir / "elsewhere", dir / "linked/ren", error);
  if (error) GTEST_SKIP() << "this system makes no symbolic links";
  const struct {
    const char *folder, *reason;
  } cases[] = {{"file", "/ren is not a folder"}, {"linked", "/ren is a symbolic link"}};
  for (const auto& c : cases) {
    std::string source = Make(std::string(c.folder) + "/x.d64");
    Relocation move = RelocateFile(files, source, "ren", "Game", false);
    EXPECT_EQ(kFailed, move.outcome) << c.folder;
    EXPECT_EQ(dir / c.folder + c.reason, move.reason);
    EXPECT_TRUE(FileExists(source));
  }
  EXPECT_FALSE(FileExists(dir / "elsewhere/Game.d64"));
}

// Moved, a link would dangle or lead out of the collection.
TEST_F(RelocateTest, SymbolicLinkIsNeverMoved) {
  std::string target = Make("outside/real.d64", "real");
  MakeFolder(dir / "games");
  std::string link = dir / "games/link.d64";
  std::error_code error;
  std::filesystem::create_symlink("../outside/real.d64", link, error);
  if (error) GTEST_SKIP() << "this system makes no symbolic links";
  EXPECT_EQ(kRefused, RelocateFile(files, link, "ren", "Game", false).outcome);
  EXPECT_EQ(kRefused, RelocateFile(files, link, "", "Game", true).outcome);
  EXPECT_EQ("real", ReadText(link));
  EXPECT_FALSE(FileExists(dir / "games/ren"));
  EXPECT_EQ("real", ReadText(target));
}

}  // namespace
