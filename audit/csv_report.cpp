// CSV rows of the run's report.
#include "audit/csv_report.h"

#include <initializer_list>

namespace {

constexpr char kHeader[] =
    "path,type,outcome,files,title_index,title,rename,new_path,reason,near_index,near_title,"
    "near_shared,near_title_files";

std::string Row(std::initializer_list<std::string_view> fields) {
  std::string row;
  const char* separator = "";
  for (std::string_view field : fields) {
    row += separator;
    row += CsvField(field);
    separator = ",";
  }
  return row + "\r\n";
}

}  // namespace

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string field = "\"";
  for (char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  return field + '"';
}

CsvReport::CsvReport(const SystemProfile& profile, const Database& db)
    : profile_(profile), db_(db), text_(std::string(kHeader) + "\r\n") {}

// As the audit chose how to read the file: a ZIP archive first, then the
// table's other rows.
std::string CsvReport::TypeOf(const std::string& name) const {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return "?";
  std::string extension = name.substr(dot);
  if (ExtensionMatches(extension, ".ZIP")) return "ZIP";
  ImageType type = FindImageType(profile_, extension);
  return type > 0 ? profile_.extensions[type] + 1 : "?";
}

void CsvReport::AddRow(const FileRecord& record, const FileOutcome& outcome) {
  const Identification& identification = outcome.identification;
  const bool listed =
      outcome.verdict != Verdict::kUnreadable && outcome.verdict != Verdict::kNoReader;
  std::string files = listed ? std::to_string(record.crcs.size()) : "";
  std::string index, title;
  if (identification.title != 0) {
    index = std::to_string(identification.title);
    title = CanonicalName(db_.records[identification.title]);
  }
  const NearMatch& near = identification.near;
  std::string nearIndex, nearTitle, nearShared, nearTitleFiles;
  if (near.index != 0) {
    nearIndex = std::to_string(near.index);
    nearTitle = CanonicalName(db_.records[near.index]);
    nearShared = std::to_string(near.shared);
    nearTitleFiles = std::to_string(near.titleFiles);
  }
  text_ += Row({record.path, TypeOf(record.name), VerdictName(outcome.verdict), files, index,
                title, PlacementName(identification.placement), identification.target,
                identification.reason, nearIndex, nearTitle, nearShared, nearTitleFiles});
}
