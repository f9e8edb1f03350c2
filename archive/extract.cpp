// Extraction of stored and deflated ZIP entries: whole streams through
// libdeflate where it is built in, chunk by chunk through zlib's raw inflate
// for the rest.
#include "archive/extract.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

#ifdef DEWMOP_LIBDEFLATE
#include <libdeflate.h>
#endif

#include "util/little_endian.h"

namespace {

constexpr uint32_t kLocalHeaderSize = 30;

int Report(const ZipArchive& archive, const char* explanation, int result) {
  archive.Report(explanation);
  return result;
}

// The buffer of an empty entry may be no block at all.
void Zero(uint8_t* buffer, uint32_t size) {
  if (size > 0) memset(buffer, 0, size);
}

// Reports a failure before any byte was extracted into `buffer`.
int Fail(const ZipArchive& archive, const char* explanation, int result, uint8_t* buffer,
         uint32_t size) {
  Zero(buffer, size);
  return Report(archive, explanation, result);
}

// An offset that a seek of the C runtime reaches (a long, 32 bits on Windows).
bool Seekable(uint64_t offset) { return offset <= LONG_MAX; }

// The offset of the entry's data, after the local header's name and extra
// field; -1 when the local header cannot be read or a seek cannot reach it.
int64_t EntryDataOffset(ZipArchive& archive, const ZipEntry& entry) {
  uint8_t header[kLocalHeaderSize];
  if (!Seekable(entry.local_header_offset) ||
      archive.source().ReadAt(entry.local_header_offset, header, sizeof header) != sizeof header)
    return -1;
  const int64_t data = int64_t{entry.local_header_offset} + kLocalHeaderSize +
                       ReadLe16(header + 26) + ReadLe16(header + 28);
  return Seekable(data) ? data : -1;
}

int ExtractStored(ZipArchive& archive, const ZipEntry& entry, uint8_t* buffer) {
  const uint32_t size = entry.uncompressed_size;
  if (entry.compressed_size != size) return Fail(archive, kZipCorrupt, kUndecodable, buffer, size);
  const int64_t data = EntryDataOffset(archive, entry);
  if (data < 0) return Fail(archive, kZipCorrupt, kUnreachable, buffer, size);
  // An empty entry reads nothing and is not an error.
  const size_t got = archive.source().ReadAt(data, buffer, size);
  if (got != size) return Fail(archive, kZipCorrupt, kUnreachable, buffer + got, size - got);
  return kExtracted;
}

int ExtractDeflated(ZipArchive& archive, const ZipEntry& entry, uint8_t* buffer) {
  const uint32_t size = entry.uncompressed_size;
  if (entry.version_needed > 20 || entry.host_needed != 0 ||
      entry.start_disk != archive.this_disk())
    return Fail(archive, kZipUnsupported, kUnsupported, buffer, size);
  const int64_t data = EntryDataOffset(archive, entry);
  if (data < 0) return Fail(archive, kZipCorrupt, kUnreachable, buffer, size);
  if (archive.inflater().Inflate(archive.source(), data, entry.compressed_size, buffer, size) != 0)
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
      return Fail(archive, kZipUnsupported, kUnsupported, buffer, entry.uncompressed_size);
  }
}

Inflater::Inflater(Inflation inflation) {
#ifdef DEWMOP_LIBDEFLATE
  if (inflation == Inflation::kFastest) decompressor_ = libdeflate_alloc_decompressor();
#else
  (void)inflation;
#endif
  StartArchive();
}

Inflater::~Inflater() {
#ifdef DEWMOP_LIBDEFLATE
  libdeflate_free_decompressor(decompressor_);
#endif
}

void Inflater::StartArchive() { memset(input_, 0, sizeof input_); }

int Inflater::Inflate(ByteSource& source, uint64_t offset, uint32_t compressed_size, uint8_t* out,
                      uint32_t out_size) {
  const uint8_t* bytes = source.Bytes();
  if (bytes && compressed_size > 0 && offset + compressed_size <= source.Size() &&
      InflateWhole(bytes + offset, compressed_size, out, out_size))
    return 0;
  Zero(out, out_size);
  return InflateChunked(source, offset, compressed_size, out, out_size);
}

// Takes the stream only where the chunked inflater would: decoded to exactly
// `out_size` bytes, ending in the last chunk. The input buffer is then left
// as the chunked inflater leaves it: the last chunk at its start, and after
// it the tail of the chunk before, if there was one.
bool Inflater::InflateWhole(const uint8_t* in, uint32_t compressed_size, uint8_t* out,
                            uint32_t out_size) {
#ifdef DEWMOP_LIBDEFLATE
  if (!decompressor_) return false;
  size_t used = 0, made = 0;
  if (libdeflate_deflate_decompress_ex(decompressor_, in, compressed_size, out, out_size, &used,
                                      &made) != LIBDEFLATE_SUCCESS)
    return false;
  const uint32_t last_start = (compressed_size - 1) / kChunk * kChunk;
  if (made != out_size || used <= last_start) return false;
  const uint32_t last_length = compressed_size - last_start;
  memcpy(input_, in + last_start, last_length);
  if (last_start > 0)
    memcpy(input_ + last_length, in + last_start - kChunk + last_length, kChunk - last_length);
  return true;
#else
  (void)in, (void)compressed_size, (void)out, (void)out_size;
  return false;
#endif
}

// Streams the data through the input buffer, offering the byte after the
// last chunk too (whatever the buffer holds there). Succeeds only when the
// stream ends within the last chunk and fills the output exactly.
int Inflater::InflateChunked(ByteSource& source, uint64_t offset, uint32_t compressed_size,
                             uint8_t* out, uint32_t out_size) {
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
    const auto got =
        static_cast<uint32_t>(source.ReadAt(offset, input_, std::min(remaining, kChunk)));
    offset += got;
    remaining -= got;
    // Each chunk replaces the input, whatever the last call left unused.
    z.next_in = input_;
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
