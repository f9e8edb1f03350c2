// gzip data inflated in memory through zlib's raw inflate.
#include "util/gzip.h"

#include <zlib.h>

#include <cstring>
#include <new>

#include "util/crc32.h"
#include "util/little_endian.h"

namespace {

constexpr uint32_t kGzipHeaderSize = 10;
constexpr uint32_t kGzipTrailerSize = 8;
// Far above any disk image; a larger ISIZE is not allocated.
constexpr uint32_t kMaxGunzipSize = 64u << 20;

// The offset just past the optional header parts that `flags` selects, or 0
// when they run into the trailer.
uint32_t SkipGzipHeader(const uint8_t* data, uint32_t end, uint8_t flags) {
  uint32_t at = kGzipHeaderSize;
  if (flags & 0x04) {
    if (end - at < 2) return 0;
    const uint32_t extra = ReadLe16(data + at);
    if (end - at - 2 < extra) return 0;
    at += 2 + extra;
  }
  for (uint8_t text_flag : {uint8_t{0x08}, uint8_t{0x10}}) {
    if (!(flags & text_flag)) continue;
    const void* zero = memchr(data + at, 0, end - at);
    if (!zero) return 0;
    at = static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - data) + 1;
  }
  if (flags & 0x02) {
    if (end - at < 2) return 0;
    at += 2;
  }
  return at;
}

}  // namespace

std::unique_ptr<uint8_t[]> GunzipMemory(const uint8_t* data, uint32_t size,
                                        uint32_t* outSize) {
  if (!data || size < kGzipHeaderSize + kGzipTrailerSize) return nullptr;
  if (data[0] != 0x1F || data[1] != 0x8B || data[2] != 8) return nullptr;
  const uint32_t end = size - kGzipTrailerSize;
  const uint32_t start = SkipGzipHeader(data, end, data[3]);
  if (start == 0) return nullptr;
  const uint32_t stored_crc = ReadLe32(data + end);
  const uint32_t length = ReadLe32(data + end + 4);
  if (length > kMaxGunzipSize) return nullptr;
  // Zeroed, because the part a short stream leaves unwritten is checked too.
  std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[length]());
  if (!out) return nullptr;
  z_stream z{};
  z.next_in = const_cast<uint8_t*>(data + start);
  z.avail_in = end - start;
  z.next_out = out.get();
  z.avail_out = length;
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return nullptr;
  inflate(&z, Z_FINISH);
  inflateEnd(&z);
  if (crc32(out.get(), length, 0, 0) != stored_crc) return nullptr;
  *outSize = length;
  return out;
}
