// The per-file audit: plain images and ZIP archives to one CRC set.
#include "audit/audit.h"

#include <algorithm>
#include <memory>
#include <new>

#include "archive/extract.h"
#include "archive/source.h"
#include "archive/zip.h"
#include "audit/csv_report.h"
#include "audit/file_system.h"
#include "audit/identify.h"
#include "audit/outcome.h"
#include "audit/report.h"
#include "audit/summary.h"
#include "platform/platform.h"
#include "util/ascii.h"
#include "util/crc32.h"

namespace {

// Entry buffers up to this size are kept from file to file; a larger one is
// given back after its file.
constexpr uint32_t kKeptBuffer = 4u << 20;

// The text from the last '.' of a name, '.' included; "" when there is none.
std::string ExtensionOf(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : name.substr(dot);
}

// Reads the open file whole into a new block; nullptr when it cannot be had
// or a read comes up short.
std::unique_ptr<uint8_t[]> ReadWhole(FILE* file, uint64_t size) {
  if (fseek(file, 0, SEEK_SET) != 0) return nullptr;
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size]);
  if (!bytes) return nullptr;
  for (uint64_t done = 0; done < size;) {
    size_t n = fread(bytes.get() + done, 1, size - done, file);
    if (n == 0) return nullptr;
    done += n;
  }
  return bytes;
}

// Lists one image into `crcs`; false when no reader can be made for it.
// A damaged image counts as one file, the CRC of the whole buffer as the
// reader left it.
bool ScanImage(const SystemProfile& profile, ImageType type, uint8_t* image,
               uint32_t size, FileRecord* record) {
  std::unique_ptr<CImage> reader = profile.factory(type, image, size, record->messages);
  if (!reader) return false;
  CrcSet& crcs = record->crcs;
  size_t first = crcs.size();
  uint32_t length = 0;
  while (const uint8_t* file = reader->next_file(&length)) {
    crcs.push_back(crc32(file, length, 0, 0));
  }
  if (reader->error_flags != 0) {
    record->damaged = true;
    crcs.resize(first);
    crcs.push_back(crc32(image, size, 0, 0));
  }
  return true;
}

enum class Outcome { kListed, kUnreadable, kNoReader, kCancelled };

Outcome ListPlainFile(const SystemProfile& profile, uint8_t* image, uint32_t size,
                      FileRecord* record) {
  std::string extension = ExtensionOf(record->name);
  ImageType type = -1;
  if (extension.empty()) {
    record->messages.Print(Stream::kErr, "Wrn: can't find extension for %s\n",
                           record->name.c_str());
  } else {
    type = FindImageType(profile, extension);
  }
  if (!image) return Outcome::kUnreadable;
  return ScanImage(profile, type, image, size, record) ? Outcome::kListed : Outcome::kNoReader;
}

// Extracts an archive entry into the workspace's buffer; nullptr when the
// entry is too large to hold or the archive refuses it (ZipAdmit, which
// reports its own refusal). A failed extraction still yields the buffer,
// what could be extracted followed by zeros.
uint8_t* ExtractEntry(ZipArchive& archive, const ZipEntry& entry, Workspace& workspace,
                      FileRecord* record) {
  const uint32_t size = entry.uncompressed_size;
  if (size <= kMaxImageSize && !ZipAdmit(archive, entry)) return nullptr;
  uint8_t* image = size <= kMaxImageSize ? workspace.EntryBuffer(size) : nullptr;
  if (!image) {
    record->messages.Print(Stream::kErr, "\nErr: Unable to hold %s of zipfile %s in memory\n",
                           entry.name.c_str(), record->name.c_str());
    return nullptr;
  }
  ZipExtract(archive, entry, image);
  return image;
}

// Every image inside the archive goes into the one set. An entry that
// cannot be held in memory, or that the archive refuses, leaves the archive
// unidentified: an archive with a member missing must never match a title.
// A first interrupt stops the archive before its next entry; it is then
// neither dumped, matched nor moved.
Outcome ListArchive(const SystemProfile& profile, std::unique_ptr<ByteSource> source,
                    Workspace& workspace, FileRecord* record) {
  MessageLog& messages = record->messages;
  std::unique_ptr<ZipArchive> archive =
      ZipOpen(record->path, std::move(source), messages, &workspace.inflater());
  if (!archive) return Outcome::kUnreadable;
  Outcome outcome = Outcome::kListed;
  for (;;) {
    if (platform::InterruptRequested()) {
      outcome = Outcome::kCancelled;
      break;
    }
    const ZipEntry* entry = ZipNextEntry(*archive);
    if (!entry) break;
    if (!entry->name.empty() && entry->name.back() == '/') continue;  // a folder, no image
    std::string extension = ExtensionOf(entry->name);
    ImageType type = -1;
    if (extension.empty()) {
      messages.Print(Stream::kErr, "Wrn: %s has no extension in zipfile %s\n",
                     entry->name.c_str(), record->name.c_str());
    } else {
      type = FindImageType(profile, extension);
      if (type == 0) continue;
    }
    uint8_t* image = ExtractEntry(*archive, *entry, workspace, record);
    if (!image || !ScanImage(profile, type, image, entry->uncompressed_size, record)) {
      outcome = Outcome::kNoReader;
      break;
    }
  }
  ZipClose(std::move(archive));
  return outcome;
}

Identification Identify(const AuditContext& context, FileRecord& record, RunFlags flags) {
  RealFileSystem real;
  FileSystem& files = context.files ? *context.files : real;
  return IdentifyFile(context.database, files, record.path, record.crcs, flags, context.out);
}

