// The DAT loader with the have file beside it: well-formed lines, each
// malformed line with its message and what is taken of it, the table's
// bound; the have file read and rewritten, and the miss list.
#include "database/dat.h"

#include <gtest/gtest.h>

#include "database/have.h"
#include "database/match.h"
#include "tests/fixtures/dat_files.h"

using namespace std::literals;

// `text` with every `from` in it replaced by `to`.
static std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at; (at = text.find(from)) != text.npos;) text.replace(at, from.size(), to);
  return text;
}

// Loads `dat` (and the have file `have`, unless empty), then unloads it: the
// count, the version line, "/", then each title as
// "name|publisher|note|cracker|date|CRC CRC " on a line of its own, marked "*"
// when present and "=" when its own CRCs find it; what was said on standard
// error ("@": the DAT file, "#": the have file); then, when unloading wrote them, "|", the
// have file, "|" and the miss list.
static std::string Load(const std::string& dat, const std::string& have = "") {
  DatFolder folder;
  WriteFile(folder.dat, dat);
  if (!have.empty()) WriteFile(folder.have, have);
  Database db;
  MessageLog log;
  std::string out = std::to_string(LoadDat(db, folder.files, log)) + " " + db.datVersion + "/";
  for (uint32_t i = 1; i < db.recordCount; ++i) {
    const DatRecord& r = db.records[i];
    std::vector<uint32_t> crcs(db.Crcs(i).begin(), db.Crcs(i).end());
    out += (r.have ? "*"s : "") + (FindRecordIndex(db, crcs) == i ? "=" : "") + r.name + "|" + r.publisher +
           "|" + r.crackNote + "|" + r.crackName + "|" + std::to_string(r.date) + "|";
    char crc[10];
    for (uint32_t value : crcs) out += (snprintf(crc, sizeof crc, "%08X ", value), crc);
    out += "\n";
  }
  UnloadDat(db, folder.files, log);
  EXPECT_EQ("", log.Text(Stream::kOut));
  out += Replaced(log.Text(Stream::kErr), folder.dat, "@");
  if (FileExists(folder.miss)) out += "|" + ReadText(folder.have) + "|" + ReadText(folder.miss);
  return Replaced(out, folder.have, "#");
}

// A last line without its line feed counts like the others; a carriage
// return before a line feed is not data (a lone one is); a ';' that ends a
// line closes its last field; blank lines after the last title are none;
// numbers wrap, CRCs saturate. A malformed line keeps its slot, is reported
// once with its line number, and is taken as far as it is sound: a line
// with CRCs is found by them, one without by nothing.
TEST(LoadDat, EveryLine) {
  const std::string v = "C64 1.00\n", two = v + DatLine("A\rB", {1}) + DatLine("B", {3, 2});
  const std::string two_table = "3 " + v + "/=A\rB||||0|00000001 \n=B||||0|00000002 00000003 \n";
  // One title, and the warning about its line.
  auto one = [&](const std::string& slot, const std::string& what = "") {
    return "2 " + v + "/" + slot + "\n" + (what.empty() ? "" : "Wrn: @ line 2: " + what + "\n");
  };
  std::string ones, listed;  // 65,535 CRCs, the most a title can hold
  for (int i = 0; i < 65535; ++i) ones += ";1", listed += "00000001 ";
  const std::string name = std::string(100, 'a') + "b", note(11, 'n');  // one character over
  const std::string limit = "Err: LoadDat() record exceeds boundaries:\n";
  const std::pair<std::string, std::string> cases[] = {
      {two, two_table}, {two.substr(0, two.size() - 1), two_table}, {two + "\n \r\n\t\n", two_table},
      {"C64 1.00\r\nA\rB;;;;0;1;1\r\nB;;;;0;2;2;3\r\n", two_table},
      {v + "A;;;;0;1;5;\nB;;;;0;1;6", "3 " + v + "/=A||||0|00000005 \n=B||||0|00000006 \n"},
      {v, "1 " + v + "/"}, {"C64 1.00", "0 C64 1.00/"},
      {"C64 Collection v2.00 (2024)\r\n", "1 C64 Collection v2.00 (2024)\n/"},
      {v + "D;P;N;C;1987;2;ffff0000;1A2B3C4D\n", one("=D|P|N|C|1987|1A2B3C4D FFFF0000 ")},
      {v + "N;;;;70000;4;123456789; 0X1f;-0x10;12g4", one("=N||||4464|00000012 0000001F FFFFFFF0 FFFFFFFF ")},
      {v + "N;;;; -1;2;-123456789;0000000000abcdef", one("=N||||65535|00ABCDEF FFFFFFFF ")},
      {v + "N;;;;99999999999999999999;0", one("=N||||65535|")},
      {v + "M;;;;0;65535" + ones, one("=M||||0|" + listed)},
      {v + name + ";;" + note + ";;0;0", one("=" + name.substr(0, 100) + "||" + note.substr(1) + "||0|") +
                                             limit + "100\t" + name + "\n" + limit + "10\t" + note + "\n"},
      {v + "\n \t\nA;;;;0;0", "4 " + v + "/||||0|\n||||0|\n=A||||0|\nWrn: @ line 2: empty line\n" +
                                   "Wrn: @ line 3: empty line\n"},
      {v + "Name;Pub", one("Name|Pub|||0|", "too few fields (2 of 6)")},
      {v + "Name;;;;1987", one("Name||||1987|", "too few fields (5 of 6)")},
      {v + "N;;;;0;1;2;1", one("=N||||0|00000001 00000002 ", "2 CRCs where the count says 1")},
      {v + "N;;;;0;2;1", one("=N||||0|00000001 ", "1 CRC where the count says 2")},
      {v + "N;;;;0;2", one("N||||0|", "0 CRCs where the count says 2")},
      {v + "N;;;;0;x;1", one("=N||||0|00000001 ", "the CRC count is not a number")},
      {v + "N;;;;????;1;1", one("=N||||0|00000001 ", "the date is not a number")},
      {v + "N;;;;0;3;1;0x;2", one("=N||||0|00000001 00000002 ", "CRC 2 is not a number")},
      {v + "M;;;;0;0;1" + ones, one("M||||0|", "65536 CRCs, more than the 65535 a title can hold")},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, Load(c.first)) << &c - cases;
}

