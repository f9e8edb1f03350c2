// The ZIP archive reader: the end-of-central-directory record, the central
// directory in memory, and its entries in stored order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// The current central-directory entry, decoded.
struct ZipEntry {
  uint32_t signature = 0;
  uint8_t version_made_by = 0;
  uint8_t host_made_by = 0;
  uint8_t version_needed = 0;
  uint8_t host_needed = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t time = 0;
  uint16_t date = 0;
  uint32_t crc32 = 0;
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
  uint16_t name_length = 0;
  uint16_t extra_length = 0;
  uint16_t comment_length = 0;
  uint16_t start_disk = 0;
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = 0;
  uint32_t local_header_offset = 0;
  std::string name;  // cut at a zero byte
};

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};

struct ZipArchive {
  std::string path;
  std::unique_ptr<FILE, FileCloser> stream;
  int32_t file_size = 0;
  // The record and every byte after it. This buffer and the central
  // directory have lengths taken from the file, so they are allocated with
  // nothrow rather than as vectors.
  std::unique_ptr<uint8_t[]> ecd;
  uint32_t ecd_length = 0;
  std::unique_ptr<uint8_t[]> central_directory;  // directory_size bytes
  uint32_t cursor = 0;
  ZipEntry entry;
  // The end-of-central-directory fields.
  uint32_t ecd_signature = 0;
  uint16_t this_disk = 0;
  uint16_t directory_disk = 0;
  uint16_t entries_on_disk = 0;
  uint16_t total_entries = 0;
  uint32_t directory_size = 0;
  uint32_t directory_offset = 0;
  uint16_t comment_length = 0;
  uint32_t comment_position = 0;  // within the ECD copy
  // The input buffer of deflated entries, made by the first one that needs it
  // and kept for the others.
  std::unique_ptr<uint8_t[]> inflate_input;
};

// Little-endian fields of the archive.
inline uint16_t ZipLe16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t ZipLe32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The explanations of "Error in zipfile %s\n%s\n".
extern const char kZipFileSystem[];
extern const char kZipCorrupt[];
extern const char kZipUnsupported[];

// Opens an archive; nullptr (its reason reported) when it cannot be used.
std::unique_ptr<ZipArchive> ZipOpen(const std::string& path);

// The next central-directory entry, or nullptr at the end or on a malformed
// entry (reported). Valid until the next call or ZipClose.
const ZipEntry* ZipNextEntry(ZipArchive& archive);

// Releases everything the archive holds.
void ZipClose(std::unique_ptr<ZipArchive> archive);

// Writes "Error in zipfile %s\n%s\n" to standard output.
void ZipError(const char* explanation, const std::string& path);
