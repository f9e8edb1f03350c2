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

// The slot of the title holding `crcs`, whose hash is `hash`, or the free
// slot where it would go. At least half the slots are free, so the probe
// ends.
size_t FindSlot(const Database& db, std::span<const uint32_t> crcs, uint64_t hash) {
  const uint32_t tag = static_cast<uint32_t>(hash);
  const size_t mask = db.titlesByCrcs.size() - 1;
  for (size_t at = (hash >> 32) & mask;; at = (at + 1) & mask) {
    const TitleSlot& slot = db.titlesByCrcs[at];
    if (slot.title == 0) return at;
    if (slot.hash != tag || slot.crcCount != crcs.size()) continue;
    if (std::equal(crcs.begin(), crcs.end(), db.crcs.begin() + slot.firstCrc)) return at;
  }
}

}  // namespace

void IndexTitles(Database& db, const std::vector<uint32_t>& titles) {
  size_t slots = 2;
  while (slots < 2 * titles.size()) slots *= 2;
  db.titlesByCrcs.assign(slots, TitleSlot{});
  std::vector<uint64_t> hashes(titles.size());
  for (size_t i = 0; i < titles.size(); ++i) hashes[i] = HashOf(db.Crcs(titles[i]));
  // The slots are met in no order: each is asked for from memory a few
  // titles ahead of its turn.
  constexpr size_t kAhead = 8;
  const size_t mask = slots - 1;
  for (size_t i = 0; i < titles.size(); ++i) {
    if (i + kAhead < titles.size()) {
      __builtin_prefetch(&db.titlesByCrcs[(hashes[i + kAhead] >> 32) & mask]);
    }
    std::span<const uint32_t> crcs = db.Crcs(titles[i]);
    TitleSlot& slot = db.titlesByCrcs[FindSlot(db, crcs, hashes[i])];
    if (slot.title == 0) {
      slot = {titles[i], static_cast<uint32_t>(hashes[i]), db.crcStarts[titles[i]],
              static_cast<uint32_t>(crcs.size())};
    }
  }
}

uint32_t FindRecordIndex(const Database& db, std::vector<uint32_t>& query) {
  std::sort(query.begin(), query.end());
  if (db.recordCount < 2 || db.titlesByCrcs.empty()) return 0;
  return db.titlesByCrcs[FindSlot(db, query, HashOf(query))].title;
}

DatRecord* FindRecord(Database& db, std::vector<uint32_t>& query) {
  uint32_t index = FindRecordIndex(db, query);
  return index == 0 ? nullptr : &db.records[index];
}
