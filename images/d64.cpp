// CImageD64: walks the directory from its first sector on the directory
// track and gathers each file's sector chain into a buffer of its own. One
// reader serves the 1541, 1571 and 1581 layouts.
#include "images/d64.h"

#include <array>
#include <cstring>
#include <new>

static constexpr uint32_t kSectorSize = 256;
static constexpr uint32_t kDataPerSector = 254;
static constexpr uint32_t kEntriesPerSector = 8;

struct DiskGeometry {
  static constexpr uint8_t kMostTracks = 80;

  uint8_t last_track;
  // Sector numbers are checked against the most sectors any track holds,
  // not against the track's own count: a higher number than that count
  // addresses a sector of a following track.
  uint8_t last_sector;
  // The directory chain starts at dir_track/first_dir_sector. The sectors
  // before it on that track hold the header and the BAM: no file begins in
  // one of them or in the first directory sector, and a chain that links
  // into one is damaged.
  uint8_t dir_track;
  uint8_t first_dir_sector;
  // A second side's BAM in sector 0 of this track, or 0 when there is none.
  uint8_t side_two_bam_track;
  // Only 1541 images come out of the G64 conversion, which fills a sector
  // that it could not find with bytes beginning 0x4B 0x01.
  bool may_hold_g64_fill;
  // A directory chain that loops is bounded by the entries that the
  // directory track can hold.
  int32_t max_dir_entries;
  // Offset of sector 0 of each track 1..last_track; entry 0 is unused.
  std::array<uint32_t, kMostTracks + 1> track_offsets;
};

static constexpr DiskGeometry MakeGeometry(uint8_t last_track,
                                           uint32_t (*sectors_on_track)(uint32_t),
                                           uint8_t dir_track, uint8_t first_dir_sector,
                                           uint8_t side_two_bam_track,
                                           bool may_hold_g64_fill) {
  DiskGeometry disk{last_track, 0, dir_track, first_dir_sector, side_two_bam_track,
                    may_hold_g64_fill, 0, {}};
  uint32_t most = 0;
  for (uint32_t track = 1; track <= last_track; ++track) {
    if (track > 1) {
      disk.track_offsets[track] =
          disk.track_offsets[track - 1] + sectors_on_track(track - 1) * kSectorSize;
    }
    if (sectors_on_track(track) > most) most = sectors_on_track(track);
  }
  disk.last_sector = static_cast<uint8_t>(most);
  disk.max_dir_entries = static_cast<int32_t>(
      (sectors_on_track(dir_track) - first_dir_sector) * kEntriesPerSector);
  return disk;
}

// Side two of a 1571 disk repeats the tracks of side one.
static constexpr uint32_t SectorsOnTrack1571(uint32_t track) {
  return SectorsOnTrack(track > 35 ? track - 35 : track);
}

static constexpr uint32_t SectorsOnTrack1581(uint32_t) { return 40; }

// 1541: BAM and header at 18/0, directory from 18/1; 144 entries.
constexpr DiskGeometry kDisk1541 = MakeGeometry(40, SectorsOnTrack, 18, 1, 0, true);
// 1571: side one as the 1541's; side two's BAM at 53/0, a track the drive
// keeps free of files. The directory stays on track 18: 144 entries.
constexpr DiskGeometry kDisk1571 = MakeGeometry(70, SectorsOnTrack1571, 18, 1, 53, false);
// 1581: header at 40/0, BAM at 40/1 and 40/2, directory from 40/3; 296
// entries. The header of a 1541 disk shares 18/0 with its BAM, so a link
// into any of the three counts as a link to the BAM.
constexpr DiskGeometry kDisk1581 = MakeGeometry(80, SectorsOnTrack1581, 40, 3, 0, false);

CImageD64::CImageD64(uint8_t* image, uint32_t size, const DiskGeometry& disk,
                     MessageSink& sink)
    : disk_(disk), sink_(sink), file_buffer_(new (std::nothrow) uint8_t[size]) {
  image_data = image;
  image_size = size;
  image_end = image + size;
  rewind();
}

uint8_t* CImageD64::sector_address(uint8_t track, uint8_t sector) {
  if (track == 0) return nullptr;
  if (track > disk_.last_track || sector > disk_.last_sector) {
    error_flags |= IMGERR_BAD_LINK;
    return nullptr;
  }
  uint32_t offset = disk_.track_offsets[track] + kSectorSize * sector;
  if (offset + kSectorSize > image_size) {
    error_flags |= IMGERR_PAST_END;
    return nullptr;
  }
  return image_data + offset;
}

// "BAM" or "DIR" for the sectors that hold the disk's own bookkeeping, else
// nullptr.
const char* CImageD64::reserved_sector(uint8_t track, uint8_t sector) const {
  if (track == disk_.dir_track && sector <= disk_.first_dir_sector) {
    return sector == disk_.first_dir_sector ? "DIR" : "BAM";
  }
  if (track != 0 && track == disk_.side_two_bam_track && sector == 0) return "BAM";
  return nullptr;
}

bool CImageD64::entry_is_valid() const {
  uint8_t track = dir_entry_[3];
  uint8_t sector = dir_entry_[4];
  if (track == 0 || track > disk_.last_track || sector > disk_.last_sector) return false;
  return reserved_sector(track, sector) == nullptr;
}

// The first entry is taken on its track and sector alone, whatever its type.
void CImageD64::rewind() {
  entry_in_sector_ = 0;
  entries_visited_ = 0;
  next_file_size = 0;
  next_dir_sector_ = nullptr;
  dir_entry_ = sector_address(disk_.dir_track, disk_.first_dir_sector);
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
    if (++entries_visited_ > disk_.max_dir_entries) {
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
    if (const char* reserved = reserved_sector(s[0], s[1])) {
      sink_.Print(Stream::kErr, "\nErr: File links to %s\n", reserved);
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
  if (disk_.may_hold_g64_fill && s[0] == 0x4B && s[1] == 0x01) advance_entry();
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
