// The ZIP reader on archives from Info-ZIP zip and on hand-made damage: every
// open and entry failure with its one exact message.
#include "archive/zip.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "run/crc32.h"
#include "tests/fixtures/process.h"
#include "tests/fixtures/zip_writer.h"

namespace {

std::string Message(const std::string& path, const char* explanation) {
  return "Error in zipfile " + path + "\n" + explanation + "\n";
}

// Opens `path` expecting failure; returns what was written to standard output.
std::string FailedOpen(const std::string& path) {
  testing::internal::CaptureStdout();
  std::unique_ptr<ZipArchive> archive = ZipOpen(path);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(nullptr, archive);
  return out;
}

// Writes `bytes` to a file in `dir` and opens it expecting failure.
std::string FailedOpen(const TempDir& dir, const std::vector<uint8_t>& bytes) {
  WriteFile(dir / "t.zip", bytes);
  return FailedOpen(dir / "t.zip");
}

std::vector<std::string> EntryNames(ZipArchive& archive) {
  std::vector<std::string> names;
  while (const ZipEntry* e = ZipNextEntry(archive)) names.push_back(e->name);
  return names;
}

TEST(ZipOpen, ReadsArchiveFromZipInStoredOrder) {
  TempDir dir;
  std::vector<uint8_t> c = SampleBytes(5000);
  WriteFile(dir / "c.prg", c);
  WriteFile(dir / "a.d64", std::string("alpha"));
  MakeFolder(dir / "sub");
  WriteFile(dir / "sub/b.t64", std::string(""));
  ASSERT_EQ(0, Shell("cd " + dir.path() + " && zip -q t.zip c.prg a.d64 sub sub/b.t64"));
  BuildCrcTable();

  testing::internal::CaptureStdout();
  std::unique_ptr<ZipArchive> archive = ZipOpen(dir / "t.zip");
  ASSERT_NE(nullptr, archive);
  EXPECT_EQ(4, archive->total_entries);
  EXPECT_EQ(0u, archive->cursor);
  const ZipEntry* e = ZipNextEntry(*archive);
  ASSERT_NE(nullptr, e);
  EXPECT_EQ("c.prg", e->name);
  EXPECT_EQ(0x02014B50u, e->signature);
  EXPECT_EQ(8, e->method);
  EXPECT_EQ(5000u, e->uncompressed_size);
  EXPECT_LT(e->compressed_size, 5000u);
  EXPECT_EQ(crc32(c.data(), 5000, 0, 0), e->crc32);
  EXPECT_EQ(5u, e->name_length);
  EXPECT_EQ(0u, e->local_header_offset);
  EXPECT_EQ((std::vector<std::string>{"a.d64", "sub/", "sub/b.t64"}), EntryNames(*archive));
  EXPECT_EQ(nullptr, ZipNextEntry(*archive));
  EXPECT_EQ(archive->directory_size, archive->cursor);
  ZipClose(std::move(archive));
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

TEST(ZipOpen, FindsRecordBehindLongComments) {
  TempDir dir;
  WriteFile(dir / "a.prg", SampleBytes(300));
  // zip ends each comment line with CR LF: 20 lines of 100 bytes.
  std::string comment;
  for (int line = 0; line < 20; ++line) comment += std::string(line < 19 ? 98 : 100, 'x') + "\n";
  WriteFile(dir / "comment", comment);
  ASSERT_EQ(0, Shell("cd " + dir.path() + " && zip -q t.zip a.prg && zip -q -z t.zip < comment"));
  std::unique_ptr<ZipArchive> archive = ZipOpen(dir / "t.zip");
  ASSERT_NE(nullptr, archive);
  EXPECT_EQ(2000, archive->comment_length);
  EXPECT_EQ(22u + 2000u, archive->ecd_length);
  EXPECT_EQ('x', archive->ecd[archive->comment_position]);
  EXPECT_EQ(std::vector<std::string>{"a.prg"}, EntryNames(*archive));

  // A record at the very start of a 9,000-byte file is found only by the
  // window that covers the whole file; it has no entries.
  ZipFixtureEnd end;
  end.comment = std::string(8978, 'c');
  EXPECT_EQ(Message(dir / "t.zip", kZipUnsupported), FailedOpen(dir, BuildZip({}, end)));
}

TEST(ZipOpen, RecordNearestTheEndWins) {
  // A signature inside the comment, with room for a record after it, is
  // taken for the record; here it announces two disks.
  TempDir dir;
  ZipFixtureEnd end;
  end.comment = std::string("PK\x05\x06\x01\x00", 6) + std::string(40, '\0');
  EXPECT_EQ(Message(dir / "t.zip", kZipUnsupported),
            FailedOpen(dir, BuildZip({StoredEntry("a", {1})}, end)));
}

TEST(ZipOpen, FileSystemFailures) {
  TempDir dir;
  EXPECT_EQ(Message(dir / "missing.zip", kZipFileSystem), FailedOpen(dir / "missing.zip"));

  // A FIFO opens (a writer is waiting) but cannot seek.
  const std::string fifo = dir / "fifo.zip";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0644));
  int writer = open(fifo.c_str(), O_RDWR);
  ASSERT_GE(writer, 0);
  EXPECT_EQ(Message(fifo, kZipFileSystem), FailedOpen(fifo));
  close(writer);
}

