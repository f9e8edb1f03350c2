// The platform layer on POSIX systems: symbolic links and permission bits.
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/fixtures/process.h"

namespace {

// A link is seen as itself: one to a folder is no folder to walk into.
TEST(ListDirectory, LinksAreLinks) {
  TempDir dir;
  MakeFolder(dir / "y.D64");
  ASSERT_EQ(0, symlink("y.D64", (dir / "z.d64").c_str()));
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(dir.path() + "/", &entries));
  size_t links = 0;
  for (const auto& e : entries) links += e.kind == platform::FileKind::kSymlink;
  EXPECT_EQ(1u, links);
  EXPECT_EQ(platform::FileKind::kSymlink, platform::KindOf(dir / "z.d64"));
}

TEST(WriteFileAtomically, AFolderNotWritableKeepsTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
  TempDir dir;
  std::string error;
  ASSERT_TRUE(platform::WriteFileAtomically(dir / "have", "new", &error));
  chmod(dir.path().c_str(), 0555);
  EXPECT_FALSE(platform::WriteFileAtomically(dir / "have", "newer", &error));
  EXPECT_EQ("Permission denied", error);
  EXPECT_EQ("new", ReadText(dir / "have"));
}

}  // namespace
