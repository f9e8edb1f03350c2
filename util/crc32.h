// CRC-32 (IEEE 802.3, reflected, polynomial 0xEDB88320), as in zlib, gzip and ZIP.
#pragma once

#include <cstdint>

// Prepares the CRC tables; called once before any CRC is computed.
void BuildCrcTable();

// The CRC-32 of data[start] .. data[start + length - 1]. With seed 0 the
// register starts at 0xFFFFFFFF; a non-zero seed is loaded as it stands. The
// result is the register complemented.
uint32_t crc32(const uint8_t* data, uint32_t length, uint32_t start,
               uint32_t seed);
