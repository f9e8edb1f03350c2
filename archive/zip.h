// The ZIP archive reader: the end-of-central-directory record, the central
// directory in memory, and its entries in stored order.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "archive/source.h"
#include "util/messages.h"

class Inflater;

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

// What the entries admitted from one archive may claim in all: four times
// the largest image the audit holds in memory (256 MiB). Real archives of
// C64 or Amiga images claim a few MiB.
constexpr uint64_t kMaxArchiveBytes = uint64_t{1} << 30;

// The explanations of "Error in zipfile %s\n%s\n".
extern const char kZipFileSystem[];
extern const char kZipCorrupt[];
extern const char kZipUnsupported[];

// An open archive: its bytes, its central directory and the cursor over it.
class ZipArchive {
 public:
  ~ZipArchive();

  const std::string& path() const { return path_; }
  ByteSource& source() const { return *source_; }
  uint16_t this_disk() const { return this_disk_; }
  // True once the cursor has passed the whole central directory.
  bool exhausted() const { return cursor_ >= directory_size_; }
  // Reports "Error in zipfile %s\n%s\n" for this archive.
  void Report(const char* explanation) const;
  // What inflates the archive's deflated entries.
  Inflater& inflater() { return *inflater_; }

 private:
  friend std::unique_ptr<ZipArchive> ZipOpen(const std::string& path,
                                             std::unique_ptr<ByteSource> source,
                                             MessageSink& sink, Inflater* inflater);
  friend const ZipEntry* ZipNextEntry(ZipArchive& archive);
  friend bool ZipAdmit(ZipArchive& archive, const ZipEntry& entry);

  ZipArchive(const std::string& path, MessageSink& sink);
  bool FindEndRecord();
  bool LoadCentralDirectory(const char** explanation);

  std::string path_;
  MessageSink& sink_;
  std::unique_ptr<ByteSource> source_;
  std::unique_ptr<Inflater> own_inflater_;  // when the opener lent none
  Inflater* inflater_ = nullptr;
  uint32_t file_size_ = 0;
  // The end-of-central-directory fields the reader uses.
  uint16_t this_disk_ = 0;
  uint16_t directory_disk_ = 0;
  uint16_t entries_on_disk_ = 0;
  uint16_t total_entries_ = 0;
  uint32_t directory_size_ = 0;
  uint32_t directory_offset_ = 0;
  // The central directory has a length taken from the file, so it is
  // allocated with nothrow rather than as a vector.
  std::unique_ptr<uint8_t[]> central_directory_;
  uint32_t cursor_ = 0;
  ZipEntry entry_;
  // The spans of the entries admitted so far, [start, end) by start, and
  // the uncompressed bytes they claim.
  std::map<uint64_t, uint64_t> admitted_spans_;
  uint64_t admitted_bytes_ = 0;
};

// Opens the archive `path` and reads it from its file; nullptr (its reason
// reported to `sink`) when it cannot be used. The archive reports its later
// failures to the same sink.
std::unique_ptr<ZipArchive> ZipOpen(const std::string& path, MessageSink& sink);

// The same over the bytes of `source`, named `path` in messages; a null
// source is a file that could not be opened or sized. The archive inflates
// with `inflater`, which it borrows, or with one of its own.
std::unique_ptr<ZipArchive> ZipOpen(const std::string& path, std::unique_ptr<ByteSource> source,
                                    MessageSink& sink, Inflater* inflater = nullptr);

// The next central-directory entry, or nullptr at the end or on a malformed
// entry (reported). Valid until the next call or ZipClose.
const ZipEntry* ZipNextEntry(ZipArchive& archive);

// Asked before a buffer is made for `entry`: true when extracting it asks
// no more than the archive's own bytes can honestly hold, and the entry is
// then counted as taken. Its span (local header and compressed data) must
// lie in the file and meet no span admitted before, so no byte is inflated
// twice; a stored entry's two sizes must agree; a deflated entry may claim
// no more than 1,032 times its compressed size (deflate's limit, and a
// little slack); and the admitted entries together may claim no more than
// kMaxArchiveBytes. Otherwise it reports corrupt and returns false.
bool ZipAdmit(ZipArchive& archive, const ZipEntry& entry);

// Releases everything the archive holds.
void ZipClose(std::unique_ptr<ZipArchive> archive);
