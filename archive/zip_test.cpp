// The ZIP reader on archives from Info-ZIP zip and on hand-made damage: every
// open and entry failure with its one exact message.
#include "archive/zip.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util/crc32.h"
#include "testkit/random.h"
#include "tests/fixtures/process.h"
#include "tests/fixtures/zip_writer.h"

namespace {

std::string Message(const std::string& path, const char* explanation) {
  return "Error in zipfile " + path + "\n" + explanation + "\n";
}

NullSink quiet;

// Opens `path` expecting failure; returns what it reported.
std::string FailedOpen(const std::string& path) {
  MessageLog log;
  EXPECT_EQ(nullptr, ZipOpen(path, log));
  EXPECT_EQ("", log.Text(Stream::kOut));
  return log.Text(Stream::kErr);
}

std::vector<uint8_t> Appended(std::vector<uint8_t> bytes, size_t count) {
  bytes.resize(bytes.size() + count, 'x');
  return bytes;
}

std::vector<std::string> EntryNames(ZipArchive& archive) {
  std::vector<std::string> names;
  while (const ZipEntry* e = ZipNextEntry(archive)) names.push_back(e->name);
  return names;
}

TEST(ZipOpen, ReadsArchiveFromZipInStoredOrder) {
  if (!kPosixShell) GTEST_SKIP() << "zip runs in a POSIX shell";
  TempDir dir;
  std::vector<uint8_t> c = SeededBytes(5000, 1);
  WriteFile(dir / "c.prg", c);
  WriteFile(dir / "a.d64", std::string("alpha"));
  MakeFolder(dir / "sub");
  WriteFile(dir / "sub/b.t64", std::string(""));
  ASSERT_EQ(0, Shell("cd " + dir.path() + " && zip -q t.zip c.prg a.d64 sub sub/b.t64"));
  BuildCrcTable();

  MessageLog log;
  std::unique_ptr<ZipArchive> archive = ZipOpen(dir / "t.zip", log);
  ASSERT_NE(nullptr, archive);
  const ZipEntry* e = ZipNextEntry(*archive);
  ASSERT_NE(nullptr, e);
  EXPECT_EQ("c.prg", e->name);
  EXPECT_EQ(8, e->method);
  EXPECT_EQ(5000u, e->uncompressed_size);
  EXPECT_LT(e->compressed_size, 5000u);
  EXPECT_EQ(crc32(c.data(), 5000, 0, 0), e->crc32);
  EXPECT_EQ(5u, e->name_length);
  EXPECT_EQ(0u, e->local_header_offset);
  EXPECT_EQ((std::vector<std::string>{"a.d64", "sub/", "sub/b.t64"}), EntryNames(*archive));
  EXPECT_EQ(nullptr, ZipNextEntry(*archive));
  EXPECT_TRUE(archive->exhausted());
  ZipClose(std::move(archive));
  EXPECT_TRUE(log.empty());
}

// zip ends each comment line with CR LF: 20 lines of 100 bytes, so that the
// record is found only in the second window.
TEST(ZipOpen, FindsRecordBehindLongComments) {
  if (!kPosixShell) GTEST_SKIP() << "zip runs in a POSIX shell";
  TempDir dir;
  WriteFile(dir / "a.prg", SeededBytes(300, 1));
  std::string comment;
  for (int line = 0; line < 20; ++line) comment += std::string(line < 19 ? 98 : 100, 'x') + "\n";
  WriteFile(dir / "comment", comment);
  ASSERT_EQ(0, Shell("cd " + dir.path() + " && zip -q t.zip a.prg && zip -q -z t.zip < comment"));
  std::unique_ptr<ZipArchive> archive = ZipOpen(dir / "t.zip", quiet);
  ASSERT_NE(nullptr, archive);
  EXPECT_EQ(std::vector<std::string>{"a.prg"}, EntryNames(*archive));
}

TEST(ZipOpen, FailuresWithTheirExplanation) {
  TempDir dir;
  const std::vector<ZipFixtureEntry> one = {StoredEntry("a.prg", {1, 2, 3})};
  std::vector<uint8_t> short_tail = SeededBytes(100, 1);
  short_tail.insert(short_tail.end(), {'P', 'K', 5, 6, 1, 0, 1, 0});
  const struct {
    const char* what;
    std::vector<uint8_t> zip;
    const char* explanation;
  } cases[] = {
      {"empty file", {}, kZipCorrupt},
      {"10 bytes: the only window is shorter than a record", {'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0}, kZipCorrupt},
      {"no signature in any window", SeededBytes(5000, 1), kZipCorrupt},
      {"fewer than 22 bytes after the signature", short_tail, kZipCorrupt},
      {"zero entries", BuildZip({}), kZipUnsupported},
      {"split", BuildZip(one, {.this_disk = 1}), kZipUnsupported},
      {"entry counts disagree", BuildZip(one, {.entries_on_disk = 2}), kZipUnsupported},
      {"counts 0", BuildZip(one, {.entries_on_disk = 0, .total_entries = 0}), kZipUnsupported},
      // A record at the very start of a 9,000-byte file is found only by the
      // window that covers the whole file; it has no entries.
      {"record at the start", BuildZip({}, {.comment = std::string(8978, 'c')}), kZipUnsupported},
      // A signature inside the comment, with room for a record after it, is
      // taken for the record; here it announces two disks.
      {"record nearest the end wins",
       BuildZip(one, {.comment = std::string("PK\x05\x06\x01\x00", 6) + std::string(40, '\0')}),
       kZipUnsupported},
      // The record lies at most 22 + 65,535 bytes before the end; nothing
      // further back is read.
      {"record behind the longest comment", BuildZip({}, {.comment = std::string(65535, 'c')}),
       kZipUnsupported},
      {"record one byte further back", Appended(BuildZip({}, {.comment = std::string(65535, 'c')}), 1),
       kZipCorrupt},
      {"directory size 0", BuildZip(one, {.directory_size = 0}), kZipCorrupt},
      {"directory beyond the end", BuildZip(one, {.directory_offset = 0xFFFFFFF0u}), kZipCorrupt},
      {"directory far larger than the file", BuildZip(one, {.directory_size = 0x7FFFFFF0u}), kZipCorrupt},
      {"directory through the record and one byte on", BuildZip(one, {.directory_size = 46 + 5 + 22 + 1}),
       kZipCorrupt},
  };
  for (const auto& c : cases) {
    WriteFile(dir / "t.zip", c.zip);
    EXPECT_EQ(Message(dir / "t.zip", c.explanation), FailedOpen(dir / "t.zip")) << c.what;
  }
}

// A FIFO opens (a writer is waiting) but cannot seek; from 2 GiB on (sparse: a
// hole in front of the archive takes no space) the sizes do not fit.
TEST(ZipOpen, FileSystemFailuresAndSize) {
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs and sparse files are made with POSIX calls";
#else
  TempDir dir;
  EXPECT_EQ(Message(dir / "missing.zip", kZipFileSystem), FailedOpen(dir / "missing.zip"));
  const std::string fifo = dir / "fifo.zip";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0644));
  int writer = open(fifo.c_str(), O_RDWR);
  ASSERT_GE(writer, 0);
  EXPECT_EQ(Message(fifo, kZipFileSystem), FailedOpen(fifo));
  close(writer);

  WriteFile(dir / "big.zip", BuildZip({StoredEntry("a.prg", {1, 2, 3})}));
  ASSERT_EQ(0, truncate((dir / "big.zip").c_str(), 0x80000000));
  EXPECT_EQ(Message(dir / "big.zip", kZipUnsupported), FailedOpen(dir / "big.zip"));
#endif
}

TEST(ZipNextEntry, EntryRunningPastDirectoryIsReportedEachTime) {
  TempDir dir;
  ZipFixtureEntry bad = StoredEntry("b.prg", {4});
  bad.name_length = 6;  // one byte past the directory
  // The directory ends 10 bytes into the second header.
  for (const ZipFixtureEnd& end : {ZipFixtureEnd{}, ZipFixtureEnd{.directory_size = 46 + 5 + 10}}) {
    WriteFile(dir / "t.zip", BuildZip({StoredEntry("a.prg", {1}), bad}, end));
    MessageLog log;
    std::unique_ptr<ZipArchive> archive = ZipOpen(dir / "t.zip", log);
    ASSERT_NE(nullptr, archive);
    ASSERT_NE(nullptr, ZipNextEntry(*archive));
    for (int call = 0; call < 2; ++call) EXPECT_EQ(nullptr, ZipNextEntry(*archive));
    EXPECT_EQ(Message(dir / "t.zip", kZipCorrupt) + Message(dir / "t.zip", kZipCorrupt),
              log.Text(Stream::kErr));
    ZipClose(std::move(archive));
  }
}

TEST(ZipNextEntry, NameIsCutAtZeroAndEndsWhereTheBytesEnd) {
  // Two entries although the record counts one: the bytes decide.
  TempDir dir;
  WriteFile(dir / "t.zip", BuildZip({StoredEntry(std::string("a.d64\0junk", 10), {1}), StoredEntry("b", {2})},
                                    {.entries_on_disk = 1, .total_entries = 1}));
  std::unique_ptr<ZipArchive> archive = ZipOpen(dir / "t.zip", quiet);
  ASSERT_NE(nullptr, archive);
  const ZipEntry* e = ZipNextEntry(*archive);
  ASSERT_NE(nullptr, e);
  EXPECT_EQ("a.d64", e->name);
  EXPECT_EQ(10, e->name_length);
  EXPECT_EQ(std::vector<std::string>{"b"}, EntryNames(*archive));
}

ZipFixtureEntry At(ZipFixtureEntry e, uint32_t local_header_offset) {
  e.local_header_offset = local_header_offset;
  return e;
}

// A deflated entry of `compressed` bytes (not a real stream: only the sizes
// count here) that claims `uncompressed`.
ZipFixtureEntry Claiming(const std::string& name, uint32_t compressed, uint32_t uncompressed) {
  ZipFixtureEntry e = DeflatedEntry(name, {});
  e.payload.assign(compressed, 0);
  e.compressed_size = compressed;
  e.uncompressed_size = uncompressed;
  return e;
}

// Each row is an archive whose entries are admitted in order until the
// first refusal (true: admitted).
TEST(ZipAdmit, RefusesWhatNoHonestArchiveAsks) {
  const std::vector<uint8_t> data = SeededBytes(3000, 1);
  const ZipFixtureEntry a = StoredEntry("a.prg", data), b = DeflatedEntry("b.prg", data);
  const uint32_t a_size = 30 + 5 + 3000;
  const uint32_t quarter = 256u << 20, quarter_input = (quarter - 1032) / 1032 + 1;
  ZipFixtureEntry stored_sizes = a;
  stored_sizes.uncompressed_size = 2999;
  ZipFixtureEntry beyond = b;
  beyond.compressed_size = 100000;
  const struct {
    const char* what;
    std::vector<ZipFixtureEntry> entries;
    std::vector<bool> admitted;
  } cases[] = {
      {"stored and deflated side by side", {a, b}, {true, true}},
      {"one local header for two entries", {a, At(a, 0)}, {true, false}},
      {"a header inside the data before it", {b, At(a, 40)}, {true, false}},
      {"data running into a later header", {At(a, 200), At(a, 0)}, {true, false}},
      {"spans in any order", {At(a, a_size), At(a, 0)}, {true, true}},
      {"stored sizes that disagree", {stored_sizes}, {false}},
      {"data beyond the end of the file", {a, beyond}, {true, false}},
      {"deflate's limit", {Claiming("x.prg", 100, 100 * 1032 + 1032)}, {true}},
      {"one byte beyond deflate's limit", {Claiming("x.prg", 100, 100 * 1032 + 1033)}, {false}},
      {"four of the largest images, then one byte more",
       {Claiming("1.d64", quarter_input, quarter), Claiming("2.d64", quarter_input, quarter),
        Claiming("3.d64", quarter_input, quarter), Claiming("4.d64", quarter_input, quarter),
        Claiming("5.d64", 1, 1)},
       {true, true, true, true, false}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    WriteFile(dir / "t.zip", BuildZip(c.entries));
    MessageLog log;
    std::unique_ptr<ZipArchive> archive = ZipOpen(dir / "t.zip", log);
    ASSERT_NE(nullptr, archive) << c.what;
    std::vector<bool> admitted;
    while (const ZipEntry* e = ZipNextEntry(*archive)) {
      admitted.push_back(ZipAdmit(*archive, *e));
      if (!admitted.back()) break;
    }
    EXPECT_EQ(c.admitted, admitted) << c.what;
    EXPECT_EQ(c.admitted.back() ? "" : Message(dir / "t.zip", kZipCorrupt), log.Text(Stream::kErr))
        << c.what;
  }
}

}  // namespace
