// Extraction of entries from zip-made and hand-made archives, and the chunked
// inflater's exact success rule.
#include "archive/extract.h"

#include <gtest/gtest.h>

#include <functional>

#include "testkit/random.h"
#include "tests/fixtures/process.h"
#include "tests/fixtures/zip_writer.h"

namespace {

struct Extracted {
  int result;
  std::vector<uint8_t> data;
  std::string err;  // standard error
};

// The archive reports to `log`, which is cleared first.
Extracted Extract(ZipArchive& archive, const ZipEntry& entry, MessageLog& log) {
  Extracted x;
  x.data.resize(entry.uncompressed_size);
  log.clear();
  x.result = ZipExtract(archive, entry, x.data.data());
  x.err = log.Text(Stream::kErr);
  EXPECT_EQ("", log.Text(Stream::kOut));
  return x;
}

std::string Message(const std::string& path, const char* explanation) {
  return "Error in zipfile " + path + "\n" + explanation + "\n";
}

// Every entry of zip-made archives extracts as the file of its name: deflated,
// stored, and written to a pipe (data descriptors). zip marks data read from a
// pipe for Zip64 (version 4.5): deflated it is refused, stored it is read.
TEST(ZipExtract, ArchivesFromZip) {
  if (!kPosixShell) GTEST_SKIP() << "zip runs in a POSIX shell";
  TempDir dir;
  WriteFile(dir / "big.d64", SeededBytes(174848, 1));  // many 16 KiB chunks
  WriteFile(dir / "small.prg", std::string("10 PRINT \"HELLO\"\n"));
  WriteFile(dir / "empty.prg", std::string(""));
  WriteFile(dir / "random.t64", SeededBytes(3000, 7));
  WriteFile(dir / "-", SeededBytes(2000, 1));
  const std::string files = " big.d64 small.prg empty.prg random.t64";
  ASSERT_EQ(0, Shell("cd " + dir.path() + " && zip -q deflated.zip" + files +
                     " && zip -q -0 stored.zip" + files + " && zip -q -" + files + " | cat > piped.zip" +
                     " && zip -q - - < ./- | cat > d.zip && zip -q -0 - - < ./- | cat > s.zip"));
  for (const char* zip : {"deflated.zip", "stored.zip", "piped.zip", "d.zip", "s.zip"}) {
    MessageLog log;
    std::unique_ptr<ZipArchive> archive = ZipOpen(dir / zip, log);
    ASSERT_NE(nullptr, archive);
    const bool piped = std::string(zip) != "deflated.zip" && std::string(zip) != "stored.zip";
    int count = 0;
    for (; const ZipEntry* e = ZipNextEntry(*archive); ++count) {
      EXPECT_EQ(piped ? 8 : 0, e->flags & 8) << zip;
      Extracted x = Extract(*archive, *e, log);
      if (std::string(zip) == "d.zip") {
        EXPECT_EQ(45, e->version_needed);
        EXPECT_EQ(-2, x.result);
        EXPECT_EQ(Message(dir / zip, kZipUnsupported), x.err);
        continue;
      }
      EXPECT_EQ(0, x.result) << zip << ": " << e->name;
      EXPECT_EQ("", x.err);
      EXPECT_EQ(ReadFile(dir / e->name), x.data) << zip << ": " << e->name;
    }
    EXPECT_EQ(zip[1] == '.' ? 1 : 4, count) << zip;
  }
}

// Deflate data made of one stored block is exactly as long as asked for.
ZipFixtureEntry ExactDeflated(uint32_t compressed_size, uint32_t trailing = 0) {
  const std::vector<uint8_t> data = SeededBytes(compressed_size - 5 - trailing, 1);
  ZipFixtureEntry e = StoredEntry(std::to_string(compressed_size), data);
  e.method = 8;
  e.payload = StoredDeflateBlock(data);
  e.payload.resize(compressed_size, 0xEE);
  e.compressed_size = compressed_size;
  return e;
}

ZipFixtureEntry With(ZipFixtureEntry e, const std::function<void(ZipFixtureEntry&)>& change) {
  change(e);
  return e;
}

// Each entry is followed by a good one: a failure leaves the archive usable,
// and each is reported exactly once. The inflater succeeds only when the stream
// ends in the last chunk of the compressed size (the byte after it offered).
TEST(ZipExtract, EveryFailureReportedOnceAndArchiveStaysUsable) {
  const std::vector<uint8_t> data = SeededBytes(3000, 1);
  const struct {
    ZipFixtureEntry entry;
    int result;
    std::vector<uint8_t> data;
  } cases[] = {
      {With(StoredEntry("sizes.prg", data), [](auto& e) { e.compressed_size = 2999; }), -3, {}},
      {With(DeflatedEntry("v45.prg", data), [](auto& e) { e.version_needed = 45; }), -2, {}},
      {With(DeflatedEntry("host.prg", data), [](auto& e) { e.host_needed = 3; }), -2, {}},
      {With(DeflatedEntry("disk.prg", data), [](auto& e) { e.start_disk = 1; }), -2, {}},
      {With(StoredEntry("m12.prg", data), [](auto& e) { e.method = 12; }), -2, {}},
      {With(DeflatedEntry("short.prg", data), [](auto& e) { e.uncompressed_size = 3001; }), -3, {}},
      {With(DeflatedEntry("long.prg", data), [](auto& e) { e.uncompressed_size = 2999; }), -3, {}},
      // Block type 3, which does not exist.
      {With(DeflatedEntry("garbage.prg", data), [](auto& e) { e.payload[0] ^= 0x06; }), -3, {}},
      {With(DeflatedEntry("nothing.prg", data), [](auto& e) { e.compressed_size = 0; }), -3, {}},
      // Not examined: it inflates like any other.
      {With(DeflatedEntry("encrypted.prg", data), [](auto& e) { e.flags = 1; }), 0, data},
      {StoredEntry("empty.prg", {}), 0, {}},
      // Data outside the file is unreachable.
      {With(StoredEntry("far.prg", data), [](auto& e) { e.local_header_offset = 0x7F000000; }), -1, {}},
      {With(StoredEntry("past.prg", {1, 2, 3}), [](auto& e) { e.compressed_size = e.uncompressed_size = 1000000; }),
       -1, {}},
      {ExactDeflated(16384), 0, SeededBytes(16384 - 5, 1)},  // one full chunk
      {ExactDeflated(16385), 0, SeededBytes(16385 - 5, 1)},  // 16384 then 1
      {ExactDeflated(40000), 0, SeededBytes(40000 - 5, 1)},  // three chunks
      {ExactDeflated(16000, 7), 0, SeededBytes(16000 - 12, 1)},  // bytes after the stream
      {ExactDeflated(16385, 1), -3, {}},  // the stream ends in the first of two chunks
      {ExactDeflated(16384 + 16384 + 100, 16384 + 100), -3, {}},
  };
  std::vector<ZipFixtureEntry> entries;
  for (const auto& c : cases) {
    entries.push_back(c.entry);
    entries.push_back(StoredEntry("good.prg", data));
  }
  TempDir dir;
  WriteFile(dir / "t.zip", BuildZip(entries));
  MessageLog log;
  std::unique_ptr<ZipArchive> archive = ZipOpen(dir / "t.zip", log);
  ASSERT_NE(nullptr, archive);
  for (const auto& c : cases) {
    const ZipEntry* entry = ZipNextEntry(*archive);
    ASSERT_NE(nullptr, entry);
    ASSERT_EQ(c.entry.name, entry->name);
    Extracted x = Extract(*archive, *entry, log);
    EXPECT_EQ(c.result, x.result) << entry->name;
    const char* explanation = c.result == -2 ? kZipUnsupported : kZipCorrupt;
    EXPECT_EQ(c.result == 0 ? "" : Message(dir / "t.zip", explanation), x.err) << entry->name;
    if (c.result == 0) {
      EXPECT_EQ(c.data, x.data) << entry->name;
    }

    entry = ZipNextEntry(*archive);
    ASSERT_NE(nullptr, entry);
    x = Extract(*archive, *entry, log);
    EXPECT_EQ(0, x.result) << "after " << c.entry.name;
    EXPECT_EQ(data, x.data);
  }
}

// Both inflaters, over the bytes in memory and in their file: the same
// success rule, and nothing written past the room.
TEST(Inflater, SuccessOnlyWhenOutputExactlyFilled) {
  const std::vector<uint8_t> data = SeededBytes(50000, 1);
  const std::vector<uint8_t> deflated = RawDeflate(data);
  const auto size = static_cast<uint32_t>(deflated.size());
  TempDir dir;
  WriteFile(dir / "d", deflated);
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
  std::copy(deflated.begin(), deflated.end(), bytes.get());
  MemorySource memory(std::move(bytes), size);
  std::unique_ptr<FileSource> file = FileSource::Open(dir / "d");
  ASSERT_NE(nullptr, file);
  for (Inflation inflation : {Inflation::kFastest, Inflation::kZlibOnly}) {
    Inflater inflater(inflation);
    for (ByteSource* source : std::initializer_list<ByteSource*>{&memory, file.get()}) {
      auto inflate = [&](uint32_t compressed, uint32_t out_size) {
        std::vector<uint8_t> out(out_size + 1, 0x55);
        int result = inflater.Inflate(*source, 0, compressed, out.data(), out_size);
        EXPECT_EQ(0x55, out[out_size]) << "written past the room";
        if (result == 0) {
          EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
        }
        return result;
      };
      EXPECT_EQ(0, inflate(size, 50000));
      EXPECT_EQ(-1, inflate(size, 49999));
      EXPECT_EQ(-1, inflate(size, 50001));
      EXPECT_EQ(-1, inflate(0, 50000));
      EXPECT_EQ(-1, inflate(size / 2, 50000));
      // More compressed bytes than the source holds: the short read is
      // taken, and the remaining count never reaches 0.
      EXPECT_EQ(-1, inflate(size + 100, 50000));
    }
  }
}

// Every byte of a small archive damaged in turn: whatever the fields claim,
// each failing call writes exactly one message and nothing reads out of
// bounds (the sanitizer build checks the latter).
TEST(ZipDamage, EveryFailureReportedExactlyOnce) {
  const std::vector<uint8_t> good = BuildZip(
      {DeflatedEntry("a.prg", SeededBytes(600, 1)), StoredEntry("b.d64", SeededBytes(40, 1))});
  TempDir dir;
  const std::string path = dir / "t.zip";
  const std::string message = "Error in zipfile " + path + "\n";
  for (size_t at = 0; at < good.size(); ++at) {
    for (uint8_t value : {0x00, 0xFF, 0x7F}) {
      std::vector<uint8_t> zip = good;
      zip[at] = value;
      // A new file each time: rewriting one in place waits for the disk.
      std::remove(path.c_str());
      WriteFile(path, zip);
      int failures = 0;
      MessageLog log;
      std::unique_ptr<ZipArchive> archive = ZipOpen(path, log);
      if (!archive) {
        ++failures;
      } else {
        while (const ZipEntry* e = ZipNextEntry(*archive)) {
          if (e->uncompressed_size > (1u << 20)) continue;
          std::vector<uint8_t> buffer(e->uncompressed_size);
          if (ZipExtract(*archive, *e, buffer.data()) != 0) ++failures;
        }
        if (!archive->exhausted()) ++failures;
        ZipClose(std::move(archive));
      }
      const std::string out = log.Text(Stream::kErr);
      int messages = 0;
      for (size_t p = out.find(message); p != std::string::npos; p = out.find(message, p + 1))
        ++messages;
      // Only running out of memory goes unreported, and it cannot happen here.
      EXPECT_EQ(failures, messages) << "byte " << at << " = " << int{value};
    }
  }
}

}  // namespace
