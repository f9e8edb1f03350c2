// Extraction of entries from zip-made and hand-made archives, the chunked
// inflater's exact success rule, and gzip data inflated in memory.
#include "archive/inflate.h"

#include <gtest/gtest.h>

#include <functional>

#include "run/crc32.h"
#include "tests/fixtures/process.h"
#include "tests/fixtures/zip_writer.h"

namespace {

struct Extracted {
  int result;
  std::vector<uint8_t> data;
  std::string out;  // standard output
};

Extracted Extract(ZipArchive& archive, const ZipEntry& entry) {
  Extracted x;
  x.data.resize(entry.uncompressed_size);
  testing::internal::CaptureStdout();
  x.result = ZipExtract(archive, entry, x.data.data());
  x.out = testing::internal::GetCapturedStdout();
  return x;
}

std::string Message(const std::string& path, const char* explanation) {
  return "Error in zipfile " + path + "\n" + explanation + "\n";
}

// Every entry of zip-made archives extracts as the file of its name: deflated,
// stored, and written to a pipe (data descriptors). zip marks data read from a
// pipe for Zip64 (version 4.5): deflated it is refused, stored it is read.
TEST(ZipExtract, ArchivesFromZip) {
  TempDir dir;
  WriteFile(dir / "big.d64", SampleBytes(174848));  // many 16 KiB chunks
  WriteFile(dir / "small.prg", std::string("10 PRINT \"HELLO\"\n"));
  WriteFile(dir / "empty.prg", std::string(""));
  WriteFile(dir / "random.t64", SampleBytes(3000, 7));
  WriteFile(dir / "-", SampleBytes(2000));
  const std::string files = " big.d64 small.prg empty.prg random.t64";
  ASSERT_EQ(0, Shell("cd " + dir.path() + " && zip -q deflated.zip" + files +
                     " && zip -q -0 stored.zip" + files + " && zip -q -" + files + " | cat > piped.zip" +
                     " && zip -q - - < ./- | cat > d.zip && zip -q -0 - - < ./- | cat > s.zip"));
  for (const char* zip : {"deflated.zip", "stored.zip", "piped.zip", "d.zip", "s.zip"}) {
    std::unique_ptr<ZipArchive> archive = ZipOpen(dir / zip);
    ASSERT_NE(nullptr, archive);
    const bool piped = std::string(zip) != "deflated.zip" && std::string(zip) != "stored.zip";
    int count = 0;
    for (; const ZipEntry* e = ZipNextEntry(*archive); ++count) {
      EXPECT_EQ(piped ? 8 : 0, e->flags & 8) << zip;
      Extracted x = Extract(*archive, *e);
      if (std::string(zip) == "d.zip") {
        EXPECT_EQ(45, e->version_needed);
        EXPECT_EQ(-2, x.result);
        EXPECT_EQ(Message(dir / zip, kZipUnsupported), x.out);
        continue;
      }
      EXPECT_EQ(0, x.result) << zip << ": " << e->name;
      EXPECT_EQ("", x.out);
      EXPECT_EQ(ReadFile(dir / e->name), x.data) << zip << ": " << e->name;
    }
    EXPECT_EQ(zip[1] == '.' ? 1 : 4, count) << zip;
  }
}

// Deflate data made of one stored block is exactly as long as asked for.
ZipFixtureEntry ExactDeflated(uint32_t compressed_size, uint32_t trailing = 0) {
  const std::vector<uint8_t> data = SampleBytes(compressed_size - 5 - trailing);
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
  const std::vector<uint8_t> data = SampleBytes(3000);
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
      {ExactDeflated(16384), 0, SampleBytes(16384 - 5)},  // one full chunk
      {ExactDeflated(16385), 0, SampleBytes(16385 - 5)},  // 16384 then 1
      {ExactDeflated(40000), 0, SampleBytes(40000 - 5)},  // three chunks
      {ExactDeflated(16000, 7), 0, SampleBytes(16000 - 12)},  // bytes after the stream
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
  std::unique_ptr<ZipArchive> archive = ZipOpen(dir / "t.zip");
  ASSERT_NE(nullptr, archive);
  for (const auto& c : cases) {
    const ZipEntry* entry = ZipNextEntry(*archive);
    ASSERT_NE(nullptr, entry);
    ASSERT_EQ(c.entry.name, entry->name);
    Extracted x = Extract(*archive, *entry);
    EXPECT_EQ(c.result, x.result) << entry->name;
    const char* explanation = c.result == -2 ? kZipUnsupported : kZipCorrupt;
    EXPECT_EQ(c.result == 0 ? "" : Message(dir / "t.zip", explanation), x.out) << entry->name;
    if (c.result == 0) {
      EXPECT_EQ(c.data, x.data) << entry->name;
    }

    entry = ZipNextEntry(*archive);
    ASSERT_NE(nullptr, entry);
    x = Extract(*archive, *entry);
    EXPECT_EQ(0, x.result) << "after " << c.entry.name;
    EXPECT_EQ(data, x.data);
  }
}

TEST(InflateFromFile, SuccessOnlyWhenOutputExactlyFilled) {
  const std::vector<uint8_t> data = SampleBytes(50000);
  const std::vector<uint8_t> deflated = RawDeflate(data);
  const auto size = static_cast<uint32_t>(deflated.size());
  TempDir dir;
  WriteFile(dir / "d", deflated);
  std::unique_ptr<FILE, FileCloser> f(fopen((dir / "d").c_str(), "rb"));
  ASSERT_NE(nullptr, f);
  auto inflate_from = [&](uint32_t compressed, uint32_t out_size) {
    std::vector<uint8_t> out(out_size + 1, 0x55);
    rewind(f.get());
    int result = InflateFromFile(f.get(), compressed, out.data(), out_size);
    EXPECT_EQ(0x55, out[out_size]) << "written past the room";
    if (result == 0) {
      EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
    }
    return result;
  };
  EXPECT_EQ(0, inflate_from(size, 50000));
  EXPECT_EQ(-1, inflate_from(size, 49999));
  EXPECT_EQ(-1, inflate_from(size, 50001));
  EXPECT_EQ(-1, inflate_from(0, 50000));
  EXPECT_EQ(-1, inflate_from(size / 2, 50000));
  // More compressed bytes than the file holds: the short read is taken, and
  // the remaining count never reaches 0.
  EXPECT_EQ(-1, inflate_from(size + 100, 50000));
}

std::vector<uint8_t> Gzip(uint8_t flags, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out = {0x1F, 0x8B, 8, flags, 1, 2, 3, 4, 2, 3};
  auto append = [&](std::initializer_list<uint8_t> bytes) { out.insert(out.end(), bytes); };
  if (flags & 0x04) append({4, 0, 'A', 'P', 0, 0});
  if (flags & 0x08) append({'g', 'a', 'm', 'e', '.', 'a', 'd', 'f', 0});
  if (flags & 0x10) append({'b', 'y', ' ', 'h', 'a', 'n', 'd', 0});
  if (flags & 0x02) append({0xAB, 0xCD});
  const std::vector<uint8_t> deflated = RawDeflate(data);
  out.insert(out.end(), deflated.begin(), deflated.end());
  const uint32_t crc = crc32(data.data(), static_cast<uint32_t>(data.size()), 0, 0);
  const auto size = static_cast<uint32_t>(data.size());
  for (uint32_t v : {crc, size})
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
  return out;
}

std::unique_ptr<uint8_t[]> Gunzip(const std::vector<uint8_t>& gz, uint32_t* size) {
  return GunzipMemory(gz.data(), static_cast<uint32_t>(gz.size()), size);
}

// Files made by gzip, with and without a stored name, and by hand with every
// optional header part, or none, or nothing inflated.
TEST(GunzipMemory, InflatesWhatItIsGiven) {
  TempDir dir;
  const std::vector<uint8_t> image = SampleBytes(901120), data = SampleBytes(4000, 3);
  WriteFile(dir / "disk.adf", image);
  ASSERT_EQ(0, Shell("cd " + dir.path() + " && gzip -c disk.adf > named.adz && gzip -n -c disk.adf > bare.adz"));
  std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> cases = {
      {ReadFile(dir / "named.adz"), image}, {ReadFile(dir / "bare.adz"), image}, {Gzip(0x08, {}), {}}};
  EXPECT_EQ(0x08, cases[0].first[3] & 0x08);
  EXPECT_EQ(0, cases[1].first[3] & 0x08);
  for (uint8_t flags : {0x00, 0x02, 0x04, 0x08, 0x10, 0x1E, 0xE0}) cases.emplace_back(Gzip(flags, data), data);
  for (size_t i = 0; i < cases.size(); ++i) {
    uint32_t size = 77;
    std::unique_ptr<uint8_t[]> out = Gunzip(cases[i].first, &size);
    ASSERT_NE(nullptr, out) << i;
    EXPECT_EQ(cases[i].second, std::vector<uint8_t>(out.get(), out.get() + size)) << i;
  }
}

TEST(GunzipMemory, RefusedInputsLeaveSizeAlone) {
  const std::vector<uint8_t> data = SampleBytes(4000, 5);
  const std::vector<uint8_t> good = Gzip(0x1E, data);
  std::vector<std::vector<uint8_t>> bad(6, good);
  // ID1, ID2, CM; the trailer CRC; ISIZE one off (stops short or runs over);
  // damaged deflate data; ISIZE 64 MiB and more.
  const std::pair<size_t, uint8_t> flips[] = {{0, 1}, {1, 1}, {2, 1}, {good.size() - 8, 1},
                                              {good.size() - 4, 1}, {40, 0x10}};
  for (size_t i = 0; i < 6; ++i) bad[i][flips[i].first] ^= flips[i].second;
  bad.push_back(good);
  bad.back()[good.size() - 1] = 0x04;
  // Every shorter input: too short, or header parts running past the end,
  // or a stream cut short.
  for (size_t length = 0; length < good.size(); length += length < 60 ? 1 : 97)
    bad.emplace_back(good.begin(), good.begin() + length);
  // A name without its terminating zero before the trailer.
  bad.push_back({0x1F, 0x8B, 8, 0x08, 0, 0, 0, 0, 0, 3, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0, 0});
  // XLEN larger than what follows.
  bad.push_back({0x1F, 0x8B, 8, 0x04, 0, 0, 0, 0, 0, 3, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0});

  for (size_t i = 0; i < bad.size(); ++i) {
    uint32_t size = 1234;
    // A copy of exactly the input's length, so that any read beyond it shows.
    auto copy = std::make_unique<uint8_t[]>(bad[i].size());
    std::copy(bad[i].begin(), bad[i].end(), copy.get());
    EXPECT_EQ(nullptr, GunzipMemory(copy.get(), static_cast<uint32_t>(bad[i].size()), &size))
        << "case " << i;
    EXPECT_EQ(1234u, size);
  }
  uint32_t size = 1;
  EXPECT_EQ(nullptr, GunzipMemory(nullptr, 100, &size));
}

// Every byte of a small archive damaged in turn: whatever the fields claim,
// each failing call writes exactly one message and nothing reads out of
// bounds (the sanitizer build checks the latter).
TEST(ZipDamage, EveryFailureReportedExactlyOnce) {
  const std::vector<uint8_t> good = BuildZip(
      {DeflatedEntry("a.prg", SampleBytes(600)), StoredEntry("b.d64", SampleBytes(40))});
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
      testing::internal::CaptureStdout();
      std::unique_ptr<ZipArchive> archive = ZipOpen(path);
      if (!archive) {
        ++failures;
      } else {
        while (const ZipEntry* e = ZipNextEntry(*archive)) {
          if (e->uncompressed_size > (1u << 20)) continue;
          std::vector<uint8_t> buffer(e->uncompressed_size);
          if (ZipExtract(*archive, *e, buffer.data()) != 0) ++failures;
        }
        if (archive->cursor < archive->directory_size) ++failures;
        ZipClose(std::move(archive));
      }
      const std::string out = testing::internal::GetCapturedStdout();
      int messages = 0;
      for (size_t p = out.find(message); p != std::string::npos; p = out.find(message, p + 1))
        ++messages;
      // Only running out of memory goes unreported, and it cannot happen here.
      EXPECT_EQ(failures, messages) << "byte " << at << " = " << int{value};
    }
  }
}

}  // namespace
