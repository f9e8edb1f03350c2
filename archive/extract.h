// Extraction of ZIP entries into memory.
#pragma once

#include <cstdint>
#include <cstdio>

#include "archive/zip.h"

// ZipExtract's results.
constexpr int kExtracted = 0;
constexpr int kUnreachable = -1;   // a seek or read failed
constexpr int kUnsupported = -2;   // a method or version not supported
constexpr int kUndecodable = -3;   // sizes that disagree, or a failed inflation

// Extracts `entry` of `archive` into `buffer` (at least the entry's
// uncompressed size). Every failure is reported once, through the archive.
int ZipExtract(ZipArchive& archive, const ZipEntry& entry, uint8_t* buffer);

// Seeks the archive stream to the entry's data; kUnreachable (reported) on
// failure.
int SeekToEntryData(ZipArchive& archive, const ZipEntry& entry);

// Streams `compressedSize` bytes of raw deflate data from `stream` into
// `out`; 0 only when they inflate to exactly `outSize` bytes, else -1.
// Reports nothing.
int InflateFromFile(FILE* stream, uint32_t compressedSize, uint8_t* out,
                    uint32_t outSize);
