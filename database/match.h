// Identifying a title by the multiset of its files' CRCs.
#pragma once

#include <cstdint>

#include <vector>

#include "database/dat.h"

// Builds the index of titles by CRC list over `titles`, in DAT order: the
// first title of each list is the one found by it. May throw
// std::bad_alloc.
void IndexTitles(Database& db, const std::vector<uint32_t>& titles);

// Sorts `query` ascending and returns the index of the first indexed title
// with the same sorted list, or 0.
uint32_t FindRecordIndex(const Database& db, std::vector<uint32_t>& query);

// The same search, giving the title's record or nullptr.
DatRecord* FindRecord(Database& db, std::vector<uint32_t>& query);
