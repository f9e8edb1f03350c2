// Inflating a whole single-member gzip file held in memory.
#pragma once

#include <cstdint>
#include <memory>

// What decodes deflate data: the fastest inflater built in (libdeflate, where
// the build has it, with zlib for every stream it does not take), or zlib
// alone. Both give the same bytes and results for every input.
enum class Inflation { kFastest, kZlibOnly };

// The uncompressed data of a single-member gzip file, its length stored in
// *outSize; nullptr (and *outSize untouched) when it cannot be decoded.
std::unique_ptr<uint8_t[]> GunzipMemory(const uint8_t* data, uint32_t size, uint32_t* outSize,
                                        Inflation inflation = Inflation::kFastest);
