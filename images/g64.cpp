// G64 to D64 conversion: sector search on each track's GCR circle and decoding.
#include "images/g64.h"

#include <algorithm>
#include <cstring>

#include "images/d64.h"
#include "util/little_endian.h"

namespace {

constexpr uint32_t kLengthWord = 2;
constexpr uint32_t kFixedHeaderArea = 684;
constexpr uint32_t kFixedRecordSize = 7930;
constexpr uint32_t kTableStart = 12;  // signature, version, half-tracks, size
constexpr uint32_t kTracks = 35;
constexpr uint32_t kSectorsOnDisk = 683;
constexpr uint32_t kBlockSize = 260;  // marker, 256 data bytes, checksum, 2
constexpr uint32_t kBlockGcrSize = 325;
constexpr uint32_t kHeaderGcrSize = 10;
constexpr uint8_t kSync = 0xFF;
constexpr int kNoByte = -1;

// Nibble of each 5-bit code; kInvalid for the 16 codes that are none.
constexpr uint8_t kInvalid = 0xFF;
constexpr uint8_t kNibbleOfCode[32] = {
    kInvalid, kInvalid, kInvalid, kInvalid, kInvalid, kInvalid, kInvalid,
    kInvalid, kInvalid, 0x8,      0x0,      0x1,      kInvalid, 0xC,
    0x4,      0x5,      kInvalid, kInvalid, 0x2,      0x3,      kInvalid,
    0xF,      0x6,      0x7,      kInvalid, 0x9,      0xA,      0xB,
    kInvalid, 0xD,      0xE,      kInvalid};

// The record that the header's offset table gives for `track`, if the G64
// has the signature, the table has a non-zero entry for the track's
// half-track, and the whole record lies inside the data.
bool FindTableTrack(const uint8_t* g64, uint32_t g64Size, uint32_t track,
                    GcrTrack* found) {
  if (g64Size < kTableStart || std::memcmp(g64, "GCR-1541", 8) != 0) {
    return false;
  }
  const uint32_t halfTrack = 2 * (track - 1);
  const uint32_t entry = kTableStart + 4 * halfTrack;
  if (halfTrack >= g64[9] || uint64_t{entry} + 4 > g64Size) return false;
  const uint32_t offset = ReadLe32(g64 + entry);
  if (offset == 0 || uint64_t{offset} + kLengthWord > g64Size) return false;
  const uint32_t length = ReadLe16(g64 + offset);
  if (uint64_t{offset} + kLengthWord + length > g64Size) return false;
  *found = {g64 + offset, kLengthWord + length, length};
  return true;
}

// The byte `distance` bytes on from the record's start, going round the
// circle of track bytes; kNoByte where the G64 data ends.
int ByteAt(const GcrTrack& track, uint32_t distance) {
  uint32_t index = distance;
  if (distance >= kLengthWord) {
    if (track.length == 0) return kNoByte;
    index = kLengthWord + (distance - kLengthWord) % track.length;
  }
  return index < track.present ? track.record[index] : kNoByte;
}

bool ReadGcr(const GcrTrack& track, uint32_t distance, uint8_t* out,
             uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    const int byte = ByteAt(track, distance + i);
    if (byte == kNoByte) return false;
    out[i] = static_cast<uint8_t>(byte);
  }
  return true;
}

// Moves *distance onto the first byte after the next run of sync bytes. The
// run must begin before `limit`; a run as long as the whole track is no sync.
bool SkipPastSync(const GcrTrack& track, uint32_t* distance, uint32_t limit) {
  uint32_t at = *distance;
  for (;; ++at) {
    if (at >= limit) return false;
    const int byte = ByteAt(track, at);
    if (byte == kNoByte) return false;
    if (byte == kSync) break;
  }
  const uint32_t runLimit = at + track.length;
  for (;;) {
    const int byte = ByteAt(track, at);
    if (byte == kNoByte) return false;
    if (byte != kSync) break;
    if (++at >= runLimit) return false;
  }
  *distance = at;
  return true;
}

