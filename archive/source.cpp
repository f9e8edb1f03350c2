// Reading an archive's bytes from memory or from its file.
#include "archive/source.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/platform.h"

size_t MemorySource::ReadAt(uint64_t offset, uint8_t* out, size_t length) {
  if (offset >= size_) return 0;
  const size_t count = static_cast<size_t>(std::min<uint64_t>(length, size_ - offset));
  if (count > 0) memcpy(out, bytes_.get() + offset, count);
  return count;
}

std::unique_ptr<FileSource> FileSource::Open(const std::string& path) {
  FileOwner file(platform::OpenRegularFile(path));
  if (!file) return nullptr;
  // Every read is a whole record or a 16 KiB chunk at a fresh offset, so a
  // stream buffer would only copy the bytes twice and read some twice.
  setvbuf(file.get(), nullptr, _IONBF, 0);
  const int64_t size = platform::FileSize(file.get());
  if (size < 0) return nullptr;
  return std::make_unique<FileSource>(std::move(file), static_cast<uint64_t>(size));
}

size_t FileSource::ReadAt(uint64_t offset, uint8_t* out, size_t length) {
  if (offset > LONG_MAX || fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0) return 0;
  return fread(out, 1, length, file_.get());
}
