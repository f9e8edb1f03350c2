// The per-file audit: plain images and ZIP archives to one CRC set.
#include "audit/audit.h"

#include <memory>
#include <new>

#include "archive/extract.h"
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
#include "util/file.h"

namespace {

// The text from the last '.' of a name, '.' included; "" when there is none.
std::string ExtensionOf(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : name.substr(dot);
}

// An archive entry's buffer is zeroed, so that an entry that fails to
// extract always lists the same bytes; a plain file's is read over whole.
std::unique_ptr<uint8_t[]> AllocateImage(uint32_t size, bool zeroed) {
  if (size > kMaxImageSize) return nullptr;
  if (!zeroed) return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]);
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]());
}

// Reads a whole file; false when it is no regular file, cannot be opened,
// is too large, or a read comes up short.
bool ReadWholeFile(const std::string& path, std::unique_ptr<uint8_t[]>* image,
                   uint32_t* size) {
  FileOwner file(platform::OpenRegularFile(path));
  if (!file) return false;
  const int64_t length = platform::FileSize(file.get());
  if (length < 0 || static_cast<uint64_t>(length) > kMaxImageSize ||
      fseek(file.get(), 0, SEEK_SET) != 0) {
    return false;
  }
  *size = static_cast<uint32_t>(length);
  *image = AllocateImage(*size, false);
  if (!*image) return false;
  size_t done = 0;
  while (done < *size) {
    size_t n = fread(image->get() + done, 1, *size - done, file.get());
    if (n == 0) return false;
    done += n;
  }
  return true;
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

Outcome ListPlainFile(const SystemProfile& profile, FileRecord* record) {
  std::string extension = ExtensionOf(record->name);
  ImageType type = -1;
  if (extension.empty()) {
    record->messages.Print(Stream::kErr, "Wrn: can't find extension for %s\n",
                           record->name.c_str());
  } else {
    type = FindImageType(profile, extension);
  }
  std::unique_ptr<uint8_t[]> image;
  uint32_t size = 0;
  if (!ReadWholeFile(record->path, &image, &size)) return Outcome::kUnreadable;
  return ScanImage(profile, type, image.get(), size, record) ? Outcome::kListed
                                                            : Outcome::kNoReader;
}

// Makes the buffer of an archive entry and extracts the entry into it;
// nullptr when the entry is too large to hold or the archive refuses it
// (ZipAdmit, which reports its own refusal). A failed extraction still
// yields the buffer.
std::unique_ptr<uint8_t[]> ExtractEntry(ZipArchive& archive, const ZipEntry& entry,
                                        FileRecord* record) {
  if (entry.uncompressed_size <= kMaxImageSize && !ZipAdmit(archive, entry)) return nullptr;
  std::unique_ptr<uint8_t[]> image = AllocateImage(entry.uncompressed_size, true);
  if (!image) {
    record->messages.Print(Stream::kErr, "\nErr: Unable to hold %s of zipfile %s in memory\n",
                           entry.name.c_str(), record->name.c_str());
    return nullptr;
  }
  ZipExtract(archive, entry, image.get());
  return image;
}

// Every image inside the archive goes into the one set. An entry that
// cannot be held in memory, or that the archive refuses, leaves the archive
// unidentified: an archive with a member missing must never match a title.
// A first interrupt stops the archive before its next entry; it is then
// neither dumped, matched nor moved.
Outcome ListArchive(const SystemProfile& profile, FileRecord* record) {
  MessageLog& messages = record->messages;
  std::unique_ptr<ZipArchive> archive = ZipOpen(record->path, messages);
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
    std::unique_ptr<uint8_t[]> image = ExtractEntry(*archive, *entry, record);
    if (!image || !ScanImage(profile, type, image.get(), entry->uncompressed_size, record)) {
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

FileRecord ListFile(const SystemProfile& profile, const std::string& name,
                    const std::string& directory) {
  FileRecord record;
  record.name = name;
  record.path = directory + name;
  std::string extension = ExtensionOf(name);
  Outcome outcome = ExtensionMatches(extension, ".ZIP") ? ListArchive(profile, &record)
                                                         : ListPlainFile(profile, &record);
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

uint32_t AuditFile(const AuditContext& context, const std::string& name,
                   const std::string& directory, RunFlags flags) {
  FileRecord record = ListFile(context.profile, name, directory);
  return ReportFile(context, record, flags);
}
