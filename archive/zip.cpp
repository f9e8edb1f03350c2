// The ZIP archive reader: finding the end-of-central-directory record,
// loading the central directory and walking its entries.
#include "archive/zip.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>
#include <new>

#include "archive/extract.h"
#include "util/little_endian.h"

const char kZipFileSystem[] = "Your filesystem seems to be corrupt, please check it";
const char kZipCorrupt[] = "The zipfile seems to be corrupt, please check it";
const char kZipUnsupported[] =
    "The format of this zipfile is not supported, please recompress it";

namespace {

constexpr uint8_t kEcdSignature[4] = {0x50, 0x4B, 0x05, 0x06};
constexpr uint32_t kEcdSize = 22;
constexpr uint32_t kEntryHeaderSize = 46;
constexpr uint32_t kLocalHeaderSize = 30;
// The record and its comment of at most 65,535 bytes fill the last 65,557
// bytes of an archive at most: no search reads further back. The small
// first window finds the record of an archive without a long comment.
constexpr uint32_t kFirstWindow = 1024;
constexpr uint32_t kLastWindow = kEcdSize + 0xFFFF;
// Deflate makes at most 258 bytes of 2 bits of input, 1,032 bytes of one;
// the slack allows for the byte after the data that the inflater is offered
// as well.
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr uint64_t kDeflateSlack = 1032;

// Reads `length` bytes at `offset` in one piece; a read of nothing fails.
bool ReadWhole(ByteSource& source, uint32_t offset, uint8_t* out, uint32_t length) {
  return length > 0 && source.ReadAt(offset, out, length) == length;
}

void DecodeEntry(const uint8_t* p, ZipEntry& entry) {
  entry.signature = ReadLe32(p);
  entry.version_made_by = p[4];
  entry.host_made_by = p[5];
  entry.version_needed = p[6];
  entry.host_needed = p[7];
  entry.flags = ReadLe16(p + 8);
  entry.method = ReadLe16(p + 10);
  entry.time = ReadLe16(p + 12);
  entry.date = ReadLe16(p + 14);
  entry.crc32 = ReadLe32(p + 16);
  entry.compressed_size = ReadLe32(p + 20);
  entry.uncompressed_size = ReadLe32(p + 24);
  entry.name_length = ReadLe16(p + 28);
  entry.extra_length = ReadLe16(p + 30);
  entry.comment_length = ReadLe16(p + 32);
  entry.start_disk = ReadLe16(p + 34);
  entry.internal_attributes = ReadLe16(p + 36);
  entry.external_attributes = ReadLe32(p + 38);
  entry.local_header_offset = ReadLe32(p + 42);
  const char* name = reinterpret_cast<const char*>(p + kEntryHeaderSize);
  const void* zero = memchr(name, 0, entry.name_length);
  entry.name.assign(name, zero ? static_cast<const char*>(zero) - name : entry.name_length);
}

}  // namespace

void ZipArchive::Report(const char* explanation) const {
  sink_.Print(Stream::kErr, "Error in zipfile %s\n%s\n", path_.c_str(), explanation);
}

ZipArchive::ZipArchive(const std::string& path, MessageSink& sink) : path_(path), sink_(sink) {}

ZipArchive::~ZipArchive() = default;

// Looks backwards through the file's tail for the record nearest the end
// and decodes it. The first window is a part of the second, so the second
// finds nothing nearer the end than the first.
bool ZipArchive::FindEndRecord() {
  for (uint32_t window : {kFirstWindow, kLastWindow}) {
    window = std::min(window, file_size_);
    std::unique_ptr<uint8_t[]> tail(new (std::nothrow) uint8_t[window]);
    if (!tail || !ReadWhole(source(), file_size_ - window, tail.get(), window)) return false;
    for (uint32_t at = window >= kEcdSize ? window - kEcdSize + 1 : 0; at-- > 0;) {
      const uint8_t* p = tail.get() + at;
      if (memcmp(p, kEcdSignature, 4) != 0) continue;
      this_disk_ = ReadLe16(p + 4);
      directory_disk_ = ReadLe16(p + 6);
      entries_on_disk_ = ReadLe16(p + 8);
      total_entries_ = ReadLe16(p + 10);
      directory_size_ = ReadLe32(p + 12);
      directory_offset_ = ReadLe32(p + 16);
      return true;
    }
    if (window == file_size_) return false;
  }
  return false;
}

