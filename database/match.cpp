// Finding the title whose CRC list holds the same values as an image's.
#include "database/match.h"

#include <algorithm>

uint32_t FindRecordIndex(const Database& db, std::vector<uint32_t>& query) {
  std::sort(query.begin(), query.end());
  // Slot recordCount is the end marker and never a title.
  uint32_t end = std::min<size_t>(db.recordCount, db.records.size());
  for (uint32_t i = 1; i < end; ++i) {
    const std::vector<uint32_t>& crcs = db.records[i].crcs;
    if (crcs.size() == query.size() &&
        std::equal(crcs.begin(), crcs.end(), query.begin())) {
      return i;
    }
  }
  return 0;
}

DatRecord* FindRecord(Database& db, std::vector<uint32_t>& query) {
  uint32_t index = FindRecordIndex(db, query);
  return index == 0 ? nullptr : &db.records[index];
}
