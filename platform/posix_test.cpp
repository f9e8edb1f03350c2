// The platform layer: listing, no-replace moves, atomic writes.
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/fixtures/process.h"

namespace {

TEST(ListDirectory, NamesAndKinds) {
  TempDir dir;
  WriteFile(dir / "x.d64", std::string("1"));
  MakeFolder(dir / "y.D64");
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(dir.path() + "/", &entries));
  ASSERT_EQ(4u, entries.size());  // "." and ".." too
  for (const auto& e : entries) EXPECT_EQ(e.name != "x.d64", e.is_directory) << e.name;
  EXPECT_FALSE(platform::ListDirectory(dir / "missing/", &entries));
}

TEST(MoveNoReplace, NeverOverwrites) {
  TempDir dir;
  WriteFile(dir / "a", std::string("first"));
  WriteFile(dir / "b", std::string("second"));
  EXPECT_FALSE(platform::MoveNoReplace(dir / "a", dir / "b"));
  EXPECT_EQ(std::vector<uint8_t>({'s', 'e', 'c', 'o', 'n', 'd'}), ReadFile(dir / "b"));
  EXPECT_TRUE(FileExists(dir / "a"));
  EXPECT_TRUE(platform::MoveNoReplace(dir / "a", dir / "c"));
  EXPECT_FALSE(FileExists(dir / "a"));
  EXPECT_FALSE(platform::MoveNoReplace(dir / "missing", dir / "d"));
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
