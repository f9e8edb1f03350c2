// The platform layer: listing, no-replace moves, atomic writes.
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "tests/fixtures/process.h"

namespace {

// Entries are seen as they are: a link to a folder is a link, not a folder.
TEST(ListDirectory, NamesAndKinds) {
  TempDir dir;
  WriteFile(dir / "x.d64", std::string("1"));
  MakeFolder(dir / "y.D64");
  ASSERT_EQ(0, symlink("y.D64", (dir / "z.d64").c_str()));
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(dir.path() + "/", &entries));
  std::map<std::string, platform::FileKind> kinds;
  for (const auto& e : entries) kinds[e.name] = e.kind;
  using enum platform::FileKind;
  EXPECT_EQ((std::map<std::string, platform::FileKind>{
                {".", kDirectory}, {"..", kDirectory}, {"x.d64", kRegular},
                {"y.D64", kDirectory}, {"z.d64", kSymlink}}),
            kinds);
  EXPECT_FALSE(platform::ListDirectory(dir / "missing/", &entries));
}

TEST(MoveNoReplace, NeverOverwritesAndSaysWhyItFailed) {
  TempDir dir;
  WriteFile(dir / "a", std::string("first"));
  WriteFile(dir / "b", std::string("second"));
  std::string reason;
  using enum platform::MoveResult;
  EXPECT_EQ(kTargetExists, platform::MoveNoReplace(dir / "a", dir / "b", &reason));
  EXPECT_EQ(std::vector<uint8_t>({'s', 'e', 'c', 'o', 'n', 'd'}), ReadFile(dir / "b"));
  EXPECT_TRUE(FileExists(dir / "a"));
  EXPECT_EQ(kMoved, platform::MoveNoReplace(dir / "a", dir / "c", &reason));
  EXPECT_FALSE(FileExists(dir / "a"));
  EXPECT_EQ(kFailed, platform::MoveNoReplace(dir / "c", dir / "missing/d", &reason));
  EXPECT_EQ(std::strerror(ENOENT), reason);
  EXPECT_TRUE(FileExists(dir / "c"));
}

TEST(WriteFileAtomically, ReplacesWholeOrNotAtAll) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(platform::WriteFileAtomically(dir / "have", "new", &error));
  EXPECT_EQ(std::vector<uint8_t>({'n', 'e', 'w'}), ReadFile(dir / "have"));
  if (geteuid() != 0) {
    chmod(dir.path().c_str(), 0555);
    EXPECT_FALSE(platform::WriteFileAtomically(dir / "have", "newer", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(std::vector<uint8_t>({'n', 'e', 'w'}), ReadFile(dir / "have"));
  }
  EXPECT_FALSE(platform::WriteFileAtomically(dir / "missing/have", "x", &error));
}

}  // namespace