// 65,535 titles, the most a have file can name, load; the next is refused
// once.
TEST(LoadDat, AtMost65535Titles) {
  const std::string table = Load(NumberedDat(kMaxTitles + 10));
  EXPECT_EQ("65536 C64 1.00\n/", table.substr(0, 16));
  EXPECT_EQ("=Title 65535||||0|0000FFFF \nToo many ingredients: 65536.\n",
            table.substr(table.rfind("=Title")));
  EXPECT_EQ(table.substr(0, table.rfind("Too")), Load(NumberedDat(kMaxTitles) + "\n\n"));
}

// The version line must lead the have file whole, line feed and all; then
// two bytes an index, low byte first, of which an odd last byte is none.
// The have file is rewritten, indices ascending, with the miss list, only
// when a title is present.
TEST(LoadDat, HaveFile) {
  const std::string v = "C64 1.00\n", abc = v + "A;;;;0;0\nB;;;;0;0\nC;;;;0;0\n";
  auto titles = [&](const std::string& present) {
    std::string table = "4 " + v + "/";
    for (char t : "ABC"s)
      table += (present.find(t) != present.npos ? "*" : "") + (t == 'A' ? "="s : "") + t + "||||0|\n";
    return table;
  };
  const std::string changed = "Datfile version has changed, ignoring #\nRe-scan all files to include them.\n";
  const std::string illegal = "# contains illegal index: ", longer = "C64 Collection v2.0";
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {abc, v + "\3\0\2\0"s, titles("BC") + "|" + v + "\2\0\3\0"s + "|A\n"},
      {abc, "C64 1.01\n\1", titles("") + changed},
      {abc, "C64 1.0", titles("") + changed},
      {longer + "\nA;;;;0;0\n", longer + "\1", "2 " + longer + "\n/=A||||0|\n" + changed},
      {abc, v + "\3\0\4\0\0\0\x34\x12\2"s,
       titles("C") + illegal + "4, ignoring\n" + illegal + "4660, ignoring\n|" + v + "\3\0"s + "|A\nB\n"},
      {"", "\1\0"s, "0 /" + illegal + "1, ignoring\n"},
  };
  for (const auto& [dat, have, table] : cases) EXPECT_EQ(table, Load(dat, have)) << have;
}

// A have file that is no regular file is passed over; one that cannot be
// written is reported, and does not stop the miss list.
TEST(LoadDat, HaveFileThatCannotBeWritten) {
  DatFolder folder;
  MakeFolder(folder.have);
  WriteFile(folder.dat, NumberedDat(3));
  Database db;
  MessageLog log;
  LoadDat(db, folder.files, log);
  const std::string lost = folder.dir / "gone/C64have.dat";
  folder.files.have = lost.c_str();
  db.records[3].have = 1;
  WriteHave(db, folder.files, log);
  EXPECT_EQ("Err: " + folder.have + " is not a regular file\nErr: Unable to write " + lost +
                ": No such file or directory\n", log.Text(Stream::kErr));
  EXPECT_EQ("Title 1\nTitle 2\n", ReadText(folder.miss));
}
