// What an audit writes on standard output: dump lines and info blocks.
#pragma once

#include <string>

#include "database/dat.h"
#include "run/crc32.h"

// One DAT record line: the name, four empty fields, the count and the CRCs
// in set order.
void WriteDumpLine(const std::string& name, const CrcSet& crcs);

// The title found for a file; the block's last line is left open.
void WriteInfoBlock(const std::string& fullPath, const DatRecord& record);
