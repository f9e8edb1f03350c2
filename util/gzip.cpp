// gzip data inflated in memory: in one call through libdeflate where it is
// built in, through zlib's raw inflate for the rest.
#include "util/gzip.h"

#include <zlib.h>

#include <cstring>
#include <new>

#ifdef DEWMOP_LIBDEFLATE
#include <libdeflate.h>
#endif

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

// Decodes a whole stream that ends within `in` into `out`, the bytes after
// it up to `out_size` zeroed, as zlib leaves them; false when libdeflate is
// not built in or does not take the stream.
bool InflateWhole(const uint8_t* in, uint32_t in_size, uint8_t* out, uint32_t out_size) {
#ifdef DEWMOP_LIBDEFLATE
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  if (!decompressor) return false;
  size_t made = 0;
  const libdeflate_result result =
      libdeflate_deflate_decompress_ex(decompressor, in, in_size, out, out_size, nullptr, &made);
  libdeflate_free_decompressor(decompressor);
  if (result != LIBDEFLATE_SUCCESS) return false;
  memset(out + made, 0, out_size - made);
  return true;
#else
  (void)in, (void)in_size, (void)out, (void)out_size;
  return false;
#endif
}

// zlib in one call: what a short or damaged stream does not write stays
// zero, and is checked with the rest. False when zlib cannot start.
bool InflateWithZlib(const uint8_t* in, uint32_t in_size, uint8_t* out, uint32_t out_size) {
  memset(out, 0, out_size);
  z_stream z{};
  z.next_in = const_cast<uint8_t*>(in);
  z.avail_in = in_size;
  z.next_out = out;
  z.avail_out = out_size;
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
  inflate(&z, Z_FINISH);
  inflateEnd(&z);
  return true;
}

}  // namespace

std::unique_ptr<uint8_t[]> GunzipMemory(const uint8_t* data, uint32_t size, uint32_t* outSize,
                                        Inflation inflation) {
  if (!data || size < kGzipHeaderSize + kGzipTrailerSize) return nullptr;
  if (data[0] != 0x1F || data[1] != 0x8B || data[2] != 8) return nullptr;
  const uint32_t end = size - kGzipTrailerSize;
  const uint32_t start = SkipGzipHeader(data, end, data[3]);
  if (start == 0) return nullptr;
  const uint32_t stored_crc = ReadLe32(data + end);
  const uint32_t length = ReadLe32(data + end + 4);
  if (length > kMaxGunzipSize) return nullptr;
  std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[length]);
  if (!out) return nullptr;
  const uint8_t* in = data + start;
  const bool fast =
      inflation == Inflation::kFastest && InflateWhole(in, end - start, out.get(), length);
  if (!fast && !InflateWithZlib(in, end - start, out.get(), length)) return nullptr;
  if (crc32(out.get(), length, 0, 0) != stored_crc) return nullptr;
  *outSize = length;
  return out;
}
