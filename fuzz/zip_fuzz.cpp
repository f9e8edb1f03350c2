// The ZIP reader over an archive of arbitrary bytes: every entry is listed,
// admitted or refused, and extracted into a buffer of exactly its
// uncompressed size as the audit would, and every failure is reported
// exactly once. The archive is read twice side by side, from its file (so
// inflated by zlib alone) and from memory (libdeflate first): the same
// entries, results, bytes and messages.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "archive/extract.h"
#include "archive/source.h"
#include "archive/zip.h"
#include "fuzz/check.h"

namespace {

// Larger entries are listed but not extracted, to keep each run short.
constexpr uint32_t kMaxExtracted = 4u << 20;
// More entries than a central directory of 64 KiB entries can describe.
constexpr uint32_t kMaxEntries = 1u << 20;

// One scratch file per process, so that targets can run side by side;
// removed when the process ends.
struct ScratchFile {
  ScratchFile()
      : path((std::filesystem::temp_directory_path() /
              ("dewmop-zip-fuzz-" + std::to_string(std::random_device()()) +
               ".zip"))
                 .string()) {}
  ~ScratchFile() { std::filesystem::remove(path); }
  std::string path;
};

const std::string& ArchivePath() {
  static const ScratchFile file;
  return file.path;
}

bool WriteArchive(const uint8_t* data, size_t size) {
  FileOwner file(fopen(ArchivePath().c_str(), "wb"));
  return file && fwrite(data, 1, size, file.get()) == size;
}

void CheckEntry(const ZipEntry& entry) {
  FUZZ_CHECK(entry.name.size() <= entry.name_length);
  FUZZ_CHECK(entry.name.find('\0') == std::string::npos);
}

void CheckSameEntry(const ZipEntry& a, const ZipEntry& b) {
  FUZZ_CHECK(a.name == b.name && a.method == b.method && a.compressed_size == b.compressed_size &&
             a.uncompressed_size == b.uncompressed_size &&
             a.local_header_offset == b.local_header_offset);
}

// Counts the reports it is handed, and keeps them.
class CountingSink : public MessageLog {
 public:
  void Write(Stream stream, std::string_view text) override {
    ++count;
    MessageLog::Write(stream, text);
  }
  uint32_t count = 0;
};

// The number of failures: a refusal, and a failed extraction. An entry the
// audit would refuse is extracted all the same, so that every entry reaches
// the extraction. The two archives must agree on every step.
uint32_t ExtractEntry(ZipArchive& archive, const ZipEntry& entry, ZipArchive& twin,
                      const ZipEntry& twin_entry) {
  if (entry.uncompressed_size > kMaxExtracted) return 0;
  const bool admitted = ZipAdmit(archive, entry);
  FUZZ_CHECK(admitted == ZipAdmit(twin, twin_entry));
  // Each buffer holds other bytes before: what was not extracted must not show.
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[entry.uncompressed_size]);
  std::unique_ptr<uint8_t[]> twin_buffer(new uint8_t[entry.uncompressed_size]);
  memset(buffer.get(), 0xAA, entry.uncompressed_size);
  memset(twin_buffer.get(), 0x55, entry.uncompressed_size);
  int result = ZipExtract(archive, entry, buffer.get());
  FUZZ_CHECK(result == kExtracted || result == kUnreachable || result == kUnsupported ||
             result == kUndecodable);
  FUZZ_CHECK(result == ZipExtract(twin, twin_entry, twin_buffer.get()));
  ReadEveryByte(buffer.get(), entry.uncompressed_size);
  FUZZ_CHECK(memcmp(buffer.get(), twin_buffer.get(), entry.uncompressed_size) == 0);
  return (admitted ? 0 : 1) + (result != kExtracted ? 1 : 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (64u << 20) || !WriteArchive(data, size)) return 0;
  CountingSink reports, twin_reports;
  std::unique_ptr<ZipArchive> archive = ZipOpen(ArchivePath(), reports);
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
  memcpy(bytes.get(), data, size);
  std::unique_ptr<ZipArchive> twin =
      ZipOpen(ArchivePath(), std::make_unique<MemorySource>(std::move(bytes), size), twin_reports);
  FUZZ_CHECK((archive == nullptr) == (twin == nullptr));
  FUZZ_CHECK(reports.Text(Stream::kErr) == twin_reports.Text(Stream::kErr));
  if (!archive) {
    // Only running out of memory goes unreported.
    FUZZ_CHECK(reports.count <= 1);
    return 0;
  }
  uint32_t entries = 0;
  uint32_t failures = 0;
  for (;;) {
    const ZipEntry* entry = ZipNextEntry(*archive);
    const ZipEntry* twin_entry = ZipNextEntry(*twin);
    FUZZ_CHECK((entry == nullptr) == (twin_entry == nullptr));
    if (!entry) break;
    CheckEntry(*entry);
    CheckSameEntry(*entry, *twin_entry);
    failures += ExtractEntry(*archive, *entry, *twin, *twin_entry);
    FUZZ_CHECK(++entries < kMaxEntries);
  }
  failures += !archive->exhausted();
  ZipClose(std::move(archive));
  ZipClose(std::move(twin));
  FUZZ_CHECK(reports.count == failures);
  FUZZ_CHECK(reports.Text(Stream::kErr) == twin_reports.Text(Stream::kErr));
  return 0;
}
