// Extraction of stored and deflated ZIP entries, and gzip data inflated in
// memory, both through zlib's raw inflate.
#include "archive/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "run/crc32.h"

namespace {

constexpr uint32_t kLocalHeaderSize = 30;
constexpr uint32_t kChunk = 16384;
// One byte more than a chunk: the byte after the last chunk is offered too.
constexpr uint32_t kInputBufferSize = kChunk + 1;
constexpr uint32_t kGzipHeaderSize = 10;
constexpr uint32_t kGzipTrailerSize = 8;
// Far above any disk image; a larger ISIZE is not allocated.
constexpr uint32_t kMaxGunzipSize = 64u << 20;

bool SeekTo(FILE* stream, uint64_t offset) {
  return offset <= LONG_MAX && fseek(stream, static_cast<long>(offset), SEEK_SET) == 0;
}

int Report(const ZipArchive& archive, const char* explanation, int result) {
  ZipError(explanation, archive.path);
  return result;
}

int ExtractStored(ZipArchive& archive, const ZipEntry& entry, uint8_t* buffer) {
  if (entry.compressed_size != entry.uncompressed_size)
    return Report(archive, kZipCorrupt, -3);
  if (SeekToEntryData(archive, entry) != 0) return -1;
  // An empty entry reads nothing and is not an error.
  if (entry.compressed_size == 0) return 0;
  if (fread(buffer, entry.compressed_size, 1, archive.stream.get()) != 1)
    return Report(archive, kZipCorrupt, -1);
  return 0;
}

// Streams deflate data through `input` (kInputBufferSize bytes) into `out`.
int Inflate(FILE* stream, uint32_t compressed_size, uint8_t* out,
            uint32_t out_size, uint8_t* input) {
  z_stream z{};
  z.next_out = out;
  z.avail_out = out_size;
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return -1;
  if (compressed_size == 0) {
    inflateEnd(&z);
    return -1;
  }
  uint32_t remaining = compressed_size;
  for (;;) {
    const uint32_t got =
        static_cast<uint32_t>(fread(input, 1, std::min(remaining, kChunk), stream));
    remaining -= got;
    // Each chunk replaces the input, whatever the last call left unused.
    z.next_in = input;
    z.avail_in = got + (remaining == 0 ? 1 : 0);
    const int result = inflate(&z, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      if (inflateEnd(&z) != Z_OK) return -1;
      return z.avail_out == 0 && remaining == 0 ? 0 : -1;
    }
    // An error, or a stream that did not end within the compressed size.
    if (result != Z_OK || remaining == 0) {
      inflateEnd(&z);
      return -1;
    }
  }
}

int ExtractDeflated(ZipArchive& archive, const ZipEntry& entry, uint8_t* buffer) {
  if (entry.version_needed > 20 || entry.host_needed != 0 ||
      entry.start_disk != archive.this_disk)
    return Report(archive, kZipUnsupported, -2);
  if (SeekToEntryData(archive, entry) != 0) return -1;
  if (!archive.inflate_input)
    archive.inflate_input.reset(new (std::nothrow) uint8_t[kInputBufferSize]());
  if (!archive.inflate_input ||
      Inflate(archive.stream.get(), entry.compressed_size, buffer,
              entry.uncompressed_size, archive.inflate_input.get()) != 0)
    return Report(archive, kZipCorrupt, -3);
  return 0;
}

// The offset just past the optional header parts that `flags` selects, or 0
// when they run into the trailer.
uint32_t SkipGzipHeader(const uint8_t* data, uint32_t end, uint8_t flags) {
  uint32_t at = kGzipHeaderSize;
  if (flags & 0x04) {
    if (end - at < 2) return 0;
    const uint32_t extra = ZipLe16(data + at);
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

int ZipExtract(ZipArchive& archive, const ZipEntry& entry, uint8_t* buffer) {
  switch (entry.method) {
    case 0:
      return ExtractStored(archive, entry, buffer);
    case 8:
      return ExtractDeflated(archive, entry, buffer);
    default:
      return Report(archive, kZipUnsupported, -2);
  }
}

int SeekToEntryData(ZipArchive& archive, const ZipEntry& entry) {
  FILE* stream = archive.stream.get();
  uint8_t header[kLocalHeaderSize];
  if (!SeekTo(stream, entry.local_header_offset))
    return Report(archive, kZipCorrupt, -1);
  if (fread(header, sizeof header, 1, stream) != 1)
    return Report(archive, kZipCorrupt, -1);
  const uint64_t data = uint64_t{entry.local_header_offset} + kLocalHeaderSize +
                        ZipLe16(header + 26) + ZipLe16(header + 28);
  if (!SeekTo(stream, data)) return Report(archive, kZipCorrupt, -1);
  return 0;
}

int InflateFromFile(FILE* stream, uint32_t compressedSize, uint8_t* out,
                    uint32_t outSize) {
  std::unique_ptr<uint8_t[]> input(new (std::nothrow) uint8_t[kInputBufferSize]());
  if (!input) return -1;
  return Inflate(stream, compressedSize, out, outSize, input.get());
}

std::unique_ptr<uint8_t[]> GunzipMemory(const uint8_t* data, uint32_t size,
                                        uint32_t* outSize) {
  if (!data || size < kGzipHeaderSize + kGzipTrailerSize) return nullptr;
  if (data[0] != 0x1F || data[1] != 0x8B || data[2] != 8) return nullptr;
  const uint32_t end = size - kGzipTrailerSize;
  const uint32_t start = SkipGzipHeader(data, end, data[3]);
  if (start == 0) return nullptr;
  const uint32_t stored_crc = ZipLe32(data + end);
  const uint32_t length = ZipLe32(data + end + 4);
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
