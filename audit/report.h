// What an audit writes on standard output: dump lines, info blocks and the
// plan of a dry run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audit/outcome.h"
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

// What the rename would do with the file at `path`, one line:
//   "would move PATH -> ren/NAME" (or dupes/NAME), "would rename PATH -> NAME",
//   "would stay: PATH (REASON)",
// the targets in the file's own folder; a file that is not identified
// stays for its verdict ("unknown", "empty", ...).
void WritePlanLine(MessageSink& out, const std::string& path, const FileOutcome& outcome);
