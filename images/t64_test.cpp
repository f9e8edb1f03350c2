// CImageT64: file spans from the directory, the load addresses it writes, and
// the entries it refuses.
#include "images/t64.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "testkit/image_writer.h"
#include "testkit/random.h"
#include "tests/fixtures/listing.h"

namespace {

// A tape of `size` bytes: the directory, then seeded bytes.
Bytes Tape(uint32_t size, uint16_t count, const std::vector<T64Entry>& entries) {
  Bytes image = SeededBytes(size, 0x64);
  const Bytes directory = BuildT64Directory(count, entries);
  std::copy_n(directory.begin(), std::min<size_t>(size, directory.size()), image.begin());
  return image;
}

void ExpectListing(Bytes& image, const std::vector<Bytes>& files, uint32_t flags,
                   const std::string& err, const std::string& what) {
  MessageLog log;
  CImageT64 reader(image.data(), static_cast<uint32_t>(image.size()), log);
  EXPECT_EQ(files, ListFiles(reader)) << what;
  EXPECT_EQ(flags, reader.error_flags) << what;
  EXPECT_TRUE(err == log.Text(Stream::kErr)) << what << ": " << log.Text(Stream::kErr).substr(0, 80);
  EXPECT_EQ("", log.Text(Stream::kOut)) << what;
}

const std::vector<T64Entry> kThree = {
    {0x0801, 1024, "ONE"}, {0x1000, 2048, "TWO"}, {0xC000, 3072, "THREE"}};
const std::string kTooBig =
    "\nErr: Not supposed to be here CImageT64::next_file()\n\tif(next_file_size > image_size)\n";

// Each case is a 4,000-byte tape. A yielded file is its load address, then the
// image's bytes [from, to); the load address is written into the image there.
TEST(CImageT64, DirectoryShapes) {
  struct Case {
    const char* what;
    uint16_t count;
    std::vector<T64Entry> entries;
    std::vector<std::tuple<uint16_t, uint32_t, uint32_t>> files;  // load, [from, to)
    uint32_t flags;
    std::string err;
  } cases[] = {
      {"three files", 30, kThree,
       {{0x0801, 1024, 2048}, {0x1000, 2048, 3072}, {0xC000, 3072, 4000}}, 0, ""},
      {"free slot in the middle", 30, {kThree[0], {0, 0, ""}, kThree[2]},
       {{0x0801, 1024, 4000}, {0xC000, 3072, 4000}}, 0, ""},
      {"count 0", 0, kThree, {{0x0801, 1024, 4000}}, 0, ""},
      {"count 1", 1, kThree, {{0x0801, 1024, 4000}}, 0, ""},
      {"first span 0", 3, {kThree[0], {0x1000, 1024, "TWO"}, kThree[2]}, {}, 0, ""},
      {"out of order", 3, {kThree[1], kThree[0], kThree[2]}, {}, IMGERR_BAD_LINK, ""},
      {"later span 0 passed over", 4, {kThree[0], {0x1111, 2048, "TWO"}, kThree[1], kThree[2]},
       {{0x0801, 1024, 2048}, {0x1000, 2048, 3072}, {0xC000, 3072, 4000}}, 0, ""},
      {"later bad link passed over", 4, {kThree[0], kThree[1], {0x1111, 3000, "X"}, {0x2222, 2500, "Y"}},
       {{0x0801, 1024, 2048}, {0x1000, 2048, 3000}, {0x2222, 2500, 4000}}, IMGERR_BAD_LINK, ""},
      {"first slot free", 3, {{0, 0, ""}, kThree[1], kThree[2]},
       {{0x1000, 2048, 3072}, {0xC000, 3072, 4000}}, 0, ""},
      {"first data at offset 1", 2, {{0x0801, 1, "ONE"}, kThree[1]}, {{0x1000, 2048, 4000}}, 0, ""},
      {"first data at offset 1, larger than the image", 1, {{0, 1, ""}}, {}, IMGERR_TOO_BIG, kTooBig},
      // The name runs on past its 16 bytes into the next entry, up to a zero byte.
      {"later file past the end", 4, {kThree[0], kThree[1], kThree[2], {0x0801, 5000, "FOUR"}},
       {{0x0801, 1024, 2048}, {0x1000, 2048, 3072}}, IMGERR_PAST_END,
       "Err: file THREE           \x01\x82\x01\x08 exceeds tape\n"},
      {"first file past the end", 2, {{0x0801, 1024, "ONE"}, {0x0801, 5000, "TWO"}}, {},
       IMGERR_PAST_END, "Err: file ONE             \x01\x82\x01\x08 exceeds tape\n"},
  };
  for (const Case& c : cases) {
    Bytes image = Tape(4000, c.count, c.entries), written = image;
    std::vector<Bytes> expected;
    for (auto [load, from, to] : c.files) {
      written[from - 2] = static_cast<uint8_t>(load);
      written[from - 1] = static_cast<uint8_t>(load >> 8);
      expected.emplace_back(written.begin() + from - 2, written.begin() + to);
    }
    ExpectListing(image, expected, c.flags, c.err, c.what);
    EXPECT_EQ(written, image) << c.what << ": only the load addresses are written";
  }
}

// Only an image with no zero byte behind the name lets the name reach its end:
// all bytes 0x01, the second entry's data offset 0x01010101 lying one byte
// past the end of the image.
TEST(CImageT64, NameIsPrintedNoFurtherThanTheImageEnd) {
  const uint32_t size = 0x01010100;
  Bytes image = Tape(0x60, 2, {{0x0801, 0x100, "NAME"}});
  image.resize(size, 0x01);
  std::memset(&image[0x60], 0x01, 32);
  const std::string name = "NAME            " + std::string(size - 0x60, '\x01');
  ExpectListing(image, {}, IMGERR_PAST_END, "Err: file " + name + " exceeds tape\n", "name");
}

}  // namespace
