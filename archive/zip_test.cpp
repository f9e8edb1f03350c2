// ZIP archives read from hand-made bytes, from their file and from memory:
// the end record's search, the central directory's walk, the entries it
// admits and what extracting each gives, every failure with its message.
#include <gtest/gtest.h>

#include <algorithm>

#include "archive/extract.h"
#include "testkit/random.h"
#include "tests/fixtures/process.h"
#include "tests/fixtures/zip_writer.h"

using namespace std::literals;

static const Bytes kData = SeededBytes(70000, 1);  // every entry holds the start of it

static Bytes Prefix(size_t n) { return Bytes(kData.begin(), kData.begin() + std::min(n, kData.size())); }

// Opens the archive, from its file or from the bytes `held` in memory as the
// audit holds an archive, and walks it, asking to admit each entry (refused: "!")
// and, unless refused or claiming more than 1 MiB, extracting it: ":" and 0
// extracted, 1 unreachable, 2 unsupported, 3 undecodable; "/n" when the
// buffer holds only the first n bytes of the entry's data, then zeros ("/n?":
// then not only zeros). After each step what it reported on standard error,
// a letter a message: C corrupt, U unsupported, F file system; anything else
// shows whole, and standard output after it.
static std::string Walk(const std::string& path, const Bytes* held = nullptr) {
  MessageLog log;
  auto said = [&] {
    std::string text = log.Text(Stream::kErr), out = log.Text(Stream::kOut);
    for (auto [code, why] : {std::pair{"C", kZipCorrupt}, {"U", kZipUnsupported}, {"F", kZipFileSystem}})
      for (std::string m = "Error in zipfile " + path + "\n" + why + "\n"; text.find(m) != text.npos;)
        text.replace(text.find(m), m.size(), code);
    return log.clear(), text + out;
  };
  std::unique_ptr<uint8_t[]> bytes(held ? new uint8_t[held->size()] : nullptr);
  if (held) std::copy(held->begin(), held->end(), bytes.get());
  std::unique_ptr<ZipArchive> archive =
      held ? ZipOpen(path, std::make_unique<MemorySource>(std::move(bytes), held->size()), log)
           : ZipOpen(path, log);
  std::string walk = said();
  for (const ZipEntry* e; archive && (e = ZipNextEntry(*archive)); walk += " ") {
    const bool admitted = ZipAdmit(*archive, *e);
    walk += e->name + (admitted ? "" : "!" + said());
    if (!admitted || e->uncompressed_size > (1u << 20)) continue;
    Bytes buffer(e->uncompressed_size, 0x55);
    walk += ":" + std::to_string(-ZipExtract(*archive, *e, buffer.data()));
    const auto kept = std::mismatch(buffer.begin(), buffer.end(), kData.begin(), kData.end()).first;
    const bool zeros = std::count(kept, buffer.end(), 0) == buffer.end() - kept;
    if (kept != buffer.end()) walk += "/" + std::to_string(kept - buffer.begin()) + (zeros ? "" : "?");
    walk += said();
  }
  if (archive) ZipNextEntry(*archive);
  return walk + said();
}

// One stored deflate block in `size` bytes, the last `trailing` of them after it.
static ZipFixtureEntry Exact(uint32_t size, uint32_t trailing) {
  const uint32_t n = size - 5 - trailing;
  ZipFixtureEntry e = DeflatedEntry("x", Prefix(n));
  e.payload = {1, uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)};
  e.payload.insert(e.payload.end(), kData.begin(), kData.begin() + n);
  return e.payload.resize(e.compressed_size = size, 0xEE), e;
}

// `e` at `offset`, of `compressed` zeros that claim `size`.
static ZipFixtureEntry At(ZipFixtureEntry e, std::optional<uint32_t> offset, uint32_t compressed,
                          uint32_t size) {
  e.payload.assign(e.compressed_size = compressed, 0);
  return e.local_header_offset = offset, e.uncompressed_size = size, e;
}

