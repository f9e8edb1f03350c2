// Archives made with `zip -r`, whose folder entries hold no image.
#include <gtest/gtest.h>

#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/process.h"

// The folder in the archive is passed over without a word.
TEST(Disks, FolderEntriesOfAnArchiveHoldNoImage) {
  TempDir dir;
  const Bytes a = SeededBytes(3000, 1);
  MakeFolder(dir / "Games");
  MakeD64(dir / "Games/one.d64", {a});
  ASSERT_EQ(0, Shell("cd '" + dir.path() + "' && zip -q -r -X bundle.zip Games && rm -r Games"));
  RunResult run = RunDewmop({"-cc", "-d"}, dir.path());
  EXPECT_EQ(DumpLine("bundle.zip", {a}), Lines(run.out).back());
  EXPECT_EQ(std::string::npos, run.err.find("Wrn:")) << run.err;
}
