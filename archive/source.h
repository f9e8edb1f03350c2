// Where an archive's bytes come from: memory holding the whole file, or the
// open file itself, read piece by piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "util/file.h"

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Copies the bytes at [offset, offset + length) into `out` and returns
  // their count: fewer at the end of the source, 0 past it.
  virtual size_t ReadAt(uint64_t offset, uint8_t* out, size_t length) = 0;
  // Every byte, when the source holds them in memory; nullptr otherwise.
  virtual const uint8_t* Bytes() const { return nullptr; }
};

// A whole file read into memory.
class MemorySource : public ByteSource {
 public:
  MemorySource(std::unique_ptr<uint8_t[]> bytes, uint64_t size)
      : bytes_(std::move(bytes)), size_(size) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, uint8_t* out, size_t length) override;
  const uint8_t* Bytes() const override { return bytes_.get(); }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  uint64_t size_;
};

// An open file, read where asked.
class FileSource : public ByteSource {
 public:
  // The regular file at `path`; nullptr when it cannot be opened or its
  // size cannot be had.
  static std::unique_ptr<FileSource> Open(const std::string& path);
  FileSource(FileOwner file, uint64_t size) : file_(std::move(file)), size_(size) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, uint8_t* out, size_t length) override;

 private:
  FileOwner file_;
  uint64_t size_;
};
