// Counting a run's files and writing its summary.
#include "audit/summary.h"

#include <algorithm>

void RunSummary::Add(const FileOutcome& outcome) {
  ++verdicts_[static_cast<size_t>(outcome.verdict)];
  const Identification& identification = outcome.identification;
  ++placements_[static_cast<size_t>(identification.placement)];
  if (identification.near.index != 0) ++near_;
  if (identification.title == 0) return;
  if (found_.size() <= identification.title) found_.resize(identification.title + 1);
  found_[identification.title] = true;
}

uint32_t RunSummary::Count(Verdict verdict) const {
  return verdicts_[static_cast<size_t>(verdict)];
}

uint32_t RunSummary::Count(Placement placement) const {
  return placements_[static_cast<size_t>(placement)];
}

uint32_t RunSummary::TitlesPresent(const Database& db) const {
  uint32_t present = 0;
  for (uint32_t i = 1; i < db.recordCount && i < db.records.size(); ++i) {
    if (db.records[i].have || (i < found_.size() && found_[i])) ++present;
  }
  return present;
}

uint32_t RunSummary::TitlesFound() const {
  return static_cast<uint32_t>(std::count(found_.begin(), found_.end(), true));
}

void RunSummary::Write(MessageSink& sink, RunFlags flags, const Database& db) const {
  uint32_t audited = 0;
  for (uint32_t count : verdicts_) audited += count;
  sink.Print(Stream::kErr, "\nFiles audited: %u\n", audited);
  const uint32_t damaged = Count(Verdict::kDamaged), empty = Count(Verdict::kEmpty),
                 unreadable = Count(Verdict::kUnreadable), noReader = Count(Verdict::kNoReader);
  if (MatchesTitles(flags)) {
    sink.Print(Stream::kErr,
               "  identified: %u, unknown: %u, damaged: %u, empty: %u, unreadable: %u, "
               "no reader: %u\n",
               Count(Verdict::kIdentified), Count(Verdict::kUnknown), damaged, empty, unreadable,
               noReader);
    sink.Print(Stream::kErr, "  near a title: %u\n", near_);
  } else {
    sink.Print(Stream::kErr,
               "  listed: %u, damaged: %u, empty: %u, unreadable: %u, no reader: %u\n",
               Count(Verdict::kListed), damaged, empty, unreadable, noReader);
  }
  const uint32_t ren = Count(Placement::kRen), dupes = Count(Placement::kDupes),
                 inPlace = Count(Placement::kInPlace), stayed = Count(Placement::kStayed);
  if (RenamesFiles(flags) && (flags & RF_DRY_RUN)) {
    sink.Print(Stream::kErr,
               "  would move to ren: %u, to dupes: %u, rename in place: %u, leave alone: %u\n", ren,
               dupes, inPlace, stayed);
  } else if (RenamesFiles(flags)) {
    sink.Print(Stream::kErr,
               "  moved to ren: %u, to dupes: %u, renamed in place: %u, left alone: %u\n", ren,
               dupes, inPlace, stayed);
  }
  if (flags & (RF_INFO | RF_RENAME)) {
    const uint32_t titles = db.recordCount > 0 ? db.recordCount - 1 : 0;
    const uint32_t present = TitlesPresent(db);
    // Tenths rounded down: 100.0% only when every title is present.
    const uint64_t tenths = titles == 0 ? 0 : uint64_t{present} * 1000 / titles;
    sink.Print(Stream::kErr, "Titles present: %u of %u (%u.%u%%), %u found in this run\n", present,
               titles, static_cast<unsigned>(tenths / 10), static_cast<unsigned>(tenths % 10),
               TitlesFound());
  }
}
