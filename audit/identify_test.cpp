// Canonical names, the file names made of them, and the moves of the rename
// step, planned and real.
#include "audit/identify.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "tests/fixtures/process.h"

// The title as written; what neither Linux nor Windows takes in a name
// becomes '_' in its file name, and everything else, bytes above 0x7F too,
// stays.
TEST(FileNameOf, OneSubstituteForEveryRefusedCharacter) {
  DatRecord record;
  record.name = "Summer Games I/II";
  EXPECT_EQ("Summer Games I/II", CanonicalName(record));
  record.crackName = "a\\b:c*d?e\"f<g>h|i\x01\t\n\x1f\x7f_Caf\xc3\xa9 + 'S' & [C] #1 ~ 50%.";
  EXPECT_EQ("Summer Games I_II (a_b_c_d_e_f_g_h_i______Caf\xc3\xa9 + 'S' & [C] #1 ~ 50%.)",
            FileNameOf(CanonicalName(record)));
}

// One after another, as a dry run plans them, then for real: the outcome,
// the target and the reason of each move are the same, and only the real
// moves change the folder. A file keeps its extension unless the title ends
// in it (case counts); a retry sets the last character to 0 .. 9 in turn;
// no file is ever replaced; a file already so named is where it should be.
TEST(RelocateFile, ThePlanDecidesAsTheRealMoves) {
  TempDir dir;
  std::vector<std::string> taken = {"Beta.prg", "file.d64/ren"};
  for (char last : std::string("40235678")) taken.push_back(std::string("dupes/Game.d6") + last);
  for (const char* folder : {"dupes", "file.d64", "linked"}) MakeFolder(dir / folder);
  for (const std::string& name : taken) WriteFile(dir / name, std::string("taken"));
#ifndef _WIN32  // Wine makes no symbolic links
  std::filesystem::create_directory_symlink(dir / "dupes", dir / "linked/ren");
  std::filesystem::create_symlink("linked/real.d64", dir / "link.d64");  // written through below
#endif
  using enum MoveOutcome;
  const struct Row {
    const char *source, *subfolder, *title;
    MoveOutcome outcome;
    const char *target, *reason = "";
  } rows[] = {
      {"a.D64", "ren", "Disk.D64", kMoved, "ren/Disk.D64"},
      {"b.d64", "", "Other.D64", kMoved, "Other.D64.d64"},
      {"third.d64", "dupes", "Game", kMoved, "dupes/Game.d61"},
      {"ninth.d64", "dupes", "Game", kMoved, "dupes/Game.d69"},
      {"last.d64", "dupes", "Game", kTaken, "dupes/Game.d69"},
      {"Beta.pr0", "", "Beta", kAlreadyThere, "Beta.pr0"},
      {"file.d64/x", "ren", "Game", kFailed, "file.d64/ren/Game", "ren is not a folder"},
      {"y.d64", "ren", "..", kRefused, "ren/...d64", "the title makes no file name"},
#ifndef _WIN32
      {"linked/x.d64", "ren", "G", kFailed, "linked/ren/G.d64", "ren is a symbolic link"},
      {"link.d64", "", "Game", kRefused, "Game.d64", "a symbolic link is not moved"},
#endif
  };
  for (const Row& r : rows) WriteFile(dir / r.source, std::string(r.source));
  PlannedFileSystem planned;
  RealFileSystem real;
  for (FileSystem* files : std::initializer_list<FileSystem*>{&planned, &real}) {
    for (const Row& r : rows) {
      Relocation move = RelocateFile(*files, dir / r.source, r.subfolder, r.title, true);
      EXPECT_EQ(r.outcome, move.outcome) << r.source;
      EXPECT_EQ(dir / r.target, move.target);
      EXPECT_TRUE(move.reason.ends_with(r.reason)) << move.reason;
    }
    EXPECT_EQ(files == &real, FileExists(dir / "ren")) << "only the real moves make folders";
  }
  for (const Row& r : rows) {
    EXPECT_EQ(r.source, ReadText(dir / (r.outcome == kMoved ? r.target : r.source)));
    EXPECT_EQ(r.outcome != kMoved, FileExists(dir / r.source)) << r.source;
  }
  for (const std::string& name : taken) EXPECT_EQ("taken", ReadText(dir / name)) << name;
}
