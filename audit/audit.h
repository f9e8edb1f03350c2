// The audit of one file: read it into memory (a plain image, or a ZIP
// archive), list the files in its images and take their CRCs into a record;
// then report the record by the run's options.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "audit/profile.h"
#include "database/dat.h"
#include "images/image.h"
#include "util/file.h"
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

// The largest archive read whole into memory; a larger one is read from its
// file, piece by piece, as its entries need.
constexpr uint64_t kMaxHeldArchive = 512u << 20;

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
class ByteSource;
class Inflater;

// What a thread keeps from one file to the next: the inflater and the
// buffer that archive entries are extracted into.
class Workspace {
 public:
  Workspace();
  ~Workspace();
  Inflater& inflater() { return *inflater_; }
  // A buffer of at least `size` bytes, holding anything, or nullptr when it
  // cannot be had. Valid until the next call or Trim.
  uint8_t* EntryBuffer(uint32_t size);
  // Gives back a buffer larger than the ones kept from file to file.
  void Trim();

 private:
  std::unique_ptr<Inflater> inflater_;
  std::unique_ptr<uint8_t[]> buffer_;
  uint32_t capacity_ = 0;
};

// One file, opened and read by the thread that walks, in walk order, so that
// a disk is read front to back; listing it then touches no file system
// (unless it is an archive too large to hold).
class LoadedFile {
 public:
  // Opens `directory` + `name` (`directory` ends in the separator or is
  // empty) when it is a regular file, and takes its size; reads nothing yet.
  LoadedFile(const std::string& name, const std::string& directory);
  ~LoadedFile();
  LoadedFile(LoadedFile&&) noexcept;
  LoadedFile& operator=(LoadedFile&&) noexcept;

  // The memory that reading takes: the file's size when it is read (for an
  // archive read from its file too, so that it is listed alone).
  uint64_t Bytes() const;
  // Reads a plain image (a regular file of at most kMaxImageSize bytes)
  // whole, and an archive whole when it is at most kMaxHeldArchive bytes.
  void Read();

 private:
  friend FileRecord ListFile(const SystemProfile& profile, LoadedFile file,
                             Workspace& workspace);

  std::string name_;
  std::string path_;
  bool archive_ = false;
  FileOwner file_;     // open until read
  int64_t size_ = -1;  // -1 when it could not be had
  // A plain file's bytes; null when it cannot be read.
  std::unique_ptr<uint8_t[]> image_;
  // An archive's bytes, in memory or in its open file; null when it cannot
  // be opened or sized.
  std::unique_ptr<ByteSource> source_;
};

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

// Lists a read file. It touches nothing shared but the profile, so files
// may be listed side by side, each thread with a workspace of its own.
FileRecord ListFile(const SystemProfile& profile, LoadedFile file, Workspace& workspace);

// Reads and lists `directory` + `name`.
FileRecord ListFile(const SystemProfile& profile, const std::string& name,
                    const std::string& directory, Workspace& workspace);

// Writes the record's messages, then, for a listed file that is not empty,
// its dump line, or its identification (info block or rename); then its
// dry-run plan line and its outcome to the summary and the report. Returns
// the record's result; a cancelled file is neither dumped, matched, moved
// nor counted.
uint32_t ReportFile(const AuditContext& context, FileRecord& record, RunFlags flags);

// ListFile, then ReportFile: kAudited, kNoReader or kCancelled, never 0.
uint32_t AuditFile(const AuditContext& context, const std::string& name,
                   const std::string& directory, RunFlags flags, Workspace& workspace);

// True when one extension is a case-insensitive prefix of the other and
// neither is empty: ".d6" and ".D64X" both match ".D64".
bool ExtensionMatches(const std::string& subject, const char* pattern);

// The index of the first table entry that `extension` matches, or 0.
ImageType FindImageType(const SystemProfile& profile,
                        const std::string& extension);
