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

uint32_t Find(const Database& db, CrcSet query) { return FindRecordIndex(db, query); }

TEST(FindRecordIndex, OrderPlaysNoPart) {
  Database db = MakeDatabase({{1, 2, 3}, {0xFFFF0000, 0x1A2B3C4D}});
  CrcSet query = {3, 1, 2};
  EXPECT_EQ(FindRecordIndex(db, query), 1u);
  EXPECT_EQ(query, (CrcSet{1, 2, 3}));  // left sorted for the caller
  CrcSet unsigned_order = {0xFFFF0000, 0x1A2B3C4D};
  EXPECT_EQ(FindRecord(db, unsigned_order), &db.records[2]);
}

TEST(FindRecordIndex, ValuesCountAsAMultiset) {
  Database db = MakeDatabase({{7, 8, 9}, {7, 7, 8}});
  EXPECT_EQ(Find(db, {7, 8}), 0u);
  EXPECT_EQ(Find(db, {7, 8, 9, 10}), 0u);
  EXPECT_EQ(Find(db, {8, 7, 7}), 2u);
  EXPECT_EQ(Find(db, {7, 8, 8}), 0u);
  CrcSet miss = {9, 9, 9};
  EXPECT_EQ(FindRecord(db, miss), nullptr);
}

TEST(FindRecordIndex, FirstOfEqualTitlesWins) {
  Database db = MakeDatabase({{5}, {2, 1}, {1, 2}, {}, {}});
  EXPECT_EQ(Find(db, {1, 2}), 2u);
  EXPECT_EQ(Find(db, {}), 4u);
}

TEST(FindRecordIndex, EndMarkerAndEmptyTablesNeverMatch) {
  Database db = MakeDatabase({{5}});
  EXPECT_EQ(Find(db, {}), 0u);  // slot 2, the end marker, holds no CRC
  db.recordCount = 1;
  EXPECT_EQ(Find(db, {5}), 0u);
  db.recordCount = 0;
  EXPECT_EQ(Find(db, {5}), 0u);
  EXPECT_EQ(Find(Database{}, {}), 0u);
}

}  // namespace
