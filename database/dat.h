// The collection database: titles and the CRCs of their files, read from the
// profile's DAT file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "util/messages.h"

// The three files of one system's database, opened by these names.
struct DatFiles {
  const char* dat;   // the DAT file, read
  const char* have;  // the have file, read and rewritten
  const char* miss;  // the miss list, written
};

// One title. Text fields hold at most their limits: name 100, publisher 30,
// crack note 10, crack name 20 characters.
struct DatRecord {
  uint16_t crcCount = 0;
  uint16_t date = 0;  // 0: none
  uint8_t have = 0;   // 1: present (have file, or found in this run)
  std::string name;
  std::string publisher;
  std::string crackNote;
  std::string crackName;
  std::vector<uint32_t> crcs;  // ascending, crcCount entries
};

constexpr uint32_t kDatSlots = 6000;

// Titles are slots 1 .. recordCount - 1; slot recordCount is the end marker.
struct Database {
  std::string datVersion;
  std::vector<DatRecord> records;  // kDatSlots slots while loaded, else empty
  uint32_t recordCount = 0;
};

// Loads the DAT file, then the have file; messages go to `sink`. Returns
// recordCount (titles + 1), or 0 when the file cannot be opened or holds no
// version line.
uint32_t LoadDat(Database& db, const DatFiles& files, MessageSink& sink);

// Reads one field ended by `separator`, a line feed or the end of the file;
// the ending character is consumed. A field longer than `limit` is reported
// and kept to its first `limit` + 1 characters.
void ReadField(FILE* file, char separator, std::string* field, uint32_t limit,
               MessageSink& sink);

// A date or CRC-count field: a signed decimal number, kept modulo 65536.
uint16_t ParseDatDecimal(const std::string& text);

// A CRC field: hexadecimal with optional sign and 0x; too big gives 0xFFFFFFFF.
uint32_t ParseDatHex(const std::string& text);
