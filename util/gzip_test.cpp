// gzip data inflated in memory: files from gzip, every optional header part,
// and refused inputs.
#include "util/gzip.h"

#include <gtest/gtest.h>

#include "testkit/random.h"
#include "tests/fixtures/process.h"
#include "tests/fixtures/zip_writer.h"
#include "util/crc32.h"

namespace {

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
  if (!kPosixShell) GTEST_SKIP() << "gzip runs in a POSIX shell";
  TempDir dir;
  const std::vector<uint8_t> image = SeededBytes(901120, 1), data = SeededBytes(4000, 3);
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
  const std::vector<uint8_t> data = SeededBytes(4000, 5);
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

}  // namespace
