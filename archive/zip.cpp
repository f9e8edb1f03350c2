// The ZIP archive reader: finding the end-of-central-directory record,
// loading the central directory and walking its entries.
#include "archive/zip.h"

#include <cstring>
#include <new>

const char kZipFileSystem[] = "Your filesystem seems to be corrupt, please check it";
const char kZipCorrupt[] = "The zipfile seems to be corrupt, please check it";
const char kZipUnsupported[] =
    "The format of this zipfile is not supported, please recompress it";

namespace {

constexpr uint8_t kEcdSignature[4] = {0x50, 0x4B, 0x05, 0x06};
constexpr uint32_t kEcdSize = 22;
constexpr uint32_t kEntryHeaderSize = 46;
constexpr uint32_t kFirstWindow = 1024;

// Reads `length` bytes at `offset` in one piece; a read of nothing fails.
bool ReadAt(FILE* stream, uint32_t offset, uint8_t* out, uint32_t length) {
  return fseek(stream, static_cast<long>(offset), SEEK_SET) == 0 &&
         fread(out, length, 1, stream) == 1;
}

// Looks backwards through ever larger tails of the file for the record
// nearest the end, and copies it with everything after it.
bool FindEndRecord(ZipArchive& archive) {
  const uint32_t file_size = static_cast<uint32_t>(archive.file_size);
  uint32_t window = kFirstWindow;
  for (;;) {
    if (window > file_size) window = file_size;
    std::unique_ptr<uint8_t[]> tail(new (std::nothrow) uint8_t[window]);
    if (!tail || !ReadAt(archive.stream.get(), file_size - window, tail.get(), window))
      return false;
    for (uint32_t at = window >= kEcdSize ? window - kEcdSize + 1 : 0; at-- > 0;) {
      if (memcmp(tail.get() + at, kEcdSignature, 4) != 0) continue;
      archive.ecd_length = window - at;
      archive.ecd.reset(new (std::nothrow) uint8_t[archive.ecd_length]);
      if (!archive.ecd) return false;
      memcpy(archive.ecd.get(), tail.get() + at, archive.ecd_length);
      return true;
    }
    if (window == file_size) return false;
    window *= 2;
  }
}

void DecodeEndRecord(ZipArchive& archive) {
  const uint8_t* p = archive.ecd.get();
  archive.ecd_signature = ZipLe32(p);
  archive.this_disk = ZipLe16(p + 4);
  archive.directory_disk = ZipLe16(p + 6);
  archive.entries_on_disk = ZipLe16(p + 8);
  archive.total_entries = ZipLe16(p + 10);
  archive.directory_size = ZipLe32(p + 12);
  archive.directory_offset = ZipLe32(p + 16);
  archive.comment_length = ZipLe16(p + 20);
  archive.comment_position = kEcdSize;
}

bool IsSingleVolume(const ZipArchive& archive) {
  return archive.this_disk == archive.directory_disk &&
         archive.entries_on_disk == archive.total_entries &&
         archive.total_entries >= 1;
}

// The central directory must lie inside the file: an offset or size that
// points past the end would only fail the seek or the read, so it fails here
// before anything is allocated for it. A size of 0 is a read of nothing.
bool LoadCentralDirectory(ZipArchive& archive, const char** explanation) {
  *explanation = kZipCorrupt;
  const uint64_t end = uint64_t{archive.directory_offset} + archive.directory_size;
  if (archive.directory_size == 0 || end > static_cast<uint64_t>(archive.file_size))
    return false;
  if (fseek(archive.stream.get(), static_cast<long>(archive.directory_offset),
            SEEK_SET) != 0)
    return false;
  archive.central_directory.reset(new (std::nothrow) uint8_t[archive.directory_size]);
  if (!archive.central_directory) {
    *explanation = nullptr;  // out of memory goes unreported
    return false;
  }
  return fread(archive.central_directory.get(), archive.directory_size, 1,
               archive.stream.get()) == 1;
}

void DecodeEntry(const uint8_t* p, ZipEntry& entry) {
  entry.signature = ZipLe32(p);
  entry.version_made_by = p[4];
  entry.host_made_by = p[5];
  entry.version_needed = p[6];
  entry.host_needed = p[7];
  entry.flags = ZipLe16(p + 8);
  entry.method = ZipLe16(p + 10);
  entry.time = ZipLe16(p + 12);
  entry.date = ZipLe16(p + 14);
  entry.crc32 = ZipLe32(p + 16);
  entry.compressed_size = ZipLe32(p + 20);
  entry.uncompressed_size = ZipLe32(p + 24);
  entry.name_length = ZipLe16(p + 28);
  entry.extra_length = ZipLe16(p + 30);
  entry.comment_length = ZipLe16(p + 32);
  entry.start_disk = ZipLe16(p + 34);
  entry.internal_attributes = ZipLe16(p + 36);
  entry.external_attributes = ZipLe32(p + 38);
  entry.local_header_offset = ZipLe32(p + 42);
  const char* name = reinterpret_cast<const char*>(p + kEntryHeaderSize);
  const void* zero = memchr(name, 0, entry.name_length);
  entry.name.assign(name, zero ? static_cast<const char*>(zero) - name : entry.name_length);
}

}  // namespace

std::unique_ptr<ZipArchive> ZipOpen(const std::string& path) {
  auto archive = std::make_unique<ZipArchive>();
  archive->path = path;
  auto fail = [&](const char* explanation) {
    if (explanation) ZipError(explanation, path);
    return nullptr;
  };
  archive->stream.reset(fopen(path.c_str(), "rb"));
  if (!archive->stream) return fail(kZipFileSystem);
  // Every read is a whole record or a 16 KiB chunk at a fresh offset, so a
  // stream buffer would only copy the bytes twice and read some twice.
  setvbuf(archive->stream.get(), nullptr, _IONBF, 0);
  if (fseek(archive->stream.get(), 0, SEEK_END) != 0) return fail(kZipFileSystem);
  const long size = ftell(archive->stream.get());
  if (size < 0) return fail(kZipFileSystem);
  if (size == 0) return fail(kZipCorrupt);
  // Sizes and offsets are signed 32-bit; a larger archive is refused whole.
  if (size > INT32_MAX) return fail(kZipUnsupported);
  archive->file_size = static_cast<int32_t>(size);
  if (!FindEndRecord(*archive)) return fail(kZipCorrupt);
  DecodeEndRecord(*archive);
  if (!IsSingleVolume(*archive)) return fail(kZipUnsupported);
  const char* explanation;
  if (!LoadCentralDirectory(*archive, &explanation)) return fail(explanation);
  return archive;
}

const ZipEntry* ZipNextEntry(ZipArchive& archive) {
  const uint32_t size = archive.directory_size;
  if (archive.cursor >= size) return nullptr;
  const uint8_t* header = archive.central_directory.get() + archive.cursor;
  const uint32_t left = size - archive.cursor;
  // The cursor stays put, so the next call meets the same entry again.
  if (left < kEntryHeaderSize || left - kEntryHeaderSize < ZipLe16(header + 28)) {
    ZipError(kZipCorrupt, archive.path);
    return nullptr;
  }
  DecodeEntry(header, archive.entry);
  const ZipEntry& e = archive.entry;
  archive.cursor += kEntryHeaderSize + e.name_length + e.extra_length + e.comment_length;
  return &archive.entry;
}

void ZipClose(std::unique_ptr<ZipArchive> archive) { archive.reset(); }

void ZipError(const char* explanation, const std::string& path) {
  printf("Error in zipfile %s\n%s\n", path.c_str(), explanation);
}
