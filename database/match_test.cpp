// Identifying an image by its files' CRCs: the title holding exactly the
// same (set matching), or else the nearest one.
#include "database/match.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "database/near.h"
#include "tests/fixtures/dat_files.h"

// Titles as listed, then `fillers` titles {C, E, one of their own}; an image's
// CRCs in any order: the title they match (the first of equal lists; the end
// marker never), and the nearest title, the files it shares, has and lacks.
// Near is a title that shares two files or more, and at least half of its
// own; repeated files count as often as both hold them; at equal shares the
// fewest missing and extra, then DAT order, win. A CRC held by more than 64
// titles leads to none, but counts for a title found through another.
TEST(FindRecordIndex, ExactlyOrNear) {
  using Crcs = std::vector<uint32_t>;
  constexpr uint32_t C = 0xC0, E = 0xE0;
  const std::vector<Crcs> some = {{1, 2, 3}, {0xFFFF0000, 0x1A2B3C4D}}, sevens = {{7, 8, 9}, {7, 7, 8}},
                          pairs = {{5}, {2, 1}, {1, 2}, {}, {}};
  // Titles, fillers, image: index, near.
  const std::tuple<std::vector<Crcs>, uint32_t, Crcs, uint32_t, Crcs> cases[] = {
      {some, 0, {3, 1, 2}, 1, {1, 3, 3, 0}},          {some, 0, {0x1A2B3C4D, 0xFFFF0000}, 2, {2, 2, 2, 0}},
      {sevens, 0, {8, 7}, 0, {1, 2, 3, 0}},           {sevens, 0, {7, 8, 9, 10}, 0, {1, 3, 3, 1}},
      {sevens, 0, {8, 7, 7}, 2, {2, 3, 3, 0}},        {sevens, 0, {7, 8, 8}, 0, {1, 2, 3, 1}},
      {pairs, 0, {2, 1}, 2, {2, 2, 2, 0}},            {pairs, 0, {}, 4, {}},
      {{{5}}, 0, {}, 0, {}},                          {{{5}}, 0, {5}, 1, {}},
      {{}, 0, {}, 0, {}},                             {{{1, 2}}, 0, {1, 9}, 0, {}},
      {{{1, 2, 3, 4, 5}}, 0, {1, 2, 9}, 0, {}},       {{{1, 2, 3, 4}}, 0, {1, 2}, 0, {1, 2, 4, 0}},
      {{{7, 7, 8}}, 0, {7, 7, 7, 8}, 0, {1, 3, 3, 1}}, {{}, 64, {C, E}, 0, {1, 2, 3, 0}},
      {{{1, 2, 3, 4, 5, 6}, {1, 2, 3, 9}}, 0, {1, 2, 3, 10}, 0, {2, 3, 4, 1}},
      {{{5, 6, C}}, 64, {5, 9, C}, 0, {1, 2, 3, 1}},
  };
  DatFolder folder;
  NullSink quiet;
  for (const auto& [titles, fillers, image, index, near] : cases) {
    std::string dat = "C64 1.00\n";
    for (const Crcs& title : titles) dat += DatLine("T", title);
    for (uint32_t i = 0; i < fillers; ++i) dat += DatLine("F", {C, E, 0x1000 + i});
    WriteFile(folder.dat, dat);
    Database db;
    LoadDat(db, folder.files, quiet);
    Crcs query = image;
    EXPECT_EQ(index ? &db.records[index] : nullptr, FindRecord(db, query)) << dat;
    EXPECT_TRUE(std::is_sorted(query.begin(), query.end())) << "left sorted for the caller";
    const NearMatch got = FindNearMatch(db, query, quiet);
    EXPECT_EQ(near.empty() ? Crcs(4) : near, (Crcs{got.index, got.shared, got.titleFiles, got.extra}));
  }
}
