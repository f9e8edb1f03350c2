// gzip data inflated in memory: every optional header part, and the inputs
// refused whole, by both inflaters.
#include "util/gzip.h"

#include <gtest/gtest.h>

#include <optional>

#include "testkit/random.h"
#include "tests/fixtures/zip_writer.h"
#include "util/crc32.h"

using namespace std::literals;

// A gzip member of `data` with the optional header parts that `flags` selects.
static Bytes Gzip(uint8_t flags, const Bytes& data) {
  Bytes out = {0x1F, 0x8B, 8, flags, 1, 2, 3, 4, 2, 3};
  // The extra field, the name, the comment and the header's CRC.
  for (auto [flag, part] : {std::pair{4, "\4\0AP\0\0"sv}, {8, "n.adf\0"sv}, {16, "c\0"sv}, {2, "\xAB\xCD"sv}})
    if (flags & flag) out.insert(out.end(), part.begin(), part.end());
  const Bytes deflated = RawDeflate(data);
  out.insert(out.end(), deflated.begin(), deflated.end());
  const auto size = static_cast<uint32_t>(data.size());
  for (uint32_t field : {crc32(data.data(), size, 0, 0), size}) PutLe(out, field, 4);
  return out;
}

// Refused: a damaged ID1, ID2 or CM, trailer CRC, ISIZE (one more, one less,
// 64 MiB and more) or deflate data; and every cut, whether it falls into the
// header's parts, the stream or the trailer. The size is set only on success.
TEST(GunzipMemory, TakesWholeMembersOnly) {
  const Bytes data = SeededBytes(40000, 5), good = Gzip(0x1E, data);
  std::vector<std::pair<Bytes, std::optional<Bytes>>> cases = {{Gzip(0x08, {}), Bytes()}};
  for (uint8_t f : {0x00, 0x02, 0x04, 0x08, 0x10, 0x1E, 0xE0}) cases.emplace_back(Gzip(f, data), data);
  for (auto [at, flip] : {std::pair{size_t{0}, 1}, {1, 1}, {2, 1}, {good.size() - 8, 1}, {good.size() - 4, 1},
                          {good.size() - 4, 0x7F}, {good.size() - 1, 4}, {40, 0x10}})
    cases.emplace_back(good, std::nullopt).first[at] ^= static_cast<uint8_t>(flip);
  for (size_t length = 0; length < good.size(); length += length < 60 ? 1 : 997)
    cases.emplace_back(Bytes(good.begin(), good.begin() + length), std::nullopt);
  for (Inflation inflation : {Inflation::kFastest, Inflation::kZlibOnly}) {
    for (const auto& [gz, inflated] : cases) {
      uint32_t size = 1234;
      std::unique_ptr<uint8_t[]> out = GunzipMemory(gz.data(), uint32_t(gz.size()), &size, inflation);
      EXPECT_EQ(inflated, out ? std::optional(Bytes(out.get(), out.get() + size)) : std::nullopt);
      EXPECT_TRUE(out || size == 1234);
    }
  }
}
