// Tests of the DAT loader: line ends, field limits, number rules, malformed
// lines, the table's end, files that are no DAT file.
#include "database/dat.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "database/match.h"
#include "tests/fixtures/dat_files.h"

namespace {

// Loads `text` as the DAT file; what the loader said goes to `log`.
uint32_t Load(const DatFolder& folder, const std::string& text, Database* db,
              MessageLog* log) {
  WriteFile(folder.dat, text);
  return LoadDat(*db, folder.files, *log);
}

// One slot as text, "name|publisher|note|cracker|date|CRC CRC ", marked "*"
// when present.
std::string Slot(const Database& db, uint32_t index) {
  const DatRecord& r = db.records[index];
  std::string text = (r.have ? "*" : "") + r.name + "|" + r.publisher + "|" + r.crackNote +
                     "|" + r.crackName + "|" + std::to_string(r.date) + "|";
  char crc[10];
  for (uint32_t value : db.Crcs(index)) text += (snprintf(crc, sizeof crc, "%08X ", value), crc);
  return text;
}

// The loaded table as text: the version string and "/", then one line per
// slot up to the end marker.
std::string Table(const Database& db) {
  std::string text = db.datVersion + "/";
  for (uint32_t i = 1; i <= db.recordCount; ++i) text += Slot(db, i) + "\n";
  return text;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

// Well-formed lines. A last line without its line feed counts like the
// others; a carriage return before a line feed is not data (a lone one is);
// a ';' that ends a line closes its last field; empty lines after the last
// title are no titles; the version line is kept whole.
TEST(LoadDat, Tables) {
  const std::string v = "C64 1.00\n", two = v + DatLine("A\rB", {1}) + DatLine("B", {3, 2});
  const std::string two_table = v + "/A\rB||||0|00000001 \nB||||0|00000002 00000003 \n||||0|\n";
  const std::string name101 = std::string(100, 'a') + "b", name150(150, 'c');
  const struct {
    std::string text;
    uint32_t count;
    std::string table, err;
  } cases[] = {
      {two, 3, two_table, ""},
      {two.substr(0, two.size() - 1), 3, two_table, ""},
      {WithCrLf(two), 3, two_table, ""},
      {two + "\n \r\n\t\n", 3, two_table, ""},
      {v + "A;;;;0;1;1;", 2, v + "/A||||0|00000001 \n||||0|\n", ""},
      {v + "A;;;;0;1;5;\nB;;;;0;1;6\n", 3, v + "/A||||0|00000005 \nB||||0|00000006 \n||||0|\n", ""},
      {v, 1, v + "/||||0|\n", ""},
      {"C64 1.00", 0, "C64 1.00/", ""},
      {"", 0, "/", ""},
      {"C64 Collection v2.00 (2024)\r\n" + DatLine("A", {1}), 2,
       "C64 Collection v2.00 (2024)\n/A||||0|00000001 \n||||0|\n", ""},
      {v + "Demo;;;;;2;ffff0000;1A2B3C4D\n", 2, v + "/Demo||||0|1A2B3C4D FFFF0000 \n||||0|\n", ""},
      {v + "N;;;;70000;1;123456789\n", 2, v + "/N||||4464|FFFFFFFF \n||||0|\n", ""},
      {v + name101 + ";Pub;;;0;1;5\n" + name150 + ";;;;0;0\n", 3,
       v + "/" + name101.substr(0, 100) + "|Pub|||0|00000005 \n" + name150.substr(0, 100) + "||||0|\n||||0|\n",
       "Err: LoadDat() record exceeds boundaries:\n100\t" + name101 +
           "\nErr: LoadDat() record exceeds boundaries:\n149\t" + name150.substr(0, 101) + "\n"},
      {v + "A;;;;0;0\nB;;;;0;1;5\n", 3, v + "/A||||0|\nB||||0|00000005 \n||||0|\n", ""},
  };
  DatFolder folder;
  for (const auto& c : cases) {
    Database db;
    MessageLog log;
    EXPECT_EQ(c.count, Load(folder, c.text, &db, &log)) << c.text;
    EXPECT_EQ(c.err, log.Text(Stream::kErr)) << c.text;
    EXPECT_EQ("", log.Text(Stream::kOut)) << c.text;
    EXPECT_EQ(c.table, Table(db)) << c.text;
  }
}

// A malformed line keeps its slot, is reported once with its line number,
// and is taken as far as it is sound: a line with CRCs matches by them, a
// line without matches nothing (not even an image without files).
TEST(LoadDat, MalformedLines) {
  const std::string many = "M;;;;0;0" + [] {
    std::string crcs;
    for (int i = 0; i < 65536; ++i) crcs += ";1";
    return crcs;
  }();
  const struct {
    std::string line, message, slot;
    std::vector<uint32_t> query;
    bool matches;
  } cases[] = {
      {"", "empty line", "||||0|", {}, false},
      {" \t", "empty line", "||||0|", {}, false},
      {"Name;Pub", "too few fields (2 of 6)", "Name|Pub|||0|", {}, false},
      {"Name;;;;1987", "too few fields (5 of 6)", "Name||||1987|", {}, false},
      {"Name;;;;0;6;1;2;3;4;5", "5 CRCs where the count says 6",
       "Name||||0|00000001 00000002 00000003 00000004 00000005 ", {5, 4, 3, 2, 1}, true},
      {"Name;;;;0;1;2;1", "2 CRCs where the count says 1", "Name||||0|00000001 00000002 ",
       {1, 2}, true},
      {"Name;;;;0;2;1", "1 CRC where the count says 2", "Name||||0|00000001 ", {1}, true},
      {"Name;;;;0;2", "0 CRCs where the count says 2", "Name||||0|", {}, false},
      {"Name;;;;0;x;1", "the CRC count is not a number", "Name||||0|00000001 ", {1}, true},
      {"Name;;;;????;1;1", "the date is not a number", "Name||||0|00000001 ", {1}, true},
      {"Name;;;;0;3;1;zz;2", "CRC 2 is not a number", "Name||||0|00000001 00000002 ",
       {1, 2}, true},
      {many, "65536 CRCs, more than the 65535 a title can hold", "M||||0|", {}, false},
  };
  DatFolder folder;
  for (const auto& c : cases) {
    Database db;
    MessageLog log;
    std::string text = "C64 1.00\n" + DatLine("Before", {0x10}) + c.line + "\n" +
                       DatLine("After", {0x20});
    EXPECT_EQ(4u, Load(folder, text, &db, &log)) << c.line;
    EXPECT_EQ("Wrn: " + folder.dat + " line 3: " + c.message + "\n", log.Text(Stream::kErr));
    EXPECT_EQ(c.slot, Slot(db, 2)) << c.line;
    std::vector<uint32_t> query = c.query, after = {0x20};
    EXPECT_EQ(c.matches ? 2u : 0u, FindRecordIndex(db, query)) << c.line;
    EXPECT_EQ(3u, FindRecordIndex(db, after)) << c.line;
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

// A FIFO, a folder or an oversized file in the place of the DAT or have file
// is passed over with a message; nothing waits for a FIFO's writer.
TEST(LoadDat, FilesThatAreNoDatabaseFile) {
  enum Kind { kFifo, kFolder, kHuge };
  const struct {
    Kind kind;
    bool isDat;
    const char* message;
  } cases[] = {
      {kFifo, true, " is not a regular file\n"},
      {kFolder, true, " is not a regular file\n"},
      {kHuge, true, " is larger than 256 MiB\n"},
      {kFifo, false, " is not a regular file\n"},
      {kFolder, false, " is not a regular file\n"},
  };
  for (const auto& c : cases) {
    DatFolder folder;
    WriteFile(folder.dat, NumberedDat(2));
    const std::string& path = c.isDat ? folder.dat : folder.have;
    std::remove(path.c_str());
    if (c.kind == kFifo) {
#ifdef _WIN32
      continue;  // no FIFO lives in a Windows folder
#else
      ASSERT_EQ(0, mkfifo(path.c_str(), 0600));
#endif
    } else if (c.kind == kFolder) {
      MakeFolder(path);
    } else {
      WriteFile(path, std::string("C64 1.00\n"));
      ASSERT_EQ(0, truncate(path.c_str(), (256 << 20) + 1));
    }
    Database db;
    MessageLog log;
    EXPECT_EQ(c.isDat ? 0u : 3u, LoadDat(db, folder.files, log));
    EXPECT_EQ("Err: " + path + c.message, log.Text(Stream::kErr));
  }
}

TEST(LoadDat, NumberRules) {
  const struct {
    const char* text;
    uint16_t value;
    bool number;
  } decimals[] = {{"70000", 4464, true},  {"-1", 0xFFFF, true},    {"-70000", 61072, true},
                  {" \t+12x3", 12, true}, {"99999999999999999999", 0xFFFF, true},
                  {"", 0, false},         {"- 5", 0, false},       {"x1", 0, false}};
  for (const auto& d : decimals) {
    uint16_t value = 1;
    EXPECT_EQ(d.number, ParseDatDecimal(d.text, &value)) << d.text;
    EXPECT_EQ(d.value, value) << d.text;
  }
  const struct {
    const char* text;
    uint32_t value;
    bool number;
  } hexes[] = {{"123456789", 0xFFFFFFFFu, true}, {"-123456789", 0xFFFFFFFFu, true},
               {"FFFFFFFF", 0xFFFFFFFFu, true},  {"0000000000abcdef", 0xABCDEFu, true},
               {" 0X1f", 0x1Fu, true},           {"-1", 0xFFFFFFFFu, true},
               {"-0x10", 0xFFFFFFF0u, true},     {"0x", 0u, false},
               {"12g4", 0x12u, true},            {"zz", 0u, false}};
  for (const auto& h : hexes) {
    uint32_t value = 1;
    EXPECT_EQ(h.number, ParseDatHex(h.text, &value)) << h.text;
    EXPECT_EQ(h.value, value) << h.text;
  }
}

// 65,535 titles, the most a have file can name, load; the next one is
// refused once, and empty lines after the last title do not count.
TEST(LoadDat, TableHoldsAtMost65535Titles) {
  DatFolder folder;
  Database full, over;
  MessageLog log;
  EXPECT_EQ(Load(folder, NumberedDat(kMaxTitles) + "\n\n", &full, &log), 65536u);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(full.records[65535].name, "Title 65535");

  EXPECT_EQ(Load(folder, NumberedDat(kMaxTitles + 10), &over, &log), 65536u);
  EXPECT_EQ(log.Text(Stream::kErr), "Too many ingredients: 65536.\n");
  EXPECT_EQ(Slot(over, 65535), "Title 65535||||0|0000FFFF ");
  EXPECT_EQ(Slot(over, 65536), "||||0|");  // the end marker
}

}  // namespace