// What the run keeps of a reported file: a dry run's plan line, the
// summary's counts and the report's row.
void KeepOutcome(const AuditContext& context, const FileRecord& record,
                 const FileOutcome& outcome, RunFlags flags) {
  if ((flags & RF_DRY_RUN) && RenamesFiles(flags)) WritePlanLine(context.out, record.path, outcome);
  if (context.summary) context.summary->Add(outcome);
  if (context.report) context.report->AddRow(record, outcome);
}

}  // namespace

bool ExtensionMatches(const std::string& subject, const char* pattern) {
  size_t compared = 0;
  for (; compared < subject.size() && pattern[compared] != '\0'; ++compared) {
    if (UpperAscii(subject[compared]) != UpperAscii(pattern[compared])) return false;
  }
  return compared > 0;
}

ImageType FindImageType(const SystemProfile& profile,
                        const std::string& extension) {
  for (ImageType type = 1; profile.extensions[type][0] != '\0'; ++type) {
    if (ExtensionMatches(extension, profile.extensions[type])) return type;
  }
  return 0;
}

Workspace::Workspace() : inflater_(std::make_unique<Inflater>()) {}

Workspace::~Workspace() = default;

uint8_t* Workspace::EntryBuffer(uint32_t size) {
  // new[0] gives a block too, so a buffer is there for an empty entry.
  if (!buffer_ || size > capacity_) {
    buffer_.reset();
    capacity_ = 0;
    buffer_.reset(new (std::nothrow) uint8_t[size]);
    if (buffer_) capacity_ = size;
  }
  return buffer_.get();
}

void Workspace::Trim() {
  if (capacity_ <= kKeptBuffer) return;
  buffer_.reset();
  capacity_ = 0;
}

LoadedFile::LoadedFile(const std::string& name, const std::string& directory)
    : name_(name), path_(directory + name), archive_(ExtensionMatches(ExtensionOf(name), ".ZIP")) {
  file_.reset(platform::OpenRegularFile(path_));
  if (!file_) return;
  // An archive that stays in its file is read in records and 16 KiB chunks
  // at fresh offsets: a stream buffer would only copy the bytes twice.
  if (archive_) setvbuf(file_.get(), nullptr, _IONBF, 0);
  size_ = platform::FileSize(file_.get());
}

LoadedFile::~LoadedFile() = default;
LoadedFile::LoadedFile(LoadedFile&&) noexcept = default;
LoadedFile& LoadedFile::operator=(LoadedFile&&) noexcept = default;

uint64_t LoadedFile::Bytes() const {
  if (!file_ || size_ < 0 || (!archive_ && size_ > kMaxImageSize)) return 0;
  return static_cast<uint64_t>(size_);
}

// An archive that cannot be read whole (too large, out of memory, a short
// read) is read from its file, as its entries need.
void LoadedFile::Read() {
  if (!file_ || size_ < 0) return;
  const auto size = static_cast<uint64_t>(size_);
  if (!archive_) {
    if (size <= kMaxImageSize) image_ = ReadWhole(file_.get(), size);
  } else if (std::unique_ptr<uint8_t[]> bytes =
                 size <= kMaxHeldArchive ? ReadWhole(file_.get(), size) : nullptr) {
    source_ = std::make_unique<MemorySource>(std::move(bytes), size);
  } else {
    source_ = std::make_unique<FileSource>(std::move(file_), size);
    return;
  }
  file_.reset();
}

FileRecord ListFile(const SystemProfile& profile, LoadedFile file, Workspace& workspace) {
  FileRecord record;
  record.name = std::move(file.name_);
  record.path = std::move(file.path_);
  const auto size = static_cast<uint32_t>(file.size_);
  Outcome outcome = file.archive_
                        ? ListArchive(profile, std::move(file.source_), workspace, &record)
                        : ListPlainFile(profile, file.image_.get(), size, &record);
  workspace.Trim();
  if (outcome == Outcome::kNoReader || outcome == Outcome::kCancelled) {
    record.result = outcome == Outcome::kNoReader ? kNoReader : kCancelled;
    return record;
  }
  if (outcome == Outcome::kUnreadable) {
    record.unreadable = true;
    record.messages.Print(Stream::kErr, "\nErr: Unable to open file %s\n",
                          record.path.c_str());
  }
  record.messages.Write(Stream::kErr, ".");
  if (record.crcs.empty()) {
    record.messages.Print(Stream::kErr, "\nEmpty: %s\n", record.path.c_str());
  }
  return record;
}

uint32_t ReportFile(const AuditContext& context, FileRecord& record, RunFlags flags) {
  record.messages.ReplayTo(context.out);
  if (record.result == kCancelled) return record.result;
  Identification identification;
  if (record.result == kAudited && !record.crcs.empty()) {
    if (flags & RF_DUMP) {
      WriteDumpLine(context.out, record.name, record.crcs);
    } else if (flags & (RF_INFO | RF_RENAME)) {
      identification = Identify(context, record, flags);
    }
  }
  KeepOutcome(context, record, OutcomeOf(record, identification, flags), flags);
  return record.result;
}

FileRecord ListFile(const SystemProfile& profile, const std::string& name,
                    const std::string& directory, Workspace& workspace) {
  LoadedFile file(name, directory);
  file.Read();
  return ListFile(profile, std::move(file), workspace);
}

uint32_t AuditFile(const AuditContext& context, const std::string& name,
                   const std::string& directory, RunFlags flags, Workspace& workspace) {
  FileRecord record = ListFile(context.profile, name, directory, workspace);
  return ReportFile(context, record, flags);
}
