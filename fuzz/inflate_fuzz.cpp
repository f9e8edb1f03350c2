// The two inflaters side by side: libdeflate with zlib behind it, and zlib
// alone, must leave the same result, the same bytes in the entry's buffer
// and the same input buffer for the next entry, for every deflate stream,
// declared size and compressed-size cut; and gzip members decode to the same.
//
// Input: a header of three entries (7 bytes each), then the payload, whose
// bytes are the deflate data. Entry i: offset (2 bytes) into the payload,
// compressed size (3 bytes, 0xFFFFFF: to the payload's end), declared size
// (2 bytes: 0xFFFF the size the data inflates to, 0xFFFE one less, 0xFFFD
// one more). The gzip member wraps the first entry's data with the CRC of
// what it inflates to, and that size or the first entry's declared size.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/extract.h"
#include "archive/source.h"
#include "fuzz/check.h"
#include "util/crc32.h"
#include "util/gzip.h"

namespace {

constexpr size_t kEntries = 3;
constexpr size_t kEntrySpec = 7;
constexpr size_t kHeader = kEntries * kEntrySpec;
constexpr uint32_t kMaxOutput = 1u << 20;

struct Entry {
  uint32_t offset;
  uint32_t compressed;
  uint32_t declared;
};

// What `size` bytes of deflate data at `data` inflate to in one zlib call,
// as far as kMaxOutput.
std::vector<uint8_t> Inflated(const uint8_t* data, uint32_t size) {
  static uint8_t out[kMaxOutput];
  z_stream z{};
  z.next_in = const_cast<uint8_t*>(data);
  z.avail_in = size;
  z.next_out = out;
  z.avail_out = kMaxOutput;
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return {};
  inflate(&z, Z_FINISH);
  inflateEnd(&z);
  return std::vector<uint8_t>(out, out + z.total_out);
}

Entry Decode(const uint8_t* fields, const uint8_t* payload, uint32_t size) {
  Entry e;
  e.offset = (fields[0] | fields[1] << 8) % (size + 1);
  const uint32_t compressed = fields[2] | fields[3] << 8 | fields[4] << 16;
  e.compressed = compressed == 0xFFFFFF ? size - e.offset : compressed;
  const uint32_t declared = fields[5] | fields[6] << 8;
  if (declared >= 0xFFFD) {
    const uint32_t available = std::min(e.compressed, size - e.offset);
    const auto natural = static_cast<uint32_t>(Inflated(payload + e.offset, available).size());
    e.declared = declared == 0xFFFF   ? natural
                 : declared == 0xFFFE ? natural - (natural > 0)
                                      : natural + 1;
  } else {
    e.declared = declared;
  }
  return e;
}

void CompareEntries(const uint8_t* data, size_t size) {
  const uint8_t* payload = data + kHeader;
  const auto length = static_cast<uint32_t>(size - kHeader);
  std::unique_ptr<uint8_t[]> copy(new uint8_t[length]);
  memcpy(copy.get(), payload, length);
  MemorySource source(std::move(copy), length);
  Inflater fast(Inflation::kFastest), zlib(Inflation::kZlibOnly);
  for (size_t i = 0; i < kEntries; ++i) {
    const Entry e = Decode(data + i * kEntrySpec, payload, length);
    // Buffers that hold different bytes before: whatever the caller's
    // buffer held must not show.
    std::vector<uint8_t> a(e.declared + 1, 0xAA), b(e.declared + 1, 0x55);
    const int ra = fast.Inflate(source, e.offset, e.compressed, a.data(), e.declared);
    const int rb = zlib.Inflate(source, e.offset, e.compressed, b.data(), e.declared);
    FUZZ_CHECK(ra == rb);
    FUZZ_CHECK(memcmp(a.data(), b.data(), e.declared) == 0);
    FUZZ_CHECK(a[e.declared] == 0xAA && b[e.declared] == 0x55);
    FUZZ_CHECK(memcmp(fast.input(), zlib.input(), Inflater::kChunk + 1) == 0);
  }
}

void CompareGzip(const uint8_t* data, size_t size) {
  const uint8_t* payload = data + kHeader;
  const auto length = static_cast<uint32_t>(size - kHeader);
  const Entry e = Decode(data, payload, length);
  const uint32_t available = std::min(e.compressed, length - e.offset);
  const std::vector<uint8_t> natural = Inflated(payload + e.offset, available);
  std::vector<uint8_t> gz = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
  gz.insert(gz.end(), payload + e.offset, payload + e.offset + available);
  const uint32_t crc = crc32(natural.data(), static_cast<uint32_t>(natural.size()), 0, 0);
  const uint32_t isize = data[kEntrySpec] & 1 ? e.declared : static_cast<uint32_t>(natural.size());
  for (uint32_t v : {crc, isize})
    for (int shift = 0; shift < 32; shift += 8) gz.push_back(static_cast<uint8_t>(v >> shift));
  uint32_t fast_size = 7, zlib_size = 7;
  const auto gz_size = static_cast<uint32_t>(gz.size());
  std::unique_ptr<uint8_t[]> a = GunzipMemory(gz.data(), gz_size, &fast_size, Inflation::kFastest);
  std::unique_ptr<uint8_t[]> b = GunzipMemory(gz.data(), gz_size, &zlib_size, Inflation::kZlibOnly);
  FUZZ_CHECK((a == nullptr) == (b == nullptr));
  FUZZ_CHECK(fast_size == zlib_size);
  if (a) FUZZ_CHECK(memcmp(a.get(), b.get(), fast_size) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader || size > kHeader + kMaxOutput) return 0;
  BuildCrcTable();
  CompareEntries(data, size);
  CompareGzip(data, size);
  return 0;
}
