// The image reader interface: each reader lists the files stored in one image.
#pragma once

#include <cstdint>

// Position of a file's extension in the profile's extension table; 0 when it
// is in no entry, negative when the name has no extension (identify by content).
using ImageType = int32_t;

// Damage found while listing an image; any of them makes the caller fall back
// to one CRC over the whole image.
constexpr uint32_t IMGERR_NO_FILES = 0x20;
constexpr uint32_t IMGERR_TOO_BIG = 0x40;
constexpr uint32_t IMGERR_BAD_LINK = 0x80;
constexpr uint32_t IMGERR_PAST_END = 0x100;
constexpr uint32_t IMGERR_TRUNCATED = 0x200;
constexpr uint32_t IMGERR_DIR_CORRUPT = 0x400;

class CImage {
 public:
  virtual ~CImage() = default;

  // The next stored file: its first byte, with its length stored through
  // `length`; nullptr when no file remains or the reader stopped on damage.
  // The bytes stay valid until the next call or the reader's destruction.
  virtual const uint8_t* next_file(uint32_t* length) = 0;

  uint8_t* image_data = nullptr;
  uint8_t* image_end = nullptr;
  uint32_t image_size = 0;
  uint32_t next_file_size = 0;  // 0: nothing more will be yielded
  uint32_t error_flags = 0;

 protected:
  // Puts the cursor on the first stored file; constructors call it last.
  virtual void rewind() = 0;
};
