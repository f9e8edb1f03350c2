// The ZIP reader over an archive of arbitrary bytes: every entry is listed,
// admitted or refused, and extracted into a buffer of exactly its
// uncompressed size as the audit would, and every failure is reported
// exactly once.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "archive/extract.h"
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

// Counts the reports it is handed.
class CountingSink : public MessageSink {
 public:
  void Write(Stream, std::string_view) override { ++count; }
  uint32_t count = 0;
};

// The number of failures: a refusal, and a failed extraction. An entry the
// audit would refuse is extracted all the same, so that every entry reaches
// the extraction.
uint32_t ExtractEntry(ZipArchive& archive, const ZipEntry& entry) {
  if (entry.uncompressed_size > kMaxExtracted) return 0;
  const uint32_t refused = ZipAdmit(archive, entry) ? 0 : 1;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[entry.uncompressed_size]());
  int result = ZipExtract(archive, entry, buffer.get());
  FUZZ_CHECK(result == kExtracted || result == kUnreachable || result == kUnsupported ||
             result == kUndecodable);
  ReadEveryByte(buffer.get(), entry.uncompressed_size);
  return refused + (result != kExtracted ? 1 : 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (64u << 20) || !WriteArchive(data, size)) return 0;
  CountingSink reports;
  std::unique_ptr<ZipArchive> archive = ZipOpen(ArchivePath(), reports);
  if (!archive) {
    // Only running out of memory goes unreported.
    FUZZ_CHECK(reports.count <= 1);
    return 0;
  }
  uint32_t entries = 0;
  uint32_t failures = 0;
  while (const ZipEntry* entry = ZipNextEntry(*archive)) {
    CheckEntry(*entry);
    failures += ExtractEntry(*archive, *entry);
    FUZZ_CHECK(++entries < kMaxEntries);
  }
  failures += !archive->exhausted();
  ZipClose(std::move(archive));
  FUZZ_CHECK(reports.count == failures);
  return 0;
}
