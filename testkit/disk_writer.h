// Writers of 1541 disk images: G64 images GCR-encoded from a D64, with chosen
// faults, and where a sector lies in a D64.
#pragma once

#include "testkit/bytes.h"

// The sectors before sector `sector` of `track` on a 1541 disk.
uint32_t SectorIndex(uint32_t track, uint32_t sector);

// A sector left out, one whose data checksum is wrong, or one whose header
// names the following track.
struct G64Fault {
  enum Kind { kMissing, kBadChecksum, kWrongTrack } kind;
  uint32_t track, sector;
};

// `tracks` records are written; those beyond 35 hold no sectors. Each track's
// bytes start `rotate` bytes into the encoded stream, so that the first
// sectors' bytes lie across the track's end. Records can be stored last track
// first (`reversed`; the table says so), and the table entries can point past
// the end of the file (`brokenTable`).
struct G64Layout {
  uint32_t tracks = 35, rotate = 0;
  std::vector<G64Fault> faults = {};
  bool reversed = false, brokenTable = false;
};

// A G64 with a 684-byte header area and 7930-byte records (length word 7928).
Bytes BuildG64(const Bytes& d64, const G64Layout& layout = {});
