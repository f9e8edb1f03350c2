// Tests of set matching: multiset equality, first title wins, empty tables.
#include "database/match.h"

#include <gtest/gtest.h>

#include "tests/fixtures/dat_files.h"

namespace {

// Order plays no part, values count as a multiset, the first of equal titles
// wins, and the end marker and empty tables never match.
TEST(FindRecordIndex, MultisetEqualityFirstTitleWins) {
  const struct {
    std::vector<std::vector<uint32_t>> titles;
    std::vector<uint32_t> query;
    uint32_t index;
  } cases[] = {
      {{{1, 2, 3}, {0xFFFF0000, 0x1A2B3C4D}}, {3, 1, 2}, 1},
      {{{1, 2, 3}, {0xFFFF0000, 0x1A2B3C4D}}, {0xFFFF0000, 0x1A2B3C4D}, 2},
      {{{7, 8, 9}, {7, 7, 8}}, {7, 8}, 0},
      {{{7, 8, 9}, {7, 7, 8}}, {7, 8, 9, 10}, 0},
      {{{7, 8, 9}, {7, 7, 8}}, {8, 7, 7}, 2},
      {{{7, 8, 9}, {7, 7, 8}}, {7, 8, 8}, 0},
      {{{5}, {2, 1}, {1, 2}, {}, {}}, {1, 2}, 2},
      {{{5}, {2, 1}, {1, 2}, {}, {}}, {}, 4},
      {{{5}}, {}, 0},  // slot 2, the end marker, holds no CRC
      {{}, {}, 0},
  };
  DatFolder folder;
  for (const auto& c : cases) {
    std::string dat = "C64 1.00\n";
    for (const auto& crcs : c.titles) dat += DatLine("T", crcs);
    WriteFile(folder.dat, dat);
    Database db;
    NullSink quiet;
    LoadDat(db, folder.files, quiet);
    std::vector<uint32_t> query = c.query;
    EXPECT_EQ(c.index, FindRecordIndex(db, query)) << c.query.size();
    EXPECT_TRUE(std::is_sorted(query.begin(), query.end())) << "left sorted for the caller";
    EXPECT_EQ(c.index ? &db.records[c.index] : nullptr, FindRecord(db, query));
  }
  std::vector<uint32_t> none;
  EXPECT_EQ(0u, FindRecordIndex(Database{}, none));
}

}  // namespace
