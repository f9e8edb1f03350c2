// Writers of 1541 disk images: D64 sectors built by hand, with chosen damage,
// and G64 images GCR-encoded from a D64, with chosen faults.
#pragma once

#include <cstdint>
#include <vector>

#include "testkit/bytes.h"

struct TrackSector {
  uint8_t track;
  uint8_t sector;
};

// The sectors before sector `sector` of `track` on a 1541 disk.
uint32_t SectorIndex(uint32_t track, uint32_t sector);

// A zeroed D64 image whose BAM links to an empty directory at track 18,
// sector 1. Sector numbers past a track's own count run on into the next
// track, as on the disk.
class D64Builder {
 public:
  static constexpr uint32_t kSize35 = 174848;
  static constexpr uint32_t kSize35WithErrors = 175531;

  explicit D64Builder(uint32_t size = kSize35);

  uint8_t* sector(TrackSector at);
  void Link(TrackSector from, uint8_t next_track, uint8_t next_sector);
  // Sets directory entry `index` (0..143) in the directory sectors 18/1,
  // 18/2, ..., linking in as many of them as the index needs.
  void SetEntry(int index, uint8_t type, TrackSector first);
  // Writes `data` along `chain`, 254 bytes a sector, and ends the chain.
  void WriteChain(const std::vector<TrackSector>& chain, const Bytes& data);
  // The next `count` unused sectors, track by track, leaving out track 18.
  std::vector<TrackSector> Allocate(int count);

  Bytes bytes;

 private:
  int dir_sectors_ = 1;
  int allocated_ = 0;
};

struct G64Fault {
  enum Kind { kMissing, kBadChecksum, kWrongTrack };
  Kind kind;
  uint32_t track;
  uint32_t sector;
  uint8_t value = 0;  // kWrongTrack: the track byte written into the header
};

struct G64Layout {
  uint32_t tracks = 35;  // records written; those beyond 35 hold no sectors
  std::vector<G64Fault> faults = {};
  // Each track's bytes start this far into the encoded stream, so that the
  // first sectors' bytes lie across the track's end.
  uint32_t rotate = 0;
  bool reversed = false;    // records stored last track first; the table says so
  bool brokenTable = false;  // table entries point past the end of the file
};

// 5 bytes of GCR for 4 bytes.
void EncodeGcrGroup(const uint8_t* in, uint8_t* gcr);

// A G64 with a 684-byte header area and 7930-byte records (length word 7928).
Bytes BuildG64(const Bytes& d64, const G64Layout& layout = {});
