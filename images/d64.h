// CImageD64: a 1541 disk image, its files listed along the directory chain.
#pragma once

#include <cstdint>
#include <memory>

#include "images/image.h"
#include "util/messages.h"

// Sectors on each track of a 1541 disk (tracks 1 to 40).
constexpr uint32_t SectorsOnTrack(uint32_t track) {
  return track <= 17 ? 21 : track <= 24 ? 19 : track <= 30 ? 18 : 17;
}

class CImageD64 : public CImage {
 public:
  // Also used over a D64 image converted from a G64 file, whose length is the
  // converted one rather than the buffer's.
  // Damage messages go to `sink`.
  CImageD64(uint8_t* image, uint32_t size, MessageSink& sink);
  const uint8_t* next_file(uint32_t* length) override;

  // False when the file buffer could not be allocated; such a reader lists
  // nothing, and the factory makes none.
  bool has_file_buffer() const { return file_buffer_ != nullptr; }
  // Where each file is gathered: image_size bytes.
  const uint8_t* file_buffer() const { return file_buffer_.get(); }

 protected:
  void rewind() override;

 private:
  uint8_t* sector_address(uint8_t track, uint8_t sector);
  bool entry_is_valid() const;
  bool advance_entry();
  uint32_t measure_file();
  void append(uint32_t at, const uint8_t* bytes, uint32_t count);

  MessageSink& sink_;
  uint8_t entry_in_sector_ = 0;         // 0..7 within its directory sector
  int32_t entries_visited_ = 0;         // directory steps since rewind
  uint8_t* next_dir_sector_ = nullptr;  // after dir_entry_'s sector, or none
  uint8_t* dir_entry_ = nullptr;        // the current 32-byte entry
  std::unique_ptr<uint8_t[]> file_buffer_;  // image_size bytes; files gather here
};
