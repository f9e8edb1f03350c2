// Identifying a title by the multiset of its files' CRCs.
#pragma once

#include <cstdint>

#include <vector>

#include "database/dat.h"

// Empties the index of titles by CRC list and makes room for `titles`
// titles. May throw std::bad_alloc.
void PrepareTitleIndex(Database& db, uint32_t titles);

// Lets title `index` be found by its CRC list, unless an earlier title holds
// the same list. Titles are indexed in DAT order, at most as many as
// prepared.
void IndexTitle(Database& db, uint32_t index);

// Sorts `query` ascending and returns the index of the first indexed title
// with the same sorted list, or 0.
uint32_t FindRecordIndex(const Database& db, std::vector<uint32_t>& query);

// The same search, giving the title's record or nullptr.
DatRecord* FindRecord(Database& db, std::vector<uint32_t>& query);
