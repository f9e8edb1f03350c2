// The verdict on a reported file, and the names of verdicts and placements.
#include "audit/outcome.h"

#include "audit/audit.h"

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kListed:
      return "listed";
    case Verdict::kIdentified:
      return "identified";
    case Verdict::kUnknown:
      return "unknown";
    case Verdict::kDamaged:
      return "damaged";
    case Verdict::kEmpty:
      return "empty";
    case Verdict::kUnreadable:
      return "unreadable";
    case Verdict::kNoReader:
      return "no reader";
  }
  return "";
}

const char* PlacementName(Placement placement) {
  switch (placement) {
    case Placement::kNone:
      return "";
    case Placement::kRen:
      return "ren";
    case Placement::kDupes:
      return "dupes";
    case Placement::kInPlace:
      return "in place";
    case Placement::kStayed:
      return "stayed";
  }
  return "";
}

// A damaged image that a title knows by its whole CRC is identified: the
// DAT file holds it as it is.
FileOutcome OutcomeOf(const FileRecord& record, const Identification& identification,
                      RunFlags flags) {
  FileOutcome outcome{Verdict::kListed, identification};
  if (record.result == kNoReader) {
    outcome.verdict = Verdict::kNoReader;
  } else if (record.unreadable) {
    outcome.verdict = Verdict::kUnreadable;
  } else if (record.crcs.empty()) {
    outcome.verdict = Verdict::kEmpty;
  } else if (identification.title != 0) {
    outcome.verdict = Verdict::kIdentified;
  } else if (record.damaged) {
    outcome.verdict = Verdict::kDamaged;
  } else if (MatchesTitles(flags)) {
    outcome.verdict = Verdict::kUnknown;
  }
  return outcome;
}
