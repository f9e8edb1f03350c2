// Tests of the near search: what counts as near, which title wins, and the
// CRCs too common to lead anywhere.
#include "database/near.h"

#include <gtest/gtest.h>

#include "tests/fixtures/dat_files.h"

namespace {

constexpr uint32_t kC = 0xC0, kE = 0xE0;

// Titles as listed, then `fillers` titles {C, E, one of their own}; images
// matching no title, their CRCs ascending.
TEST(FindNearMatch, SharedFilesDecide) {
  const struct {
    std::vector<std::vector<uint32_t>> titles;
    uint32_t fillers;
    std::vector<uint32_t> image;
    NearMatch near;
  } cases[] = {
      // One shared file, the loader of a two-file title, is not near.
      {{{1, 2}}, 0, {1, 9}, {}},
      // Two of five is under half the title; two of four is half.
      {{{1, 2, 3, 4, 5}}, 0, {1, 2, 9}, {}},
      {{{1, 2, 3, 4}}, 0, {1, 2}, {1, 2, 4, 0}},
      // Repeated files count as often as both sides hold them.
      {{{7, 7, 8}}, 0, {7, 8, 9}, {1, 2, 3, 1}},
      {{{7, 7, 8}}, 0, {7, 7, 7, 8}, {1, 3, 3, 1}},
      // At equal shares, fewer files missing and extra beat DAT order.
      {{{1, 2, 3, 4, 5, 6}, {1, 2, 3, 9}}, 0, {1, 2, 3, 10}, {2, 3, 4, 1}},
      // A CRC of 64 titles still leads to them; the first wins.
      {{}, 64, {kC, kE}, {1, 2, 3, 0}},
      // Held by 65, C leads nowhere but counts for a title found through 5.
      {{{5, 6, kC}}, 64, {5, 9, kC}, {1, 2, 3, 1}},
  };
  DatFolder folder;
  NullSink quiet;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    std::string dat = "C64 1.00\n";
    for (const auto& crcs : c.titles) dat += DatLine("T", crcs);
    for (uint32_t i = 0; i < c.fillers; ++i) dat += DatLine("F", {kC, kE, 0x1000 + i});
    WriteFile(folder.dat, dat);
    Database db;
    ASSERT_NE(0u, LoadDat(db, folder.files, quiet));
    NearMatch near = FindNearMatch(db, c.image, quiet);
    EXPECT_EQ(c.near.index, near.index);
    EXPECT_EQ(c.near.shared, near.shared);
    EXPECT_EQ(c.near.titleFiles, near.titleFiles);
    EXPECT_EQ(c.near.extra, near.extra);
  }
}

}  // namespace
