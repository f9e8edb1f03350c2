// Conversion of G64 images (GCR bit streams of each track) into D64 sector images.
#pragma once

#include <cstdint>

// Decodes 5 GCR bytes (eight 5-bit codes) into 4 bytes. 1 on success; -1 at
// the first byte whose codes are invalid, which leaves that byte and the ones
// after it as they were.
int DecodeGcrGroup(const uint8_t* gcr, uint8_t* out);

// One track record of a G64 image: a little-endian length word followed by
// `length` track bytes. The track bytes form a circle: reading on from the
// last one continues at the first.
struct GcrTrack {
  const uint8_t* record = nullptr;  // the length word
  uint32_t present = 0;  // bytes of the record inside the G64 data
  uint32_t length = 0;   // track bytes in the circle
};

// The record of `track` (1 to 35): where the G64 header's offset table puts
// it when that entry holds a whole record, else at the fixed position
// 684 + (track - 1) * 7930 over 7930 bytes (as much of it as the data holds).
GcrTrack FindGcrTrack(const uint8_t* g64, uint32_t g64Size, uint32_t track);

// A sector's status, as the error table of a converted image holds it.
constexpr int kSectorMissing = 0;
constexpr int kSectorGood = 1;
constexpr int kSectorBadChecksum = 5;

// Finds `sector` of `track` by its header and decodes its data block into the
// 260 bytes of `block`: kSectorGood or kSectorBadChecksum by its checksum, or
// kSectorMissing when it is not found (nothing is written then).
int DecodeGcrSector(const GcrTrack& record, uint8_t* block, uint32_t track,
                    uint32_t sector);

// Writes the 683 sectors of tracks 1 to 35 into `out` in D64 order, followed
// by one status byte per sector when any was missing or failed its checksum.
// Returns the bytes written (174,848 or 175,531), or 0 when they do not fit
// `capacity`. Reads nothing outside g64[0 .. g64Size - 1].
uint32_t ConvertG64ToD64(const uint8_t* g64, uint32_t g64Size, uint8_t* out,
                         uint32_t capacity);
