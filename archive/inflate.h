// Extraction of ZIP entries and inflation of gzip data held in memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "archive/zip.h"

// Extracts `entry` of `archive` into `buffer` (at least the entry's
// uncompressed size). 0 on success; -1 data unreachable, -2 unsupported,
// -3 data that does not decode. Every failure is reported once (ZipError).
int ZipExtract(ZipArchive& archive, const ZipEntry& entry, uint8_t* buffer);

// Seeks the archive stream to the entry's data; -1 (reported) on failure.
int SeekToEntryData(ZipArchive& archive, const ZipEntry& entry);

// Streams `compressedSize` bytes of raw deflate data from `stream` into
// `out`; 0 only when they inflate to exactly `outSize` bytes. Reports nothing.
int InflateFromFile(FILE* stream, uint32_t compressedSize, uint8_t* out,
                    uint32_t outSize);

// The uncompressed data of a single-member gzip file, its length stored in
// *outSize; nullptr (and *outSize untouched) when it cannot be decoded.
std::unique_ptr<uint8_t[]> GunzipMemory(const uint8_t* data, uint32_t size,
                                        uint32_t* outSize);
