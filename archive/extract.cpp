// Extraction of stored and deflated ZIP entries through zlib's raw inflate.
#include "archive/extract.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <new>

#include "util/little_endian.h"

namespace {

constexpr uint32_t kLocalHeaderSize = 30;
constexpr uint32_t kChunk = ZipArchive::kInflateChunk;

bool SeekTo(FILE* stream, uint64_t offset) {
  return offset <= LONG_MAX && fseek(stream, static_cast<long>(offset), SEEK_SET) == 0;
}

int Report(const ZipArchive& archive, const char* explanation, int result) {
  archive.Report(explanation);
  return result;
}

int ExtractStored(ZipArchive& archive, const ZipEntry& entry, uint8_t* buffer) {
  if (entry.compressed_size != entry.uncompressed_size)
    return Report(archive, kZipCorrupt, kUndecodable);
  if (SeekToEntryData(archive, entry) != kExtracted) return kUnreachable;
  // An empty entry reads nothing and is not an error.
  if (entry.compressed_size == 0) return kExtracted;
  if (fread(buffer, entry.compressed_size, 1, archive.stream()) != 1)
    return Report(archive, kZipCorrupt, kUnreachable);
  return kExtracted;
}

// Streams deflate data through `input` (kChunk + 1 bytes) into `out`.
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
      entry.start_disk != archive.this_disk())
    return Report(archive, kZipUnsupported, kUnsupported);
  if (SeekToEntryData(archive, entry) != kExtracted) return kUnreachable;
  uint8_t* input = archive.inflate_input();
  if (!input || Inflate(archive.stream(), entry.compressed_size, buffer,
                        entry.uncompressed_size, input) != 0)
    return Report(archive, kZipCorrupt, kUndecodable);
  return kExtracted;
}

}  // namespace

int ZipExtract(ZipArchive& archive, const ZipEntry& entry, uint8_t* buffer) {
  switch (entry.method) {
    case 0:
      return ExtractStored(archive, entry, buffer);
    case 8:
      return ExtractDeflated(archive, entry, buffer);
    default:
      return Report(archive, kZipUnsupported, kUnsupported);
  }
}

int SeekToEntryData(ZipArchive& archive, const ZipEntry& entry) {
  FILE* stream = archive.stream();
  uint8_t header[kLocalHeaderSize];
  if (!SeekTo(stream, entry.local_header_offset))
    return Report(archive, kZipCorrupt, kUnreachable);
  if (fread(header, sizeof header, 1, stream) != 1)
    return Report(archive, kZipCorrupt, kUnreachable);
  const uint64_t data = uint64_t{entry.local_header_offset} + kLocalHeaderSize +
                        ReadLe16(header + 26) + ReadLe16(header + 28);
  if (!SeekTo(stream, data)) return Report(archive, kZipCorrupt, kUnreachable);
  return kExtracted;
}

int InflateFromFile(FILE* stream, uint32_t compressedSize, uint8_t* out,
                    uint32_t outSize) {
  std::unique_ptr<uint8_t[]> input(new (std::nothrow) uint8_t[kChunk + 1]());
  if (!input) return -1;
  return Inflate(stream, compressedSize, out, outSize, input.get());
}
