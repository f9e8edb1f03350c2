// CImageD64: walks the directory from track 18, sector 1 and gathers each
// file's sector chain into a buffer of its own.
#include "images/d64.h"

#include <array>
#include <cstring>
#include <new>

static constexpr uint32_t kSectorSize = 256;
static constexpr uint32_t kDataPerSector = 254;
static constexpr uint8_t kDirTrack = 18;
static constexpr uint8_t kLastTrack = 40;
static constexpr uint8_t kLastSector = 21;
static constexpr int32_t kMaxDirEntries = 144;

// Offset of sector 0 of each track 1..40; entry 0 is unused.
static constexpr std::array<uint32_t, kLastTrack + 1> kTrackOffsets = [] {
  std::array<uint32_t, kLastTrack + 1> offsets{};
  for (uint32_t track = 2; track <= kLastTrack; ++track) {
    offsets[track] = offsets[track - 1] + SectorsOnTrack(track - 1) * kSectorSize;
  }
  return offsets;
}();

CImageD64::CImageD64(uint8_t* image, uint32_t size, MessageSink& sink)
    : sink_(sink), file_buffer_(new (std::nothrow) uint8_t[size]) {
  image_data = image;
  image_size = size;
  image_end = image + size;
  rewind();
}

// Sector numbers are checked against 21 only: a higher number than the
// track's own count addresses a sector of a following track.
uint8_t* CImageD64::sector_address(uint8_t track, uint8_t sector) {
  if (track == 0) return nullptr;
  if (track > kLastTrack || sector > kLastSector) {
    error_flags |= IMGERR_BAD_LINK;
    return nullptr;
  }
  uint32_t offset = kTrackOffsets[track] + kSectorSize * sector;
  if (offset + kSectorSize > image_size) {
    error_flags |= IMGERR_PAST_END;
    return nullptr;
  }
  return image_data + offset;
}

// A file may not begin in the BAM or the first directory sector.
bool CImageD64::entry_is_valid() const {
  uint8_t track = dir_entry_[3];
  uint8_t sector = dir_entry_[4];
  if (track == 0 || track > kLastTrack || sector > kLastSector) return false;
  return !(track == kDirTrack && sector <= 1);
}

// The first entry is taken on its track and sector alone, whatever its type.
void CImageD64::rewind() {
  entry_in_sector_ = 0;
  entries_visited_ = 0;
  next_file_size = 0;
  next_dir_sector_ = nullptr;
  dir_entry_ = sector_address(kDirTrack, 1);
  if (dir_entry_ == nullptr || !file_buffer_) {
    error_flags |= IMGERR_NO_FILES;
    return;
  }
  next_dir_sector_ = sector_address(dir_entry_[0], dir_entry_[1]);
  if (!entry_is_valid()) advance_entry();
  // Measures whatever entry the cursor rests on, even when the directory
  // ran out without a usable one.
  measure_file();
  if (next_file_size == 0) error_flags |= IMGERR_NO_FILES;
}

// A directory chain that loops is bounded by the 144 entries that track 18
// can hold.
bool CImageD64::advance_entry() {
  for (;;) {
    if (entry_in_sector_ < 7) {
      dir_entry_ += 32;
      ++entry_in_sector_;
    } else if (next_dir_sector_ == nullptr) {
      next_file_size = 0;
      return false;
    } else {
      dir_entry_ = next_dir_sector_;
      next_dir_sector_ = sector_address(dir_entry_[0], dir_entry_[1]);
      entry_in_sector_ = 0;
    }
    if (++entries_visited_ > kMaxDirEntries) {
      sink_.Write(Stream::kErr, "Directory is corrupt, aborting.\n");
      error_flags |= IMGERR_DIR_CORRUPT;
      next_file_size = 0;
      return false;
    }
    if (!entry_is_valid()) continue;
    uint8_t type = dir_entry_[2] & 7;
    if (type < 1 || type > 3) continue;  // only SEQ, PRG and USR are files
    measure_file();
    return true;
  }
}

// Only whether the result is zero matters: next_file counts the bytes anew.
// A chain that loops is bounded by the image size.
uint32_t CImageD64::measure_file() {
  uint32_t count = 0;
  const uint8_t* s = entry_is_valid() ? sector_address(dir_entry_[3], dir_entry_[4]) : nullptr;
  while (s != nullptr) {
    if (s[0] == kDirTrack && s[1] <= 1) {
      sink_.Print(Stream::kErr, "\nErr: File links to %s\n", s[1] == 0 ? "BAM" : "DIR");
      error_flags |= IMGERR_BAD_LINK;
      break;
    }
    if (s[0] == 0) {
      count += static_cast<uint32_t>(s[1]) - 2;  // wraps for 0 and 1, as on disk
      break;
    }
    count += kDataPerSector;
    if (count > image_size) {
      sink_.Write(Stream::kErr, "\nErr: File exceeds disk size\n");
      error_flags |= IMGERR_TOO_BIG;
      break;
    }
    s = sector_address(s[0], s[1]);
  }
  next_file_size = count <= image_size ? count : 0;
  return next_file_size;
}

// Writes never run past the buffer's image_size bytes.
void CImageD64::append(uint32_t at, const uint8_t* bytes, uint32_t count) {
  if (at >= image_size) return;
  if (count > image_size - at) count = image_size - at;
  std::memcpy(file_buffer_.get() + at, bytes, count);
}

const uint8_t* CImageD64::next_file(uint32_t* length) {
  if (next_file_size == 0) return nullptr;
  const uint8_t* s = sector_address(dir_entry_[3], dir_entry_[4]);
  if (s == nullptr) {
    *length = 0;
    return nullptr;
  }
  // The fill of a sector that the G64 conversion could not find; its link
  // to track 75 ends the listing below, so the next entry is prepared first.
  if (s[0] == 0x4B && s[1] == 0x01) advance_entry();
  uint32_t count = 0;
  while (s[0] != 0) {
    append(count, s + 2, kDataPerSector);
    count += kDataPerSector;
    s = sector_address(s[0], s[1]);
    if (s == nullptr) {
      sink_.Write(Stream::kErr, "\nErr: Bad T/S link, file is truncated\n");
      error_flags |= IMGERR_TRUNCATED;
      return nullptr;
    }
    if (count > image_size) {
      error_flags |= IMGERR_TRUNCATED;
      return nullptr;
    }
  }
  // A chain that ends visits distinct sectors, each wholly inside the image,
  // so count stays within the buffer.
  int last = s[1] - 1;
  if (last > 0) {
    append(count, s + 2, static_cast<uint32_t>(last));
    count += static_cast<uint32_t>(last);
  }
  advance_entry();
  *length = count;
  return count == 0 ? nullptr : file_buffer_.get();
}
