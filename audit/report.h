// What an audit writes on standard output: dump lines and info blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/dat.h"
#include "database/near.h"
#include "util/messages.h"

// One DAT record line: the name (';' and control characters written as
// '_'), four empty fields, the count and the CRCs in set order.
void WriteDumpLine(MessageSink& out, const std::string& name,
                   const std::vector<uint32_t>& crcs);

// The title found for a file; the block's last line is left open.
void WriteInfoBlock(MessageSink& out, const std::string& fullPath,
                    const DatRecord& record);

// The title nearest to a file that no title matches, framed as an info
// block: "Near: Name (Crack) (11 of 12 files; 1 extra)", the last line left
// open.
void WriteNearBlock(MessageSink& out, const std::string& fullPath,
                    const std::string& canonicalName, const NearMatch& near);