// A stream is taken only when it ends in the last 16 KiB chunk of the
// compressed size; an entry's span, from its local header over its data,
// does not count its name; admitted entries may claim 1 GiB in all.
TEST(Zip, EveryArchiveFromItsFileAndFromMemory) {
  const std::vector<ZipFixtureEntry> one = {StoredEntry("a.prg", Prefix(3))};
  const ZipFixtureEntry s = StoredEntry("s", Prefix(3000)), d = DeflatedEntry("d", Prefix(3000));
  ZipFixtureEntry named = s, note = s, v21 = d, host = d, disk = d, m12 = s, longer = d, shorter = d,
                  type3 = d, none = DeflatedEntry("e", Prefix(100)), run_on = d, to_end = d, past_end = d;
  named.name_length = 2, note.extra = "UT\5\0\3abcd", note.comment = "a comment";
  v21.version_needed = 21, host.host_needed = 3, disk.start_disk = 1, m12.method = 12;
  longer.uncompressed_size = 3001, shorter.uncompressed_size = 2999, none.compressed_size = 0;
  type3.payload[0] |= 6, run_on.compressed_size += 2;
  to_end.compressed_size += 117, past_end.compressed_size += 118;
  // One of the largest images, 256 MiB, from as little as deflate may make it.
  const ZipFixtureEntry quarter = At(d, {}, (256u << 20) / 1032, 256u << 20);
  const std::pair<Bytes, std::string> cases[] = {
      {{}, "C"}, {SeededBytes(5000, 1), "C"}, {BuildZip({}), "U"}, {BuildZip(one, {.this_disk = 1}), "U"},
      {BuildZip(one, {.entries_on_disk = 2}), "U"},
      // A record at the very start of a file of 9,000 bytes; a signature 21
      // bytes before the end, too near it for a record, and one 22 bytes
      // before it, taken as the record nearest the end (of a split archive).
      {BuildZip({}, {.comment = std::string(8978, 'c')}), "U"},
      {BuildZip(one, {.comment = "PK\5\6"s + std::string(17, '\0')}), "a.prg:0 "},
      {BuildZip(one, {.comment = "PK\5\6\1"s + std::string(17, '\0')}), "U"},
      {BuildZip({}, {.comment = std::string(65535, 'c')}), "U"},
      {BuildZip({}, {.comment = std::string(65536, 'c')}), "C"},  // its length field says 0
      {BuildZip(one, {.directory_size = 0}), "C"}, {BuildZip(one, {.directory_offset = 0xFFFFFFF0u}), "C"},
      // The directory of 46 + 5 bytes running over the record's 22 to the end, and one byte further.
      {BuildZip(one, {.directory_size = 73}), "a.prg:0 CC"}, {BuildZip(one, {.directory_size = 74}), "C"},
      {BuildZip({StoredEntry(std::string("a.d64\0junk", 10), Prefix(1)), StoredEntry("sub/", {})},
                {.entries_on_disk = 1, .total_entries = 1}), "a.d64:0 sub/:0 "},
      {BuildZip({s, named}), "s:0 CC"}, {BuildZip({s, d}, {.directory_size = 47 + 45}), "s:0 CC"},
      {BuildZip({note, DeflatedEntry("big", Prefix(70000))}), "s:0 big:0 "},
      {BuildZip({v21, host, disk, m12, d}), "d:2/0U d:2/0U d:2/0U s:2/0U d:0 "},
      {BuildZip({longer, shorter, type3, none, StoredEntry("0", {})}), "d:3/3000C d:3C d:3/0C e:3/0C 0:0 "},
      {BuildZip({Exact(16384, 0), Exact(16385, 0), Exact(40000, 0), Exact(16000, 7), Exact(16385, 1),
                 Exact(16384 * 2 + 100, 16384 + 100)}), "x:0 x:0 x:0 x:0 x:3C x:3C "},
      {BuildZip({s, At(s, 0, 3000, 3000)}), "s:0 s!C "},
      {BuildZip({d, At(s, 40, 3000, 3000), s}), "d:0 s!C s:0 "},
      {BuildZip({run_on, s}), "d:0 s!C "}, {BuildZip({At(s, {}, 3000, 2999)}), "s!C "},
      {BuildZip({At(s, 3031, 3000, 3000), At(s, 0, 3000, 3000)}), "s:0/0 s:0/0 "},
      // A span to the very end of the file (the data, after the name, runs
      // one byte further), and one byte beyond it.
      {BuildZip({s, to_end}), "s:0 d:3C "}, {BuildZip({s, past_end}), "s:0 d!C "},
      {BuildZip({At(d, {}, 100, 100 * 1032 + 1032), At(d, {}, 100, 100 * 1032 + 1033)}), "d:3/0C d!C "},
      {BuildZip({quarter, quarter, quarter, quarter, At(s, {}, 1, 1)}), "d d d d s!C "},
  };
  TempDir dir;
  for (const auto& c : cases) {
    WriteFile(dir / "t.zip", c.first);
    EXPECT_EQ(c.second, Walk(dir / "t.zip")) << &c - cases;
    EXPECT_EQ(c.second, Walk(dir / "t.zip", &c.first)) << &c - cases;
  }
  MakeFolder(dir / "folder.zip");
  EXPECT_EQ("FF", Walk(dir / "folder.zip") + Walk(dir / "missing.zip"));
}
