// Tests of the have file, the miss list and the made-up version line.
#include "database/have.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fixtures/dat_files.h"

namespace {

const std::string kVersion = "C64 1.00\n";

std::vector<uint8_t> HaveBytes(const std::string& version, std::vector<uint8_t> indices) {
  std::vector<uint8_t> bytes(version.begin(), version.end());
  bytes.insert(bytes.end(), indices.begin(), indices.end());
  return bytes;
}

std::vector<uint32_t> Marked(const Database& db) {
  std::vector<uint32_t> marked;
  for (uint32_t i = 1; i < db.recordCount; ++i) {
    if (db.records[i].have) marked.push_back(i);
  }
  return marked;
}

// Loads a DAT of `titles` numbered titles, with whatever have file is there;
// returns what the loader said on standard error.
std::string Load(const DatFolder& folder, uint32_t titles, Database* db) {
  WriteFile(folder.dat, NumberedDat(titles));
  MessageLog log;
  EXPECT_EQ(LoadDat(*db, folder.files, log), titles + 1);
  EXPECT_EQ("", log.Text(Stream::kOut));
  return log.Text(Stream::kErr);
}

// What writing the have file said on standard error.
std::string Unload(const DatFolder& folder, Database& db) {
  MessageLog log;
  UnloadDat(db, folder.files, log);
  return log.Text(Stream::kErr);
}

TEST(HaveFile, RunsAccumulateTitlesByIndex) {
  DatFolder folder;
  Database none, first;
  EXPECT_EQ("", Load(folder, 3, &none));
  EXPECT_EQ("", Unload(folder, none));
  EXPECT_FALSE(FileExists(folder.have)) << "nothing present writes nothing";
  EXPECT_FALSE(FileExists(folder.miss));
  Load(folder, 10, &first);
  for (uint32_t index : {5, 2, 9}) first.records[index].have = 1;
  EXPECT_EQ("", Unload(folder, first));
  EXPECT_TRUE(first.records.empty());
  EXPECT_EQ(first.recordCount, 0u);
  const std::vector<uint8_t> expected = HaveBytes(kVersion, {2, 0, 5, 0, 9, 0});
  EXPECT_EQ(ReadFile(folder.have), expected);
  EXPECT_EQ(ReadText(folder.miss),
            "Title 1\nTitle 3\nTitle 4\nTitle 6\nTitle 7\nTitle 8\nTitle 10\n");

  // A second run that finds nothing new rewrites the same bytes.
  Database second;
  EXPECT_EQ("", Load(folder, 10, &second));
  EXPECT_EQ(Marked(second), (std::vector<uint32_t>{2, 5, 9}));
  EXPECT_EQ("", Unload(folder, second));
  EXPECT_EQ(ReadFile(folder.have), expected);

  // A third one adds index 300, stored low byte first.
  Database third;
  Load(folder, 400, &third);
  third.records[300].have = 1;
  EXPECT_EQ("", Unload(folder, third));
  EXPECT_EQ(ReadFile(folder.have), HaveBytes(kVersion, {2, 0, 5, 0, 9, 0, 0x2C, 0x01}));
}

TEST(HaveFile, OtherVersionIsIgnoredAndKeptUntilReplaced) {
  DatFolder folder;
  const std::string messages = "Datfile version has changed, ignoring " + folder.have +
                               "\nRe-scan all files to include them.\n";
  for (const std::vector<uint8_t>& old :
       {HaveBytes("C64 1.01\n", {1, 0}), HaveBytes("C64 1.0", {})}) {
    WriteFile(folder.have, old);
    Database db;
    EXPECT_EQ(Load(folder, 3, &db), messages);
    EXPECT_TRUE(Marked(db).empty());
    Unload(folder, db);
    EXPECT_EQ(ReadFile(folder.have), old);
  }
}

// A version line of 19 characters or more is the have file's head whole,
// with its line feed; a have file cut to 19 characters is of another version.
TEST(HaveFile, LongVersionLineIsKeptWhole) {
  DatFolder folder;
  const std::string version = "C64 Collection v2.0\n";
  WriteFile(folder.dat, version + DatLine("A", {1}) + DatLine("B", {2}));
  WriteFile(folder.have, HaveBytes(version.substr(0, 19), {1, 0, 2, 0}));
  Database old;
  MessageLog log;
  LoadDat(old, folder.files, log);
  EXPECT_EQ(log.Text(Stream::kErr), "Datfile version has changed, ignoring " + folder.have +
                                        "\nRe-scan all files to include them.\n");
  old.records[2].have = 1;
  Unload(folder, old);
  EXPECT_EQ(ReadFile(folder.have), HaveBytes(version, {2, 0}));
  Database again;
  LoadDat(again, folder.files, log);
  EXPECT_EQ(Marked(again), std::vector<uint32_t>{2});
}

TEST(HaveFile, IllegalIndicesAndOddByteAreSkipped) {
  DatFolder folder;
  // recordCount is 4: index 4 is the end marker, 0x1234 beyond the table.
  WriteFile(folder.have, HaveBytes(kVersion, {1, 0, 4, 0, 0, 0, 0x34, 0x12, 3, 0, 2}));
  Database db;
  EXPECT_EQ(Load(folder, 3, &db), folder.have + " contains illegal index: 4, ignoring\n" +
                                     folder.have + " contains illegal index: 4660, ignoring\n");
  EXPECT_EQ(Marked(db), (std::vector<uint32_t>{1, 3}));
}

TEST(HaveFile, FailedWriteKeepsTheOldFileAndSaysSo) {
#ifdef _WIN32
  GTEST_SKIP() << "a full disk is made with a POSIX file size limit";
#else
  DatFolder folder;
  Database db;
  Load(folder, 20, &db);
  db.records[1].have = 1;
  NullSink quiet;
  WriteHave(db, folder.files, quiet);
  const std::vector<uint8_t> old = ReadFile(folder.have);
  for (uint32_t index = 2; index <= 20; ++index) db.records[index].have = 1;

  // The disk fills up while the new have file is written.
  std::string err = StderrUnderFileSizeLimit(old.size(), [&] {
    ConsoleSink console;
    WriteHave(db, folder.files, console);
  });
  EXPECT_EQ(err, "Err: Unable to write " + folder.have + ": File too large\n");
  EXPECT_EQ(ReadFile(folder.have), old);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.dir.path()))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"C64.dat", "C64have.dat", "C64miss.txt"}));

  // A have file that cannot be made does not stop the miss list.
  std::string lost = folder.dir / "gone/C64have.dat";
  folder.files.have = lost.c_str();
  std::remove(folder.miss.c_str());
  db.records[20].have = 0;
  MessageLog log;
  WriteHave(db, folder.files, log);
  EXPECT_EQ(log.Text(Stream::kErr),
            "Err: Unable to write " + lost + ": No such file or directory\n");
  EXPECT_EQ(ReadText(folder.miss), "Title 20\n");
#endif
}

TEST(DatVersion, MadeFromTheDatNameWhenNoneIsLoaded) {
  for (auto [r, number] : {std::pair{1234u, "1.34"}, {567u, "0.67"}, {23456u, "2.45"}, {0u, "0.00"}})
    EXPECT_EQ(DatVersionNumber(r), number);
  for (std::string name : {"C64.dat", "Amiga.dat", "Games"}) {
    DatFiles files{name.c_str(), "", ""};
    Database db;
    std::string version = DatVersion(db, files);
    EXPECT_TRUE(IsMadeUpVersion(version, name.substr(0, name.rfind('.')))) << version;
    EXPECT_EQ(DatVersion(db, files), version);  // made once
  }
  DatFolder folder;
  Database loaded;
  Load(folder, 1, &loaded);
  EXPECT_EQ(DatVersion(loaded, folder.files), kVersion);
}

}  // namespace
