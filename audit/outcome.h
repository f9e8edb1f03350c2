// What became of one reported file, in the words that the summary and the
// report use.
#pragma once

#include <cstdint>

#include "audit/identify.h"

struct FileRecord;

// One per audited file; a cancelled archive has none.
enum class Verdict : uint8_t {
  kListed,      // listed, in a run that matches no titles
  kIdentified,  // a title matched
  kUnknown,     // no title matched
  kDamaged,     // no title matched, and an image fell back to its whole CRC
  kEmpty,       // no stored file was found
  kUnreadable,  // the file could not be opened or read
  kNoReader,    // no reader for the file or for one of its archive's images
};

// "listed", "identified", "unknown", "damaged", "empty", "unreadable", "no reader".
const char* VerdictName(Verdict verdict);

// "ren", "dupes", "in place", "stayed"; "" for kNone.
const char* PlacementName(Placement placement);

struct FileOutcome {
  Verdict verdict = Verdict::kListed;
  Identification identification;
};

// The outcome of a record that was reported (not cancelled) under `flags`.
FileOutcome OutcomeOf(const FileRecord& record, const Identification& identification,
                      RunFlags flags);
