// The platform layer as both systems must have it: kinds, folders, moves
// that never replace, atomic writes and their scratch files, the run lock.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/fixtures/process.h"

namespace {

using platform::FileKind;

#ifdef _WIN32
constexpr char kDevice[] = "NUL";
#else
constexpr char kDevice[] = "/dev/null";
#endif

std::map<std::string, FileKind> Listing(const std::string& folder) {
  std::vector<platform::DirEntry> entries;
  EXPECT_TRUE(platform::ListDirectory(folder, &entries)) << folder;
  std::map<std::string, FileKind> kinds;
  for (const auto& e : entries) kinds[e.name] = e.kind;
  return kinds;
}

TEST(ListDirectory, NamesAndKinds) {
  TempDir dir;
  WriteFile(dir / "x.d64", std::string("1"));
  MakeFolder(dir / "y.D64");
  using enum FileKind;
  const std::map<std::string, FileKind> expected = {
      {".", kDirectory}, {"..", kDirectory}, {"x.d64", kRegular}, {"y.D64", kDirectory}};
  EXPECT_EQ(expected, Listing(dir / ""));
  for (const auto& [name, kind] : expected) EXPECT_EQ(kind, platform::KindOf(dir / name)) << name;
  EXPECT_EQ(kMissing, platform::KindOf(dir / "z.d64"));
  std::vector<platform::DirEntry> entries;
  EXPECT_FALSE(platform::ListDirectory(dir / "missing/", &entries));
}

TEST(MakeDirectory, SaysWhyItFailed) {
  TempDir dir;
  std::string reason;
  EXPECT_TRUE(platform::MakeDirectory(dir / "ren", &reason));
  EXPECT_EQ(FileKind::kDirectory, platform::KindOf(dir / "ren"));
  EXPECT_FALSE(platform::MakeDirectory(dir / "ren", &reason));
  EXPECT_EQ("File exists", reason);
  EXPECT_FALSE(platform::MakeDirectory(dir / "missing/ren", &reason));
  EXPECT_EQ("No such file or directory", reason);
}

TEST(MoveNoReplace, NeverOverwritesAndSaysWhyItFailed) {
  TempDir dir;
  WriteFile(dir / "a", std::string("first"));
  WriteFile(dir / "b", std::string("second"));
  std::string reason;
  using enum platform::MoveResult;
  EXPECT_EQ(kTargetExists, platform::MoveNoReplace(dir / "a", dir / "b", &reason));
  EXPECT_EQ("second", ReadText(dir / "b"));
  EXPECT_TRUE(FileExists(dir / "a"));
  EXPECT_EQ(kMoved, platform::MoveNoReplace(dir / "a", dir / "c", &reason));
  EXPECT_FALSE(FileExists(dir / "a"));
  EXPECT_EQ(kFailed, platform::MoveNoReplace(dir / "c", dir / "missing/d", &reason));
  EXPECT_EQ("No such file or directory", reason);
  EXPECT_EQ("first", ReadText(dir / "c"));
}

TEST(WriteFileAtomically, ReplacesWholeAndLeavesNoScratch) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(platform::WriteFileAtomically(dir / "have", "old", &error)) << error;
  using std::filesystem::perms;
  std::filesystem::permissions(dir / "have", perms::owner_write | perms::group_write |
                                   perms::others_write, std::filesystem::perm_options::remove);
  ASSERT_TRUE(platform::WriteFileAtomically(dir / "have", "new", &error)) << "read-only: " << error;
  EXPECT_EQ("new", ReadText(dir / "have"));
  EXPECT_FALSE(platform::WriteFileAtomically(dir / "missing/have", "x", &error));
  EXPECT_EQ("No such file or directory", error);
  EXPECT_EQ(3u, Listing(dir.path()).size()) << "., .. and have";
}

TEST(RemoveStaleScratch, OnlyThePathsOwnScratchNames) {
  TempDir dir;
  const struct {
    const char* name;
    bool stale;
  } cases[] = {
      {"have.a1B2c3", true}, {"have.zz9zz9", true},   {"have", false},
      {"have.lock", false},  {"have.a1B2c3d", false}, {"have.a1-2c3", false},
      {"hav.a1B2c3", false},
  };
  for (const auto& c : cases) WriteFile(dir / c.name, std::string("x"));
  MakeFolder(dir / "have.b1B2c3");
  platform::RemoveStaleScratch(dir / "have");
  for (const auto& c : cases) EXPECT_EQ(c.stale, !FileExists(dir / c.name)) << c.name;
  EXPECT_TRUE(FileExists(dir / "have.b1B2c3")) << "a folder stays";
}

TEST(ExclusiveLock, OneHolderAtATimeAndTheFileGoesWithIt) {
  TempDir dir;
  std::string reason;
  using enum platform::ExclusiveLock::Result;
  WriteFile(dir / "have.lock", std::string("left by a run that was killed"));
  {
    platform::ExclusiveLock first, second;
    EXPECT_EQ(kHeld, first.Take(dir / "have.lock", &reason)) << reason;
    EXPECT_EQ(kTakenByAnother, second.Take(dir / "have.lock", &reason));
    EXPECT_TRUE(FileExists(dir / "have.lock"));
  }
  EXPECT_FALSE(FileExists(dir / "have.lock"));
  platform::ExclusiveLock again, nowhere;
  EXPECT_EQ(kHeld, again.Take(dir / "have.lock", &reason)) << reason;
  EXPECT_EQ(kFailed, nowhere.Take(dir / "missing/have.lock", &reason));
  EXPECT_EQ("No such file or directory", reason);
}

// Opened in binary mode: the bytes come as they are, and the size is there.
TEST(OpenRegularFile, OnlyRegularFiles) {
  TempDir dir;
  WriteFile(dir / "x.d64", std::string("a\r\nb"));
  MakeFolder(dir / "y.d64");
  FILE* file = platform::OpenRegularFile(dir / "x.d64");
  ASSERT_NE(nullptr, file);
  char bytes[8] = {};
  EXPECT_EQ(4u, fread(bytes, 1, sizeof bytes, file));
  EXPECT_STREQ("a\r\nb", bytes);
  EXPECT_EQ(4, platform::FileSize(file));
  EXPECT_FALSE(platform::IsTerminal(file));
  fclose(file);
  for (std::string refused : {dir / "y.d64", dir / "z.d64", std::string(kDevice)}) {
    EXPECT_EQ(nullptr, platform::OpenRegularFile(refused)) << refused;
  }
}

}  // namespace
