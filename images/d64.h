// CImageD64 and its kin: 1541, 1571 and 1581 disk images, their files listed
// along the directory chain.
#pragma once

#include <cstdint>
#include <memory>

#include "images/image.h"
#include "util/messages.h"

// Sectors on each track of a 1541 disk (tracks 1 to 40).
constexpr uint32_t SectorsOnTrack(uint32_t track) {
  return track <= 17 ? 21 : track <= 24 ? 19 : track <= 30 ? 18 : 17;
}

// How one drive lays out its disks; d64.cpp holds the three.
struct DiskGeometry;
extern const DiskGeometry kDisk1541;  // D64: 35 or 40 tracks
extern const DiskGeometry kDisk1571;  // D71: 70 tracks, two sides of a 1541 disk
extern const DiskGeometry kDisk1581;  // D81: 80 tracks of 40 sectors

class CImageD64 : public CImage {
 public:
  // Also used over a D64 image converted from a G64 file, whose length is the
  // converted one rather than the buffer's.
  // Damage messages go to `sink`.
  CImageD64(uint8_t* image, uint32_t size, MessageSink& sink)
      : CImageD64(image, size, kDisk1541, sink) {}
  const uint8_t* next_file(uint32_t* length) override;

  // False when the file buffer could not be allocated; such a reader lists
  // nothing, and the factory makes none.
  bool has_file_buffer() const { return file_buffer_ != nullptr; }
  // Where each file is gathered: image_size bytes.
  const uint8_t* file_buffer() const { return file_buffer_.get(); }

 protected:
  CImageD64(uint8_t* image, uint32_t size, const DiskGeometry& disk, MessageSink& sink);
  void rewind() override;

 private:
  uint8_t* sector_address(uint8_t track, uint8_t sector);
  const char* reserved_sector(uint8_t track, uint8_t sector) const;
  bool entry_is_valid() const;
  bool advance_entry();
  uint32_t measure_file();
  void append(uint32_t at, const uint8_t* bytes, uint32_t count);

  const DiskGeometry& disk_;
  MessageSink& sink_;
  uint8_t entry_in_sector_ = 0;         // 0..7 within its directory sector
  int32_t entries_visited_ = 0;         // directory steps since rewind
  uint8_t* next_dir_sector_ = nullptr;  // after dir_entry_'s sector, or none
  uint8_t* dir_entry_ = nullptr;        // the current 32-byte entry
  std::unique_ptr<uint8_t[]> file_buffer_;  // image_size bytes; files gather here
};

// A 1571 disk image: side one as a 1541 disk, side two on tracks 36 to 70.
class CImageD71 : public CImageD64 {
 public:
  CImageD71(uint8_t* image, uint32_t size, MessageSink& sink)
      : CImageD64(image, size, kDisk1571, sink) {}
};

// A 1581 disk image: the directory on track 40 from sector 3.
class CImageD81 : public CImageD64 {
 public:
  CImageD81(uint8_t* image, uint32_t size, MessageSink& sink)
      : CImageD64(image, size, kDisk1581, sink) {}
};
