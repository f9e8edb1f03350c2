// Extraction of ZIP entries into memory.
#pragma once

#include <cstdint>

#include "archive/source.h"
#include "archive/zip.h"
#include "util/gzip.h"

struct libdeflate_decompressor;

// ZipExtract's results.
constexpr int kExtracted = 0;
constexpr int kUnreachable = -1;   // a seek or read failed
constexpr int kUnsupported = -2;   // a method or version not supported
constexpr int kUndecodable = -3;   // sizes that disagree, or a failed inflation

// Extracts `entry` of `archive` into `buffer` (at least the entry's
// uncompressed size, holding anything). On failure the buffer holds what
// could be extracted, then zeros. Every failure is reported once, through
// the archive.
int ZipExtract(ZipArchive& archive, const ZipEntry& entry, uint8_t* buffer);

// Inflates the deflated entries of one archive after another, keeping what
// one entry leaves for the next: the decompressor, and the input buffer of
// the chunked inflater, whose byte after the last chunk is offered too. One
// per thread.
class Inflater {
 public:
  // Deflate data streams through an input buffer of one chunk and one byte.
  static constexpr uint32_t kChunk = 16384;

  explicit Inflater(Inflation inflation = Inflation::kFastest);
  ~Inflater();
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Each archive starts with an input buffer of zeros.
  void StartArchive();

  // Inflates the `compressed_size` bytes at `offset` of `source` into `out`
  // (`out_size` bytes, holding anything): 0 only when they inflate to
  // exactly `out_size` bytes and the stream ends within the last 16 KiB
  // chunk of the compressed size; otherwise -1, with what the chunked
  // inflater wrote, then zeros, in `out`. A whole stream in memory is
  // decoded in one call when libdeflate is built in; whatever that call
  // does not take is decoded again, chunk by chunk with zlib, from the start.
  int Inflate(ByteSource& source, uint64_t offset, uint32_t compressed_size, uint8_t* out,
              uint32_t out_size);

  // The input buffer, kChunk + 1 bytes, as the chunked inflater left it.
  const uint8_t* input() const { return input_; }

 private:
  bool InflateWhole(const uint8_t* in, uint32_t compressed_size, uint8_t* out, uint32_t out_size);
  int InflateChunked(ByteSource& source, uint64_t offset, uint32_t compressed_size, uint8_t* out,
                     uint32_t out_size);

  libdeflate_decompressor* decompressor_ = nullptr;
  uint8_t input_[kChunk + 1];
};
