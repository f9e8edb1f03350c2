// Tests of set matching: multiset equality, first title wins, empty tables.
#include "database/match.h"

#include <gtest/gtest.h>

namespace {

// Titles 1 .. n with the given lists, and the end marker after them.
Database MakeDatabase(const std::vector<std::vector<uint32_t>>& titles) {
  Database db;
  db.records.resize(titles.size() + 2);
  for (size_t i = 0; i < titles.size(); ++i) {
    DatRecord& record = db.records[i + 1];
    record.crcs = titles[i];
    std::sort(record.crcs.begin(), record.crcs.end());
    record.crcCount = static_cast<uint16_t>(record.crcs.size());
  }
  db.recordCount = static_cast<uint32_t>(titles.size() + 1);
  return db;
}

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
  for (const auto& c : cases) {
    Database db = MakeDatabase(c.titles);
    std::vector<uint32_t> query = c.query;
    EXPECT_EQ(c.index, FindRecordIndex(db, query)) << c.query.size();
    EXPECT_TRUE(std::is_sorted(query.begin(), query.end())) << "left sorted for the caller";
    EXPECT_EQ(c.index ? &db.records[c.index] : nullptr, FindRecord(db, query));
  }
  Database db = MakeDatabase({{5}});
  std::vector<uint32_t> five = {5}, none;
  db.recordCount = 1;
  EXPECT_EQ(0u, FindRecordIndex(db, five));
  db.recordCount = 0;
  EXPECT_EQ(0u, FindRecordIndex(db, five));
  EXPECT_EQ(0u, FindRecordIndex(Database{}, none));
}

}  // namespace
