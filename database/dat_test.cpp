// Tests of the DAT loader: line ends, field limits, number rules, the table's end.
#include "database/dat.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "tests/fixtures/dat_files.h"

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

uint32_t Load(const DatFolder& folder, const std::string& text, Database* db) {
  WriteFile(folder.dat, text);
  return LoadDat(*db, folder.profile);
}

std::vector<std::string> Names(const Database& db) {
  std::vector<std::string> names;
  for (uint32_t i = 1; i < db.recordCount; ++i) names.push_back(db.records[i].name);
  return names;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

TEST(LoadDat, LastTitleCountsWithOrWithoutFinalLineFeed) {
  DatFolder folder;
  std::string text = "C64 1.00\n" + DatLine("A", {1}) + DatLine("B", {3, 2});
  Database with, without;
  EXPECT_EQ(Load(folder, text, &with), 3u);
  text.pop_back();
  EXPECT_EQ(Load(folder, text, &without), 3u);
  EXPECT_EQ(Names(without), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Names(with), Names(without));
  EXPECT_EQ(without.records[2].crcs, (std::vector<uint32_t>{2, 3}));
  const DatRecord& marker = without.records[3];
  EXPECT_EQ(marker.name, "");
  EXPECT_EQ(marker.crcCount, 0);

  // A cut-off last record, or a final semicolon, counts as it would before a
  // line feed.
  for (std::string tail : {"A;;;;0;1;1\nB;Pub", "A;;;;0;1;1;"}) {
    Database unended, ended;
    uint32_t count = Load(folder, "C64 1.00\n" + tail, &unended);
    EXPECT_EQ(count, Load(folder, "C64 1.00\n" + tail + "\n", &ended)) << tail;
    EXPECT_EQ(count, 2u) << tail;
    EXPECT_EQ(unended.records[2].name, ended.records[2].name);
  }
}

TEST(LoadDat, CarriageReturnBeforeLineFeedIsNotData) {
  DatFolder folder;
  std::string text = "C64 1.00\n" + DatLine("A\rB", {1}) + DatLine("C", {2});
  Database unix, windows;
  ASSERT_EQ(Load(folder, text, &unix), 3u);
  ASSERT_EQ(Load(folder, WithCrLf(text), &windows), 3u);
  EXPECT_EQ(windows.datVersion, "C64 1.00\n");
  EXPECT_EQ(Names(windows), Names(unix));
  EXPECT_EQ(windows.records[1].name, "A\rB");  // a lone one is
  EXPECT_EQ(windows.records[2].crcs, std::vector<uint32_t>{2});
}

TEST(LoadDat, VersionLineAloneOrNothing) {
  DatFolder folder;
  Database missing;
  WriteFile(folder.have, "junk");
  CaptureStderr();
  EXPECT_EQ(LoadDat(missing, folder.profile), 0u);
  EXPECT_EQ(GetCapturedStderr(), "");  // the have file is not read
  EXPECT_EQ(missing.datVersion, "");

  // The have file is still read, and no index in it is legal.
  Database empty;
  WriteFile(folder.have, std::vector<uint8_t>{1, 0});
  CaptureStderr();
  EXPECT_EQ(Load(folder, "", &empty), 0u);
  EXPECT_EQ(GetCapturedStderr(), folder.have + " contains illegal index: 1, ignoring\n");

  std::remove(folder.have.c_str());
  Database alone, unended;
  EXPECT_EQ(Load(folder, "C64 1.00\n", &alone), 1u);
  EXPECT_EQ(alone.datVersion, "C64 1.00\n");
  EXPECT_EQ(Load(folder, "C64 1.00", &unended), 0u);
}

TEST(LoadDat, LongVersionLineShiftsTheFirstRecord) {
  DatFolder folder;
  Database db;
  EXPECT_EQ(Load(folder, "ABCDEFGHIJKLMNOPQRSTUVWXY\n" + DatLine("A", {1}), &db), 2u);
  EXPECT_EQ(db.datVersion, "ABCDEFGHIJKLMNOPQRS");
  EXPECT_EQ(db.records[1].name, "TUVWXY");
  EXPECT_EQ(db.records[1].publisher, "A");
}

TEST(LoadDat, DemoRecord) {
  DatFolder folder;
  Database db;
  ASSERT_EQ(Load(folder, "C64 1.00\nDemo;;;;;2;ffff0000;1A2B3C4D\n", &db), 2u);
  const DatRecord& demo = db.records[1];
  EXPECT_EQ(demo.name, "Demo");
  EXPECT_EQ(demo.publisher, "");
  EXPECT_EQ(demo.crackNote, "");
  EXPECT_EQ(demo.crackName, "");
  EXPECT_EQ(demo.date, 0);
  EXPECT_EQ(demo.crcCount, 2);
  EXPECT_EQ(demo.have, 0);
  EXPECT_EQ(demo.crcs, (std::vector<uint32_t>{0x1A2B3C4D, 0xFFFF0000}));
}

TEST(LoadDat, NumberRules) {
  EXPECT_EQ(ParseDatDecimal("70000"), 4464);
  EXPECT_EQ(ParseDatDecimal("-1"), 0xFFFF);
  EXPECT_EQ(ParseDatDecimal("-70000"), 61072);
  EXPECT_EQ(ParseDatDecimal(" \t+12x3"), 12);
  EXPECT_EQ(ParseDatDecimal("99999999999999999999"), 0xFFFF);  // 10^20 - 1
  EXPECT_EQ(ParseDatDecimal(""), 0);
  EXPECT_EQ(ParseDatDecimal("- 5"), 0);

  EXPECT_EQ(ParseDatHex("123456789"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseDatHex("-123456789"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseDatHex("FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseDatHex("0000000000abcdef"), 0xABCDEFu);
  EXPECT_EQ(ParseDatHex(" 0X1f"), 0x1Fu);
  EXPECT_EQ(ParseDatHex("-1"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseDatHex("-0x10"), 0xFFFFFFF0u);
  EXPECT_EQ(ParseDatHex("0x"), 0u);
  EXPECT_EQ(ParseDatHex("12g4"), 0x12u);
  EXPECT_EQ(ParseDatHex("zz"), 0u);

  DatFolder folder;
  Database db;
  ASSERT_EQ(Load(folder, "C64 1.00\nN;;;;70000;1;123456789\n", &db), 2u);
  EXPECT_EQ(db.records[1].date, 4464);
  EXPECT_EQ(db.records[1].crcs, std::vector<uint32_t>{0xFFFFFFFFu});
}

TEST(LoadDat, OverlongFieldsAreReportedAndCut) {
  DatFolder folder;
  std::string name101 = std::string(100, 'a') + "b";
  std::string name150 = std::string(150, 'c');
  Database db;
  CaptureStdout();
  ASSERT_EQ(Load(folder, "C64 1.00\n" + name101 + ";Pub;;;0;1;5\n" + name150 + ";;;;0;0\n", &db), 3u);
  EXPECT_EQ(GetCapturedStdout(),
            "Err: LoadDat() record exceeds boundaries:\n100\t" + name101 +
                "\nErr: LoadDat() record exceeds boundaries:\n149\t" +
                name150.substr(0, 101) + "\n");
  EXPECT_EQ(db.records[1].name, name101.substr(0, 100));
  EXPECT_EQ(db.records[1].publisher, "Pub");
  EXPECT_EQ(db.records[1].crcs, std::vector<uint32_t>{5});
  EXPECT_EQ(db.records[2].name, name150.substr(0, 100));
}

TEST(LoadDat, FieldCountsShiftFields) {
  DatFolder folder;
  Database none;
  ASSERT_EQ(Load(folder, "C64 1.00\nA;;;;0;0\nB;;;;0;1;5\n", &none), 3u);
  EXPECT_TRUE(none.records[1].crcs.empty());
  EXPECT_EQ(none.records[2].name, "B");

  // The line feed after a final semicolon ends an empty name.
  Database shifted;
  ASSERT_EQ(Load(folder, "C64 1.00\nA;;;;0;1;5;\nB;;;;0;1;6\n", &shifted), 3u);
  EXPECT_EQ(shifted.records[1].crcs, std::vector<uint32_t>{5});
  EXPECT_EQ(shifted.records[2].name, "");
  EXPECT_EQ(shifted.records[2].publisher, "B");
  EXPECT_EQ(shifted.records[2].crcCount, 0);
  EXPECT_EQ(shifted.records[3].name, "1");  // the end marker
}

TEST(LoadDat, TableHoldsAtMost5998Titles) {
  DatFolder folder;
  Database full, fullUnended, over;
  CaptureStdout();
  EXPECT_EQ(Load(folder, NumberedDat(5998), &full), 5999u);
  std::string unended = NumberedDat(5998);
  unended.pop_back();
  EXPECT_EQ(Load(folder, unended, &fullUnended), 5999u);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(fullUnended.records[5998].name, "Title 5998");

  CaptureStdout();
  EXPECT_EQ(Load(folder, NumberedDat(6100), &over), 5999u);
  EXPECT_EQ(GetCapturedStdout(), "Too many ingredients: 6000.\n");
  EXPECT_EQ(over.records[5998].name, "Title 5998");
  EXPECT_EQ(over.records[5998].crcs, std::vector<uint32_t>{5998});
  EXPECT_EQ(over.records[5999].name, "Title 5999");  // the end marker
}

TEST(ReadField, EndsAtSeparatorLineFeedOrEnd) {
  FILE* file = tmpfile();
  ASSERT_NE(file, nullptr);
  fputs("ab;cd\r\nabcdef;g", file);
  rewind(file);
  std::string field;
  std::vector<std::string> fields;
  CaptureStdout();
  for (int i = 0; i < 5; ++i) {
    ReadField(file, ';', &field, 3);
    fields.push_back(field);
  }
  EXPECT_EQ(GetCapturedStdout(), "Err: LoadDat() record exceeds boundaries:\n5\tabcd\n");
  EXPECT_EQ(fields, (std::vector<std::string>{"ab", "cd", "abcd", "g", ""}));
  fclose(file);
}

// Any bytes load without harm; every record's list is sorted and complete.
TEST(LoadDat, ArbitraryBytes) {
  DatFolder folder;
  std::mt19937 random(5);
  const std::string alphabet = ";;;;\n\n\r0123456789abcdefx-+ N";
  std::vector<std::string> inputs = {"V\nA;;;;0;65535", "V\nA;;;;0;-1;\n",
                                     std::string(30000, ';')};
  for (int i = 0; i < 60; ++i) {
    std::string text(random() % 3000, '\0');
    for (char& c : text) {
      c = i % 2 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
    }
    inputs.push_back(text);
  }
  CaptureStdout();
  for (const std::string& text : inputs) {
    Database db;
    uint32_t count = Load(folder, text, &db);
    ASSERT_LT(count, kDatSlots);
    for (uint32_t slot = 1; slot <= count; ++slot) {
      const DatRecord& record = db.records[slot];
      ASSERT_EQ(record.crcs.size(), record.crcCount);
      ASSERT_TRUE(std::is_sorted(record.crcs.begin(), record.crcs.end()));
      ASSERT_LE(record.name.size(), 100u);
      ASSERT_LE(record.crackName.size(), 20u);
    }
  }
  GetCapturedStdout();
}

}  // namespace
