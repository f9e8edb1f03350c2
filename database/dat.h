// The collection database: titles and the CRCs of their files, read from the
// profile's DAT file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "util/messages.h"

// The three files of one system's database, opened by these names.
struct DatFiles {
  const char* dat;   // the DAT file, read
  const char* have;  // the have file, read and rewritten
  const char* miss;  // the miss list, written
};

// One title. Text fields hold at most their limits: name 100, publisher 30,
// crack note 10, crack name 20 characters. Its CRCs are the database's.
struct DatRecord {
  uint16_t date = 0;  // 0: none
  uint8_t have = 0;   // 1: present (have file, or found in this run)
  std::string name;
  std::string publisher;
  std::string crackNote;
  std::string crackName;
};

// The have file names a title by a 16-bit index and index 0 is never a
// title, so a DAT file holds at most 65,535 titles.
constexpr uint32_t kMaxTitles = 65535;

// A larger DAT (or have) file is refused.
constexpr uint64_t kMaxDatBytes = uint64_t{256} << 20;

// One slot of the index of titles by CRC list: a title (0: a free slot),
// the low half of its list's hash, and where its list lies in crcs, so that
// a probe reads the slot and the list alone.
struct TitleSlot {
  uint32_t title = 0;
  uint32_t hash = 0;
  uint32_t firstCrc = 0;
  uint32_t crcCount = 0;
};

// The titles holding each CRC: a key for each CRC of each title, the CRC
// in the high half and the title in the low, ascending. The keys whose CRCs
// have the same top bits make a bucket: bucket b runs from starts[b] to
// starts[b + 1], and a CRC's bucket is its value shifted right by `shift`.
struct CrcIndex {
  bool built = false;
  std::vector<uint64_t> keys;
  std::vector<uint32_t> starts;
  uint32_t shift = 31;
};

// Titles are slots 1 .. recordCount - 1 (a title's index is its line number
// in the DAT file less one); slot recordCount is an empty end marker.
struct Database {
  std::string datVersion;
  std::vector<DatRecord> records;  // recordCount + 1 slots while loaded, else empty
  uint32_t recordCount = 0;
  // The CRC lists of slots 0 .. recordCount, each ascending, one after
  // another: slot i's list runs from crcStarts[i] to crcStarts[i + 1].
  std::vector<uint32_t> crcs;
  std::vector<uint32_t> crcStarts;
  // Open addressing over the titles' sorted CRC lists: each distinct list
  // that can match leads to the first title holding it.
  std::vector<TitleSlot> titlesByCrcs;
  // For near matches, built by the first search: from each CRC to the
  // titles that hold it.
  CrcIndex titlesByCrc;

  std::span<const uint32_t> Crcs(uint32_t index) const {
    return {crcs.data() + crcStarts[index], crcStarts[index + 1] - crcStarts[index]};
  }
};

// Loads the DAT file, then the have file; messages go to `sink`. Returns
// recordCount (titles + 1), or 0 when the file cannot be loaded or holds no
// line feed.
uint32_t LoadDat(Database& db, const DatFiles& files, MessageSink& sink);

// Reads one of the database's files whole. False when it is missing
// (silently), or not a regular file, too large or unreadable (with a message).
bool ReadDatabaseFile(const char* name, std::string* bytes, MessageSink& sink);

// A date or CRC-count field: a signed decimal number, kept modulo 65536.
// False when the field holds no digits; the value is then 0.
bool ParseDatDecimal(std::string_view text, uint16_t* value);

// A CRC field: hexadecimal with optional sign and 0x; too big gives
// 0xFFFFFFFF. False when the field holds no digits; the value is then 0.
bool ParseDatHex(std::string_view text, uint32_t* value);
