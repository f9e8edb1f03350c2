// The audit of one file: read it (or each image in a ZIP archive), list the
// files in its images and take their CRCs into a record; then report the
// record by the run's options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audit/profile.h"
#include "database/dat.h"
#include "images/image.h"
#include "util/messages.h"

// The CRC-32 values of the files listed in the images of one audited file,
// in listing order.
using CrcSet = std::vector<uint32_t>;

// AuditFile's results.
constexpr uint32_t kAudited = 1;     // read and listed to its end
constexpr uint32_t kNoReader = 32;   // no reader for the file or one of its images
constexpr uint32_t kCancelled = 64;  // an interrupt stopped it inside an archive

// The largest image read into memory, far above any C64 or Amiga image; a
// declared size above it is taken as damage, not allocated.
constexpr uint32_t kMaxImageSize = 256u << 20;

// Everything one file's audit finds before it is reported: nothing in it
// depends on another file.
struct FileRecord {
  std::string name;  // as the walk found it, or as typed
  std::string path;  // the directory and the name
  CrcSet crcs;
  // What listing it said, then (when a reader was made for every image and
  // no interrupt came) its progress mark and any "Empty:" message.
  MessageLog messages;
  uint32_t result = kAudited;
  bool unreadable = false;  // the file or archive could not be opened or read
  bool damaged = false;     // an image fell back to the CRC of its whole buffer
};

class FileSystem;
class RunSummary;
class CsvReport;

// What reporting a file reads and changes besides the file: the run's
// profile and database, and where its messages and data go.
struct AuditContext {
  const SystemProfile& profile;
  Database& database;
  MessageSink& out;
  // What the run keeps of each file besides the console, each optional: the
  // file system that renames go through (the real one when none; a dry run
  // passes a PlannedFileSystem), the summary that counts every outcome and
  // the report that lists it.
  FileSystem* files = nullptr;
  RunSummary* summary = nullptr;
  CsvReport* report = nullptr;
};

// Reads and lists `directory` + `name` (`directory` ends in the separator or
// is empty).
FileRecord ListFile(const SystemProfile& profile, const std::string& name,
                    const std::string& directory);

// Writes the record's messages, then, for a listed file that is not empty,
// its dump line, or its identification (info block or rename); then its
// dry-run plan line and its outcome to the summary and the report. Returns
// the record's result; a cancelled file is neither dumped, matched, moved
// nor counted.
uint32_t ReportFile(const AuditContext& context, FileRecord& record, RunFlags flags);

// ListFile, then ReportFile: kAudited, kNoReader or kCancelled, never 0.
uint32_t AuditFile(const AuditContext& context, const std::string& name,
                   const std::string& directory, RunFlags flags);

// True when one extension is a case-insensitive prefix of the other and
// neither is empty: ".d6" and ".D64X" both match ".D64".
bool ExtensionMatches(const std::string& subject, const char* pattern);

// The index of the first table entry that `extension` matches, or 0.
ImageType FindImageType(const SystemProfile& profile,
                        const std::string& extension);
