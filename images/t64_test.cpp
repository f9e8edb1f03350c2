// CImageT64: file spans from the directory, the load addresses it writes, and
// the entries it refuses.
#include "images/t64.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "testkit/image_writer.h"
#include "testkit/random.h"
#include "tests/fixtures/listing.h"

namespace {

const std::vector<T64Entry> kThree = {{0x0801, 1024, "ONE"}, {0x1000, 2048, "TWO"}, {0xC000, 3072, "THREE"}};
const std::string kTooBig = "\nErr: Not supposed to be here CImageT64::next_file()\n\tif(next_file_size > image_size)\n";

// Each case is a 4,000-byte tape. A yielded file is the load address of its
// entry, then the image's bytes from the entry's data offset to `to`; the load
// address is written into the image in front of them.
TEST(CImageT64, DirectoryShapes) {
  const std::vector<T64Entry> bad = {{0x1111, 2048, "TWO"}, {0x1111, 3000, "X"}, {0x2222, 2500, "Y"}};
  const struct { const char* what; uint16_t count; std::vector<T64Entry> entries;
                 std::vector<std::pair<size_t, uint32_t>> files; uint32_t flags; std::string err; } cases[] = {
      {"three files", 30, kThree, {{0, 2048}, {1, 3072}, {2, 4000}}, 0, ""},
      {"free slot in the middle", 30, {kThree[0], {0, 0, ""}, kThree[2]}, {{0, 4000}, {2, 4000}}, 0, ""},
      {"count 1", 1, kThree, {{0, 4000}}, 0, ""},
      {"first span 0", 3, {kThree[0], {0x1000, 1024, "TWO"}, kThree[2]}, {}, 0, ""},
      {"out of order", 3, {kThree[1], kThree[0], kThree[2]}, {}, IMGERR_BAD_LINK, ""},
      {"later span 0 passed over", 4, {kThree[0], bad[0], kThree[1], kThree[2]}, {{0, 2048}, {2, 3072}, {3, 4000}}, 0, ""},
      {"later bad link passed over", 4, {kThree[0], kThree[1], bad[1], bad[2]}, {{0, 2048}, {1, 3000}, {3, 4000}},
       IMGERR_BAD_LINK, ""},
      {"first slot free", 3, {{0, 0, ""}, kThree[1], kThree[2]}, {{1, 3072}, {2, 4000}}, 0, ""},
      {"first data at offset 1, larger than the image", 1, {{0, 1, ""}}, {}, IMGERR_TOO_BIG, kTooBig},
      // The name runs on past its 16 bytes into the next entry, up to a zero byte.
      {"later file past the end", 4, {kThree[0], kThree[1], kThree[2], {0x0801, 5000, "FOUR"}}, {{0, 2048}, {1, 3072}},
       IMGERR_PAST_END, "Err: file THREE           \x01\x82\x01\x08 exceeds tape\n"},
      {"first file past the end", 2, {{0x0801, 1024, "ONE"}, {0x0801, 5000, "TWO"}}, {}, IMGERR_PAST_END,
       "Err: file ONE             \x01\x82\x01\x08 exceeds tape\n"},
  };
  for (const auto& c : cases) {
    Bytes image = BuildT64Directory(c.count, c.entries), rest = SeededBytes(4000 - image.size(), 0x64);
    image.insert(image.end(), rest.begin(), rest.end());
    Bytes written = image;
    std::vector<Bytes> expected;
    for (auto [entry, to] : c.files) {
      const T64Entry& e = c.entries[entry];
      written[e.offset - 2] = static_cast<uint8_t>(e.load);
      written[e.offset - 1] = static_cast<uint8_t>(e.load >> 8);
      expected.emplace_back(written.begin() + e.offset - 2, written.begin() + to);
    }
    MessageLog log;
    CImageT64 reader(image.data(), static_cast<uint32_t>(image.size()), log);
    EXPECT_EQ(expected, ListFiles(reader)) << c.what;
    EXPECT_EQ(c.flags, reader.error_flags) << c.what;
    EXPECT_EQ(c.err, log.Text(Stream::kErr)) << c.what;
    EXPECT_EQ(written, image) << c.what << ": only the load addresses are written";
  }
}

}  // namespace
