// Placeholder extraction.
#include "archive/inflate.h"

int ZipExtract(ZipArchive&, const ZipEntry&, uint8_t*) { return -1; }
int SeekToEntryData(ZipArchive&, const ZipEntry&) { return -1; }
int InflateFromFile(FILE*, uint32_t, uint8_t*, uint32_t) { return -1; }
std::unique_ptr<uint8_t[]> GunzipMemory(const uint8_t*, uint32_t, uint32_t*) {
  return nullptr;
}
