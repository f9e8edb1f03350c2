// The ZIP reader on archives from Info-ZIP zip and on hand-made damage: every
// open and entry failure with its one exact message.
#include "archive/zip.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util/crc32.h"
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
  EXPECT_EQ("", log.Text(Stream::kErr));
  return log.Text(Stream::kOut);
}

std::vector<std::string> EntryNames(ZipArchive& archive) {
  std::vector<std::string> names;
  while (const ZipEntry* e = ZipNextEntry(archive)) names.push_back(e->name);
  return names;
}

TEST(ZipOpen, ReadsArchiveFromZipInStoredOrder) {
  if (!kPosixShell) GTEST_SKIP() << "zip runs in a POSIX shell";
  TempDir dir;
  std::vector<uint8_t> c = SampleBytes(5000);
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
  WriteFile(dir / "a.prg", SampleBytes(300));
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
  std::vector<uint8_t> short_tail = SampleBytes(100);
  short_tail.insert(short_tail.end(), {'P', 'K', 5, 6, 1, 0, 1, 0});
  const struct {
    const char* what;
    std::vector<uint8_t> zip;
    const char* explanation;
  } cases[] = {
      {"empty file", {}, kZipCorrupt},
      {"10 bytes: the only window is shorter than a record", {'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0}, kZipCorrupt},
      {"no signature in any window", SampleBytes(5000), kZipCorrupt},
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
              log.Text(Stream::kOut));
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

}  // namespace
