// Tests of the DAT loader: line ends, field limits, number rules, the table's end.
#include "database/dat.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/fixtures/dat_files.h"

namespace {

// Loads `text` as the DAT file; what the loader said goes to `log`.
uint32_t Load(const DatFolder& folder, const std::string& text, Database* db,
              MessageLog* log) {
  WriteFile(folder.dat, text);
  return LoadDat(*db, folder.files, *log);
}

// The loaded table as text: the version line and "/", then one line per slot up to
// the end marker, "name|publisher|note|cracker|date|CRC CRC", marked "*" when
// present.
std::string Table(const Database& db) {
  std::string text = db.datVersion + "/";
  for (uint32_t i = 1; i <= db.recordCount; ++i) {
    const DatRecord& r = db.records[i];
    text += (r.have ? "*" : "") + r.name + "|" + r.publisher + "|" + r.crackNote + "|" +
            r.crackName + "|" + std::to_string(r.date) + "|";
    char crc[10];
    for (uint32_t value : r.crcs) text += (snprintf(crc, sizeof crc, "%08X ", value), crc);
    EXPECT_EQ(r.crcs.size(), r.crcCount);
    text += "\n";
  }
  return text;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

// A last line without its line feed counts as if it had one; a carriage return
// before a line feed is not data (a lone one is); a version line longer than 19
// characters runs into the first record; a trailing semicolon shifts fields.
TEST(LoadDat, Tables) {
  const std::string v = "C64 1.00\n", two = v + DatLine("A\rB", {1}) + DatLine("B", {3, 2});
  const std::string two_table = v + "/A\rB||||0|00000001 \nB||||0|00000002 00000003 \n||||0|\n";
  const std::string name101 = std::string(100, 'a') + "b", name150(150, 'c');
  const struct {
    std::string text;
    uint32_t count;
    std::string table, out;
  } cases[] = {
      {two, 3, two_table, ""},
      {two.substr(0, two.size() - 1), 3, two_table, ""},
      {WithCrLf(two), 3, two_table, ""},
      {v + "A;;;;0;1;1\nB;Pub", 2, v + "/A||||0|00000001 \nB|Pub|||0|\n", ""},
      {v + "A;;;;0;1;1\nB;Pub\n", 2, v + "/A||||0|00000001 \nB|Pub|||0|\n", ""},
      {v + "A;;;;0;1;1;", 2, v + "/A||||0|00000001 \n||||0|\n", ""},
      {v + "A;;;;0;1;1;\n", 2, v + "/A||||0|00000001 \n||||0|\n", ""},
      {v, 1, v + "/||||0|\n", ""},
      {"C64 1.00", 0, "C64 1.00/", ""},
      {"", 0, "/", ""},
      {"ABCDEFGHIJKLMNOPQRSTUVWXY\n" + DatLine("A", {1}), 2,
       "ABCDEFGHIJKLMNOPQRS/TUVWXY|A|||0|\n001|00000001|||0|\n", ""},
      {v + "Demo;;;;;2;ffff0000;1A2B3C4D\n", 2, v + "/Demo||||0|1A2B3C4D FFFF0000 \n||||0|\n", ""},
      {v + "N;;;;70000;1;123456789\n", 2, v + "/N||||4464|FFFFFFFF \n||||0|\n", ""},
      {v + name101 + ";Pub;;;0;1;5\n" + name150 + ";;;;0;0\n", 3,
       v + "/" + name101.substr(0, 100) + "|Pub|||0|00000005 \n" + name150.substr(0, 100) + "||||0|\n||||0|\n",
       "Err: LoadDat() record exceeds boundaries:\n100\t" + name101 +
           "\nErr: LoadDat() record exceeds boundaries:\n149\t" + name150.substr(0, 101) + "\n"},
      {v + "A;;;;0;0\nB;;;;0;1;5\n", 3, v + "/A||||0|\nB||||0|00000005 \n||||0|\n", ""},
      // The line feed after a final semicolon ends an empty name.
      {v + "A;;;;0;1;5;\nB;;;;0;1;6\n", 3, v + "/A||||0|00000005 \n|B|||0|\n1|6|||0|\n", ""},
  };
  DatFolder folder;
  for (const auto& c : cases) {
    Database db;
    MessageLog log;
    EXPECT_EQ(c.count, Load(folder, c.text, &db, &log)) << c.text;
    EXPECT_EQ(c.out, log.Text(Stream::kOut)) << c.text;
    EXPECT_EQ(c.table, Table(db)) << c.text;
  }
}

// Without a DAT file the have file is not read; with an empty one it is, and
// no index in it is legal.
TEST(LoadDat, HaveFileOfAnEmptyOrMissingDat) {
  DatFolder folder;
  Database missing, empty;
  WriteFile(folder.have, std::vector<uint8_t>{1, 0});
  MessageLog log;
  EXPECT_EQ(LoadDat(missing, folder.files, log), 0u);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(Load(folder, "", &empty, &log), 0u);
  EXPECT_EQ(log.Text(Stream::kErr), folder.have + " contains illegal index: 1, ignoring\n");
}

TEST(LoadDat, NumberRules) {
  const std::pair<const char*, uint16_t> decimals[] = {
      {"70000", 4464}, {"-1", 0xFFFF}, {"-70000", 61072}, {" \t+12x3", 12},
      {"99999999999999999999", 0xFFFF}, {"", 0}, {"- 5", 0}};
  for (auto [text, value] : decimals) EXPECT_EQ(ParseDatDecimal(text), value) << text;
  const std::pair<const char*, uint32_t> hexes[] = {
      {"123456789", 0xFFFFFFFFu}, {"-123456789", 0xFFFFFFFFu}, {"FFFFFFFF", 0xFFFFFFFFu},
      {"0000000000abcdef", 0xABCDEFu}, {" 0X1f", 0x1Fu}, {"-1", 0xFFFFFFFFu},
      {"-0x10", 0xFFFFFFF0u}, {"0x", 0u}, {"12g4", 0x12u}, {"zz", 0u}};
  for (auto [text, value] : hexes) EXPECT_EQ(ParseDatHex(text), value) << text;
}

TEST(LoadDat, TableHoldsAtMost5998Titles) {
  DatFolder folder;
  Database full, over;
  std::string unended = NumberedDat(5998);
  unended.pop_back();
  MessageLog log;
  EXPECT_EQ(Load(folder, unended, &full, &log), 5999u);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(full.records[5998].name, "Title 5998");

  EXPECT_EQ(Load(folder, NumberedDat(6100), &over, &log), 5999u);
  EXPECT_EQ(log.Text(Stream::kOut), "Too many ingredients: 6000.\n");
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
  MessageLog log;
  for (int i = 0; i < 5; ++i) {
    ReadField(file, ';', &field, 3, log);
    fields.push_back(field);
  }
  EXPECT_EQ(log.Text(Stream::kOut), "Err: LoadDat() record exceeds boundaries:\n5\tabcd\n");
  EXPECT_EQ(fields, (std::vector<std::string>{"ab", "cd", "abcd", "g", ""}));
  fclose(file);
}

}  // namespace
