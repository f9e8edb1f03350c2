// Identification, canonical names and moving files without replacing any.
#include "audit/identify.h"

#include "audit/report.h"
#include "database/match.h"
#include "platform/platform.h"

namespace {

constexpr char kSeparator = platform::kSeparator;

// The text from the last '.' of the path's file name, or "".
std::string ExtensionOf(const std::string& path) {
  size_t name_start = path.rfind(kSeparator);
  name_start = name_start == std::string::npos ? 0 : name_start + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < name_start) return "";
  return path.substr(dot);
}

// A title that holds a separator ('/' is one on Windows too), or is "." or
// "..", would move the file into another folder than the one asked for: no
// file system takes it as one name.
bool IsOneName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find(kSeparator) == std::string::npos &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

// Tries `target`, then (with `retry`) the targets whose last character is
// '0' .. '9', until one move succeeds.
Relocation MoveToFirstFreeName(const std::string& source, std::string target,
                               bool retry) {
  if (platform::MoveNoReplace(source, target)) return {true, true, target};
  for (char last = '0'; retry && last <= '9'; ++last) {
    target.back() = last;
    if (platform::MoveNoReplace(source, target)) return {true, false, target};
  }
  return {};
}

}  // namespace

std::string CanonicalName(const DatRecord& record) {
  if (record.crackName.empty()) return record.name;
  return record.name + " (" + record.crackName + ")";
}

bool EnsureFolder(const std::string& folder, const std::string& name) {
  std::string path = folder + name;
  return platform::PathExists(path) || platform::MakeDirectory(path);
}

Relocation RelocateFile(const std::string& source, const std::string& subfolder,
                        const std::string& newName, bool retry) {
  if (!IsOneName(newName)) return {};
  size_t slash = source.rfind(kSeparator);
  std::string folder = slash == std::string::npos
                           ? std::string(".") + kSeparator
                           : source.substr(0, slash + 1);
  std::string target = folder;
  if (!subfolder.empty()) {
    if (!EnsureFolder(folder, subfolder)) return {};
    target += subfolder + kSeparator;
  }
  target += newName;
  std::string extension = ExtensionOf(source);
  if (ExtensionOf(target) != extension) target += extension;
  return MoveToFirstFreeName(source, target, retry);
}

void IdentifyFile(Database& db, const std::string& fullPath,
                  std::vector<uint32_t>& crcs, RunFlags flags, MessageSink& out) {
  DatRecord* record = FindRecord(db, crcs);
  if (record == nullptr) return;
  if (flags & RF_INFO) {
    WriteInfoBlock(out, fullPath, *record);
    return;
  }
  std::string name = CanonicalName(*record);
  if (record->have) {
    RelocateFile(fullPath, "dupes", name, true);
    return;
  }
  record->have = 1;
  if (!RelocateFile(fullPath, "ren", name, false).first_target) {
    out.Print(Stream::kErr, "Possible name collision: %s\n", name.c_str());
    RelocateFile(fullPath, "", name, true);
  }
}