// The central directory must lie inside the file: an offset or size that
// points past the end would only fail the seek or the read, so it fails here
// before anything is allocated for it. A size of 0 is a read of nothing.
bool ZipArchive::LoadCentralDirectory(const char** explanation) {
  *explanation = kZipCorrupt;
  const uint64_t end = uint64_t{directory_offset_} + directory_size_;
  if (directory_size_ == 0 || end > file_size_) return false;
  central_directory_.reset(new (std::nothrow) uint8_t[directory_size_]);
  if (!central_directory_) {
    *explanation = nullptr;  // out of memory goes unreported
    return false;
  }
  return ReadWhole(source(), directory_offset_, central_directory_.get(), directory_size_);
}

std::unique_ptr<ZipArchive> ZipOpen(const std::string& path, MessageSink& sink) {
  return ZipOpen(path, FileSource::Open(path), sink);
}

std::unique_ptr<ZipArchive> ZipOpen(const std::string& path, std::unique_ptr<ByteSource> source,
                                    MessageSink& sink, Inflater* inflater) {
  std::unique_ptr<ZipArchive> archive(new ZipArchive(path, sink));
  auto fail = [&](const char* explanation) {
    if (explanation) archive->Report(explanation);
    return nullptr;
  };
  if (!source) return fail(kZipFileSystem);
  archive->source_ = std::move(source);
  const uint64_t size = archive->source_->Size();
  if (size == 0) return fail(kZipCorrupt);
  // Sizes and offsets are signed 32-bit; a larger archive is refused whole.
  if (size > INT32_MAX) return fail(kZipUnsupported);
  archive->file_size_ = static_cast<uint32_t>(size);
  if (!archive->FindEndRecord()) return fail(kZipCorrupt);
  if (archive->this_disk_ != archive->directory_disk_ ||
      archive->entries_on_disk_ != archive->total_entries_ || archive->total_entries_ == 0)
    return fail(kZipUnsupported);
  const char* explanation;
  if (!archive->LoadCentralDirectory(&explanation)) return fail(explanation);
  if (!inflater) {
    archive->own_inflater_ = std::make_unique<Inflater>();
    inflater = archive->own_inflater_.get();
  }
  archive->inflater_ = inflater;
  inflater->StartArchive();
  return archive;
}

const ZipEntry* ZipNextEntry(ZipArchive& archive) {
  if (archive.exhausted()) return nullptr;
  const uint8_t* header = archive.central_directory_.get() + archive.cursor_;
  const uint32_t left = archive.directory_size_ - archive.cursor_;
  // The cursor stays put, so the next call meets the same entry again.
  if (left < kEntryHeaderSize || left - kEntryHeaderSize < ReadLe16(header + 28)) {
    archive.Report(kZipCorrupt);
    return nullptr;
  }
  DecodeEntry(header, archive.entry_);
  const ZipEntry& e = archive.entry_;
  archive.cursor_ += kEntryHeaderSize + e.name_length + e.extra_length + e.comment_length;
  return &archive.entry_;
}

// An entry's span runs from its local header over at least the fixed part
// of it and the compressed data; the name and extra field that the local
// header adds are not counted, so a well-formed archive's spans never meet.
bool ZipAdmit(ZipArchive& archive, const ZipEntry& entry) {
  const uint64_t start = entry.local_header_offset;
  const uint64_t end = start + kLocalHeaderSize + entry.compressed_size;
  const uint64_t claimed = archive.admitted_bytes_ + entry.uncompressed_size;
  auto next = archive.admitted_spans_.lower_bound(start);
  const bool overlaps = (next != archive.admitted_spans_.end() && next->first < end) ||
                        (next != archive.admitted_spans_.begin() && std::prev(next)->second > start);
  const bool sound =
      end <= archive.file_size_ && !overlaps && claimed <= kMaxArchiveBytes &&
      (entry.method != 0 || entry.compressed_size == entry.uncompressed_size) &&
      (entry.method != 8 ||
       entry.uncompressed_size <= entry.compressed_size * kMaxDeflateRatio + kDeflateSlack);
  if (!sound) {
    archive.Report(kZipCorrupt);
    return false;
  }
  archive.admitted_spans_.emplace(start, end);
  archive.admitted_bytes_ = claimed;
  return true;
}

void ZipClose(std::unique_ptr<ZipArchive> archive) { archive.reset(); }
