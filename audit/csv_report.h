// The report of a run: one CSV row for each audited file, for spreadsheets
// and scripts.
#pragma once

#include <string>
#include <string_view>

#include "audit/audit.h"
#include "audit/outcome.h"
#include "database/dat.h"

// One field of a CSV record (RFC 4180): quoted when it holds a comma, a
// quote, a CR or an LF, with each quote doubled.
std::string CsvField(std::string_view text);

// A header row, then a row per file in the order the files were reported,
// each ended by CR LF. The columns, to which later ones may be added at the
// end:
//   path         the file as audited (folder and name, or as typed)
//   type         its extension's row in the profile's table ("D64", "ZIP"),
//                or "?" when its name has none of them
//   outcome      a VerdictName
//   files        the files listed (a damaged image counts as one); empty
//                when unreadable or without a reader
//   title_index  the title's index, counted from 1 in DAT order
//   title        the title's canonical name, as the DAT file writes it
//   rename       a PlacementName: ren, dupes, in place or stayed
//   new_path     where the file was moved (in a dry run: would be)
//   reason       why it stayed
//   near_index, near_title
//                the title nearest to a file that no title matched
//   near_shared, near_title_files
//                how many of that title's files the file holds, of how many
class CsvReport {
 public:
  // `profile` names the types; titles are read from `db`, which must stay
  // loaded while rows are added.
  CsvReport(const SystemProfile& profile, const Database& db);

  void AddRow(const FileRecord& record, const FileOutcome& outcome);
  const std::string& Text() const { return text_; }

 private:
  std::string TypeOf(const std::string& name) const;

  const SystemProfile& profile_;
  const Database& db_;
  std::string text_;
};
