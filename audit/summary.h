// The closing summary of a run: its files by verdict, what the rename did
// with them, and how complete the collection is.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "audit/outcome.h"
#include "audit/profile.h"
#include "database/dat.h"
#include "util/messages.h"

class RunSummary {
 public:
  // Counts one reported file.
  void Add(const FileOutcome& outcome);

  // The block that ends a run, before its closing line,
  //   "\nFiles audited: N\n"
  //   "  identified: N, unknown: N, damaged: N, empty: N, unreadable: N, no reader: N\n"
  //       (in a run that matches no titles "  listed: N, damaged: N, ...")
  //   "  near a title: N\n"  (a run that matches titles: unknown and damaged
  //       files that a title is near)
  //   "  moved to ren: N, to dupes: N, renamed in place: N, left alone: N\n"
  //       (a rename run; a dry run's "  would move to ren: N, to dupes: N,
  //       rename in place: N, leave alone: N\n")
  //   "Titles present: N of M (P.P%), N found in this run\n"  (a DAT was loaded)
  // written to standard error. `db` must still be loaded.
  void Write(MessageSink& sink, RunFlags flags, const Database& db) const;

 private:
  uint32_t Count(Verdict verdict) const;
  uint32_t Count(Placement placement) const;
  // Present: marked in the have file, or found in this run.
  uint32_t TitlesPresent(const Database& db) const;
  uint32_t TitlesFound() const;

  std::array<uint32_t, 7> verdicts_{};
  std::array<uint32_t, 5> placements_{};
  uint32_t near_ = 0;
  std::vector<bool> found_;  // by title index
};
