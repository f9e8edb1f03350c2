// The per-file audit: plain images and ZIP archives to one CRC set.
#include "audit/audit.h"

#include <cstdio>
#include <memory>
#include <new>

#include "archive/inflate.h"
#include "archive/zip.h"
#include "audit/identify.h"
#include "audit/report.h"
#include "run/crc32.h"

namespace {

constexpr uint32_t kAudited = 1;
constexpr uint32_t kNoReader = 32;

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

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};

// Reads a whole file; false when it cannot be opened, is too large, or a
// read comes up short.
bool ReadWholeFile(const std::string& path, std::unique_ptr<uint8_t[]>* image,
                   uint32_t* size) {
  std::unique_ptr<FILE, FileCloser> file(fopen(path.c_str(), "rb"));
  if (!file || fseek(file.get(), 0, SEEK_END) != 0) return false;
  long length = ftell(file.get());
  if (length < 0 || static_cast<unsigned long>(length) > kMaxImageSize ||
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
               uint32_t size, CrcSet* crcs) {
  std::unique_ptr<CImage> reader = profile.factory(type, image, size);
  if (!reader) return false;
  size_t first = crcs->size();
  uint32_t length = 0;
  while (const uint8_t* file = reader->next_file(&length)) {
    crcs->push_back(crc32(file, length, 0, 0));
  }
  if (reader->error_flags != 0) {
    crcs->resize(first);
    crcs->push_back(crc32(image, size, 0, 0));
  }
  return true;
}

enum class Outcome { kListed, kUnreadable, kNoReader };

Outcome AuditPlainFile(const SystemProfile& profile, const std::string& name,
                       const std::string& path, CrcSet* crcs) {
  std::string extension = ExtensionOf(name);
  ImageType type = -1;
  if (extension.empty()) {
    fprintf(stderr, "Wrn: can't find extension for %s\n", name.c_str());
  } else {
    type = FindImageType(profile, extension);
  }
  std::unique_ptr<uint8_t[]> image;
  uint32_t size = 0;
  if (!ReadWholeFile(path, &image, &size)) return Outcome::kUnreadable;
  return ScanImage(profile, type, image.get(), size, crcs) ? Outcome::kListed
                                                          : Outcome::kNoReader;
}

// Every image inside the archive goes into the one set. An entry that
// cannot be held in memory leaves the archive unidentified: an archive with
// a member missing must never match a title.
Outcome AuditArchive(const SystemProfile& profile, const std::string& name,
                     const std::string& path, CrcSet* crcs) {
  std::unique_ptr<ZipArchive> archive = ZipOpen(path);
  if (!archive) return Outcome::kUnreadable;
  Outcome outcome = Outcome::kListed;
  while (const ZipEntry* entry = ZipNextEntry(*archive)) {
    std::string extension = ExtensionOf(entry->name);
    ImageType type = -1;
    if (extension.empty()) {
      fprintf(stderr, "Wrn: %s has no extension in zipfile %s\n",
              entry->name.c_str(), name.c_str());
    } else {
      type = FindImageType(profile, extension);
      if (type == 0) continue;
    }
    std::unique_ptr<uint8_t[]> image = AllocateImage(entry->uncompressed_size, true);
    if (!image) {
      fprintf(stderr, "\nErr: Unable to hold %s of zipfile %s in memory\n",
              entry->name.c_str(), name.c_str());
      outcome = Outcome::kNoReader;
      break;
    }
    ZipExtract(*archive, *entry, image.get());
    if (!ScanImage(profile, type, image.get(), entry->uncompressed_size, crcs)) {
      outcome = Outcome::kNoReader;
      break;
    }
  }
  ZipClose(std::move(archive));
  return outcome;
}

}  // namespace

uint32_t CompareExtension(const char* subject, const char* pattern) {
  auto upper = [](char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  };
  uint32_t compared = 0;
  for (; subject[compared] != '\0' && pattern[compared] != '\0'; ++compared) {
    if (upper(subject[compared]) != upper(pattern[compared])) return 0;
  }
  return compared;
}

ImageType FindImageType(const SystemProfile& profile,
                        const std::string& extension) {
  for (ImageType type = 1; profile.extensions[type][0] != '\0'; ++type) {
    if (CompareExtension(extension.c_str(), profile.extensions[type]) != 0)
      return type;
  }
  return 0;
}

uint32_t AuditFile(const AuditContext& context, const std::string& name,
                   const std::string& directory, RunFlags flags) {
  std::string path = directory + name;
  std::string extension = ExtensionOf(name);
  bool archive = !extension.empty() && CompareExtension(extension.c_str(), ".ZIP") != 0;
  CrcSet crcs;
  Outcome outcome = archive ? AuditArchive(context.profile, name, path, &crcs)
                            : AuditPlainFile(context.profile, name, path, &crcs);
  if (outcome == Outcome::kNoReader) return kNoReader;
  if (outcome == Outcome::kUnreadable)
    fprintf(stderr, "\nErr: Unable to open file %s\n", path.c_str());
  fputs(".", stderr);
  if (crcs.empty()) {
    fprintf(stderr, "\nEmpty: %s\n", path.c_str());
    return kAudited;
  }
  if (flags & RF_DUMP) {
    WriteDumpLine(name, crcs);
  } else if (flags & (RF_INFO | RF_RENAME)) {
    IdentifyFile(context.database, path, crcs, flags);
  }
  return kAudited;
}