bool HeaderMatches(const GcrTrack& record, uint32_t distance, uint32_t track,
                   uint32_t sector) {
  uint8_t gcr[kHeaderGcrSize];
  uint8_t header[8];
  if (!ReadGcr(record, distance, gcr, kHeaderGcrSize)) return false;
  if (DecodeGcrGroup(gcr, header) != 1 || DecodeGcrGroup(gcr + 5, header + 4) != 1) {
    return false;
  }
  return header[0] == 0x08 && header[2] == sector && header[3] == track;
}

// A sector that was not found reads 0x4B followed by 255 bytes of 0x01.
void FillMissingSector(uint8_t* block) {
  std::memset(block, 0x01, kBlockSize);
  block[0] = 0x07;
  block[1] = 0x4B;
  block[257] = 0x4A;
}

}  // namespace

int DecodeGcrGroup(const uint8_t* gcr, uint8_t* out) {
  uint64_t bits = 0;
  for (int i = 0; i < 5; ++i) bits = (bits << 8) | gcr[i];
  for (int k = 0; k < 4; ++k) {
    const uint8_t high = kNibbleOfCode[(bits >> (35 - 10 * k)) & 0x1F];
    const uint8_t low = kNibbleOfCode[(bits >> (30 - 10 * k)) & 0x1F];
    if (high == kInvalid || low == kInvalid) return -1;
    out[k] = static_cast<uint8_t>(high << 4 | low);
  }
  return 1;
}

GcrTrack FindGcrTrack(const uint8_t* g64, uint32_t g64Size, uint32_t track) {
  GcrTrack found;
  if (FindTableTrack(g64, g64Size, track, &found)) return found;
  const uint32_t offset = kFixedHeaderArea + (track - 1) * kFixedRecordSize;
  found.record = g64;
  found.length = kFixedRecordSize - kLengthWord;
  if (offset < g64Size) {
    found.record = g64 + offset;
    found.present = std::min(kFixedRecordSize, g64Size - offset);
  }
  return found;
}

int DecodeGcrSector(const GcrTrack& record, uint8_t* block, uint32_t track,
                    uint32_t sector) {
  // The search for the header starts at the record's start and ends with one
  // pass of the record; the data block's sync lies within one turn after it.
  const uint32_t onePass = kLengthWord + record.length;
  uint32_t at = 0;
  do {
    if (!SkipPastSync(record, &at, onePass)) return kSectorMissing;
  } while (!HeaderMatches(record, at, track, sector));
  if (!SkipPastSync(record, &at, at + record.length)) return kSectorMissing;
  uint8_t gcr[kBlockGcrSize];
  if (!ReadGcr(record, at, gcr, kBlockGcrSize)) return kSectorMissing;
  // Groups with an invalid code leave what the buffer held before.
  for (uint32_t group = 0; group < kBlockGcrSize / 5; ++group) {
    DecodeGcrGroup(gcr + 5 * group, block + 4 * group);
  }
  uint8_t sum = 0;
  for (uint32_t i = 1; i <= 257; ++i) sum ^= block[i];
  return sum == 0 ? kSectorGood : kSectorBadChecksum;
}

uint32_t ConvertG64ToD64(const uint8_t* g64, uint32_t g64Size, uint8_t* out,
                         uint32_t capacity) {
  uint8_t block[kBlockSize] = {};
  uint8_t status[kSectorsOnDisk];
  uint32_t total = 0;
  uint32_t count = 0;
  bool errorSeen = false;
  for (uint32_t track = 1; track <= kTracks; ++track) {
    const GcrTrack record = FindGcrTrack(g64, g64Size, track);
    for (uint32_t sector = 0; sector < SectorsOnTrack(track); ++sector) {
      const int result = DecodeGcrSector(record, block, track, sector);
      if (result == kSectorMissing) FillMissingSector(block);
      status[count] = static_cast<uint8_t>(result);
      if (result != kSectorGood) errorSeen = true;
      if (capacity - total < 256) return 0;
      std::memcpy(out + total, block + 1, 256);
      total += 256;
      ++count;
    }
  }
  if (errorSeen) {
    if (capacity - total < kSectorsOnDisk) return 0;
    std::memcpy(out + total, status, kSectorsOnDisk);
    total += kSectorsOnDisk;
  }
  return total;
}
