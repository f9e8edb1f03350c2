// 1571 and 1581 disks in a walk, and archives made with `zip -r`, whose
// folder entries hold no image.
#include <gtest/gtest.h>

#include "testkit/random.h"
#include "tests/fixtures/collection.h"
#include "tests/fixtures/process.h"

namespace {

const Bytes kA = SeededBytes(3000, 1), kB = SeededBytes(700, 2), kC = SeededBytes(254, 3);

// The walk reaches D71 and D81 images after the archives; the folders of
// the archive are passed over without a word.
TEST(Disks, D71AndD81AfterTheArchivesAndInsideFoldersOfAnArchive) {
  TempDir dir;
  MakeD64(dir / "game.d71", {kA, kB});
  MakeD64(dir / "game.d81", {kC, kA});
  MakeFolder(dir / "Games");
  MakeFolder(dir / "Games/Side");
  MakeFolder(dir / "Games/Wide");
  MakeD64(dir / "Games/Side/two.d71", {kB});
  MakeD64(dir / "Games/Wide/one.d81", {kC});
  ASSERT_EQ(0, Shell("cd '" + dir.path() + "' && zip -q -r -X bundle.zip Games/Wide Games/Side"));
  RunResult run = RunDewmop({"-cc", "-d"}, dir.path());
  std::vector<std::string> lines = Lines(run.out);
  lines.erase(lines.begin());
  EXPECT_EQ((std::vector<std::string>{DumpLine("bundle.zip", {kC, kB}),
                                      DumpLine("game.d71", {kA, kB}),
                                      DumpLine("game.d81", {kC, kA})}),
            lines);
  EXPECT_EQ(std::string::npos, run.err.find("Wrn:")) << run.err;
}

}  // namespace