TEST(ZipOpen, CorruptWithoutUsableRecord) {
  TempDir dir;
  const std::string corrupt = Message(dir / "t.zip", kZipCorrupt);
  EXPECT_EQ(corrupt, FailedOpen(dir, {}));
  // A 10-byte file: its only window is shorter than a record.
  EXPECT_EQ(corrupt, FailedOpen(dir, {'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0}));
  // No signature in any window up to the whole file.
  EXPECT_EQ(corrupt, FailedOpen(dir, SampleBytes(5000)));
  // A signature with fewer than 22 bytes after it is not a record.
  std::vector<uint8_t> short_tail = SampleBytes(100);
  short_tail.insert(short_tail.end(), {'P', 'K', 5, 6, 1, 0, 1, 0});
  EXPECT_EQ(corrupt, FailedOpen(dir, short_tail));
}

TEST(ZipOpen, UnsupportedVolumesAndCounts) {
  TempDir dir;
  const std::string unsupported = Message(dir / "t.zip", kZipUnsupported);
  const std::vector<ZipFixtureEntry> one = {StoredEntry("a.prg", {1, 2, 3})};
  EXPECT_EQ(unsupported, FailedOpen(dir, BuildZip({})));

  ZipFixtureEnd split;
  split.this_disk = 1;
  EXPECT_EQ(unsupported, FailedOpen(dir, BuildZip(one, split)));

  ZipFixtureEnd disagreeing;
  disagreeing.entries_on_disk = 2;
  EXPECT_EQ(unsupported, FailedOpen(dir, BuildZip(one, disagreeing)));

  ZipFixtureEnd zero;
  zero.entries_on_disk = zero.total_entries = 0;
  EXPECT_EQ(unsupported, FailedOpen(dir, BuildZip(one, zero)));
}

TEST(ZipOpen, UnsupportedFrom2GiB) {
  TempDir dir;
  std::vector<uint8_t> zip = BuildZip({StoredEntry("a.prg", {1, 2, 3})});
  WriteFile(dir / "big.zip", zip);
  // Sparse: a hole in front of the archive takes no space.
  ASSERT_EQ(0, truncate((dir / "big.zip").c_str(), 0x80000000));
  EXPECT_EQ(Message(dir / "big.zip", kZipUnsupported), FailedOpen(dir / "big.zip"));
}

TEST(ZipOpen, CorruptCentralDirectoryPlacement) {
  TempDir dir;
  const std::string corrupt = Message(dir / "t.zip", kZipCorrupt);
  const std::vector<ZipFixtureEntry> one = {StoredEntry("a.prg", {1, 2, 3})};
  ZipFixtureEnd end;
  end.directory_size = 0;
  EXPECT_EQ(corrupt, FailedOpen(dir, BuildZip(one, end)));

  end = {};
  end.directory_offset = 0xFFFFFFF0u;  // beyond the end: the seek row
  EXPECT_EQ(corrupt, FailedOpen(dir, BuildZip(one, end)));

  end = {};
  end.directory_size = 0x7FFFFFF0u;  // far more than the file: never allocated
  EXPECT_EQ(corrupt, FailedOpen(dir, BuildZip(one, end)));

  end = {};
  end.directory_size = 46 + 5 + 22 + 1;  // through the record and one byte on
  EXPECT_EQ(corrupt, FailedOpen(dir, BuildZip(one, end)));
}

TEST(ZipNextEntry, EntryRunningPastDirectoryIsReportedEachTime) {
  TempDir dir;
  ZipFixtureEntry bad = StoredEntry("b.prg", {4});
  bad.name_length = 6;  // one byte past the directory
  ZipFixtureEnd cut;
  cut.directory_size = 46 + 5 + 10;  // ends 10 bytes into the second header
  for (const ZipFixtureEnd& end : {ZipFixtureEnd{}, cut}) {
    WriteFile(dir / "t.zip", BuildZip({StoredEntry("a.prg", {1}), bad}, end));
    std::unique_ptr<ZipArchive> archive = ZipOpen(dir / "t.zip");
    ASSERT_NE(nullptr, archive);
    ASSERT_NE(nullptr, ZipNextEntry(*archive));
    const uint32_t cursor = archive->cursor;
    for (int call = 0; call < 2; ++call) {
      testing::internal::CaptureStdout();
      EXPECT_EQ(nullptr, ZipNextEntry(*archive));
      EXPECT_EQ(Message(dir / "t.zip", kZipCorrupt), testing::internal::GetCapturedStdout());
      EXPECT_EQ(cursor, archive->cursor);
    }
    ZipClose(std::move(archive));
  }
}

TEST(ZipNextEntry, NameIsCutAtZeroAndEndsWhereTheBytesEnd) {
  // Two entries although the record counts one: the bytes decide.
  TempDir dir;
  ZipFixtureEnd end;
  end.entries_on_disk = end.total_entries = 1;
  std::string zero_name("a.d64\0junk", 10);
  WriteFile(dir / "t.zip", BuildZip({StoredEntry(zero_name, {1}), StoredEntry("b", {2})}, end));
  std::unique_ptr<ZipArchive> archive = ZipOpen(dir / "t.zip");
  ASSERT_NE(nullptr, archive);
  const ZipEntry* e = ZipNextEntry(*archive);
  ASSERT_NE(nullptr, e);
  EXPECT_EQ("a.d64", e->name);
  EXPECT_EQ(10, e->name_length);
  EXPECT_EQ(std::vector<std::string>{"b"}, EntryNames(*archive));
}

}  // namespace
