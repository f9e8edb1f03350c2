// Near matches: the title that an image which matches no title most likely
// is, by the files the two share.
#pragma once

#include <cstdint>
#include <span>

#include "database/dat.h"

// The title nearest to an image; index 0: none.
struct NearMatch {
  uint32_t index = 0;
  uint32_t shared = 0;      // the image's files that the title holds
  uint32_t titleFiles = 0;  // the title's files, shared and missing
  uint32_t extra = 0;       // the image's files that the title lacks
};

// A CRC held by more titles than this (an empty file, a common loader or
// intro) says little about which title an image is: it leads to no
// candidate, though it counts when a candidate found through another file
// is scored. The bound grows with the DAT, where honest sharing (the many
// cracks of one game) grows too, up to 255 titles; it keeps the work per
// file small whatever the DAT holds.
uint32_t CommonCrcTitles(uint32_t titles);

// Builds db.titlesByCrc over the titles' CRCs. May throw std::bad_alloc.
void IndexCrcs(Database& db);

// The title sharing most files with the image whose CRCs are `crcs`
// (ascending), counted as multisets; among those, the one with the fewest
// files missing and extra; then the first in DAT order. Only a title that
// shares at least two files, and at least half of its own, is near: one
// shared file is most often a loader or intro that many titles carry, and a
// title of one or two files would otherwise be near any image holding its
// loader.
// The first search builds the index (a run whose every file is identified
// never needs it); when memory for it is lacking, it says so and no search
// finds anything.
NearMatch FindNearMatch(Database& db, std::span<const uint32_t> crcs, MessageSink& sink);
