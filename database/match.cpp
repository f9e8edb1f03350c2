// Finding the title whose CRC list holds the same values as an image's: a
// hash of the sorted list leads to the first title that holds it.
#include "database/match.h"

#include <algorithm>
#include <span>

namespace {

uint64_t HashOf(std::span<const uint32_t> crcs) {
  uint64_t hash = 0x9E3779B97F4A7C15u * (crcs.size() + 1);
  for (uint32_t crc : crcs) {
    hash = (hash ^ crc) * 0xBF58476D1CE4E5B9u;
    hash ^= hash >> 31;
  }
  return hash ^ (hash >> 29);
}

// The slot of the title holding `crcs`, or the free slot where it would go.
// At least half the slots are free, so the probe ends.
size_t FindSlot(const Database& db, std::span<const uint32_t> crcs) {
  const size_t mask = db.titlesByCrcs.size() - 1;
  for (size_t slot = HashOf(crcs) & mask;; slot = (slot + 1) & mask) {
    uint32_t title = db.titlesByCrcs[slot];
    if (title == 0) return slot;
    std::span<const uint32_t> held = db.Crcs(db.records[title]);
    if (std::equal(held.begin(), held.end(), crcs.begin(), crcs.end())) return slot;
  }
}

}  // namespace

void PrepareTitleIndex(Database& db, uint32_t titles) {
  size_t slots = 2;
  while (slots < size_t{2} * titles) slots *= 2;
  db.titlesByCrcs.assign(slots, 0);
}

void IndexTitle(Database& db, uint32_t index) {
  uint32_t& slot = db.titlesByCrcs[FindSlot(db, db.Crcs(db.records[index]))];
  if (slot == 0) slot = index;
}

uint32_t FindRecordIndex(const Database& db, std::vector<uint32_t>& query) {
  std::sort(query.begin(), query.end());
  if (db.recordCount < 2 || db.titlesByCrcs.empty()) return 0;
  return db.titlesByCrcs[FindSlot(db, query)];
}

DatRecord* FindRecord(Database& db, std::vector<uint32_t>& query) {
  uint32_t index = FindRecordIndex(db, query);
  return index == 0 ? nullptr : &db.records[index];
}
