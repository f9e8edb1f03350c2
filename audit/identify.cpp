// Identification, canonical names and moving files without replacing any.
#include "audit/identify.h"

#include <string_view>

#include "audit/report.h"
#include "database/match.h"

namespace {

constexpr char kSeparator = platform::kSeparator;

// The end of the folder part of `path`, or npos.
size_t LastSeparator(const std::string& path) {
  return path.find_last_of(platform::kSeparators);
}

// The text from the last '.' of the path's file name, or "".
std::string ExtensionOf(const std::string& path) {
  size_t name_start = LastSeparator(path);
  name_start = name_start == std::string::npos ? 0 : name_start + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < name_start) return "";
  return path.substr(dot);
}

// `name` and the source's extension, unless the name already ends in it
// (case counts).
std::string WithExtension(const std::string& name, const std::string& extension) {
  return ExtensionOf(name) == extension ? name : name + extension;
}

// A name that holds a separator, or is "." or "..", would move the file
// into another folder than the one asked for.
bool IsOneName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find(kSeparator) == std::string::npos &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

// True when `path` lies where a rename would put it: in a "ren" folder under
// `fileName` and its own extension, or in a "dupes" folder under that name
// or one of its numbered forms. Such a file is not moved again.
bool IsFiled(const std::string& path, const std::string& fileName) {
  std::string folder = FolderOf(path);
  folder.pop_back();
  std::string folderName = folder.substr(LastSeparator(folder) + 1);
  std::string name = path.substr(LastSeparator(path) + 1);
  std::string filed = WithExtension(fileName, ExtensionOf(path));
  if (folderName == "ren") return name == filed;
  if (folderName != "dupes" || name.size() != filed.size()) return false;
  size_t last = name.size() - 1;
  return name == filed || (name.compare(0, last, filed, 0, last) == 0 &&
                           name[last] >= '0' && name[last] <= '9');
}

bool EnsureFolder(FileSystem& files, const std::string& path, std::string* reason) {
  switch (files.KindOf(path)) {
    case platform::FileKind::kDirectory:
      return true;
    case platform::FileKind::kMissing:
      return files.MakeDirectory(path, reason);
    case platform::FileKind::kSymlink:
      *reason = path + " is a symbolic link";
      return false;
    default:
      *reason = path + " is not a folder";
      return false;
  }
}

// The source as a target is built: its folder, then its name.
std::string OwnPath(const std::string& source) {
  return FolderOf(source) + source.substr(LastSeparator(source) + 1);
}

Relocation TryMove(FileSystem& files, const std::string& source, const std::string& target) {
  Relocation result{MoveOutcome::kTaken, target, ""};
  if (target == OwnPath(source)) {
    result.outcome = MoveOutcome::kAlreadyThere;
    return result;
  }
  switch (files.MoveNoReplace(source, target, &result.reason)) {
    case platform::MoveResult::kMoved:
      result.outcome = MoveOutcome::kMoved;
      break;
    case platform::MoveResult::kFailed:
      result.outcome = MoveOutcome::kFailed;
      break;
    case platform::MoveResult::kTargetExists:
      break;
  }
  return result;
}

// Tries `target`, then (with `retry`) the targets whose last character is
// '0' .. '9', while another file holds the name.
Relocation MoveToFirstFreeName(FileSystem& files, const std::string& source,
                               std::string target, bool retry) {
  Relocation result = TryMove(files, source, target);
  for (char last = '0'; retry && result.outcome == MoveOutcome::kTaken && last <= '9';
       ++last) {
    target.back() = last;
    result = TryMove(files, source, target);
  }
  return result;
}

void ReportFailure(MessageSink& out, const std::string& source, const Relocation& move) {
  if (move.outcome == MoveOutcome::kFailed || move.outcome == MoveOutcome::kRefused) {
    out.Print(Stream::kErr, "Err: Unable to move %s to %s: %s\n", source.c_str(),
              move.target.c_str(), move.reason.c_str());
  }
}

// The file is left where it was, for `reason`.
Identification Stayed(Identification found, const std::string& reason) {
  found.placement = Placement::kStayed;
  found.reason = reason;
  return found;
}

// `placement` when the file moved, else why it stayed.
Identification Placed(Identification found, Placement placement, const Relocation& move) {
  switch (move.outcome) {
    case MoveOutcome::kMoved:
      found.placement = placement;
      found.target = move.target;
      return found;
    case MoveOutcome::kAlreadyThere:
      return Stayed(found, "already so named");
    case MoveOutcome::kTaken:
      return Stayed(found, "every name taken");
    case MoveOutcome::kFailed:
    case MoveOutcome::kRefused:
      break;
  }
  return Stayed(found, move.reason);
}

}  // namespace

std::string FolderOf(const std::string& path) {
  size_t slash = LastSeparator(path);
  return slash == std::string::npos ? std::string(".") + kSeparator
                                    : path.substr(0, slash + 1);
}

std::string CanonicalName(const DatRecord& record) {
  if (record.crackName.empty()) return record.name;
  return record.name + " (" + record.crackName + ")";
}

std::string FileNameOf(const std::string& canonicalName) {
  constexpr std::string_view kRefused = "/\\:*?\"<>|";
  std::string name = canonicalName;
  for (char& c : name) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || kRefused.find(c) != std::string_view::npos) c = '_';
  }
  return name;
}

Relocation RelocateFile(FileSystem& files, const std::string& source,
                        const std::string& subfolder, const std::string& newName, bool retry) {
  std::string folder = FolderOf(source);
  std::string target = folder;
  if (!subfolder.empty()) target += subfolder + kSeparator;
  target += WithExtension(newName, ExtensionOf(source));
  if (!IsOneName(newName)) return {MoveOutcome::kRefused, target, "the title makes no file name"};
  // Moved, a link would point elsewhere or nowhere.
  if (files.KindOf(source) == platform::FileKind::kSymlink)
    return {MoveOutcome::kRefused, target, "a symbolic link is not moved"};
  std::string reason;
  if (!subfolder.empty() && !EnsureFolder(files, folder + subfolder, &reason))
    return {MoveOutcome::kFailed, target, reason};
  return MoveToFirstFreeName(files, source, target, retry);
}

Identification IdentifyFile(Database& db, FileSystem& files, const std::string& fullPath,
                            std::vector<uint32_t>& crcs, RunFlags flags, MessageSink& out) {
  Identification found;
  found.title = FindRecordIndex(db, crcs);
  if (found.title == 0) {
    found.near = FindNearMatch(db, crcs, out);
    if ((flags & RF_INFO) && found.near.index != 0) {
      WriteNearBlock(out, fullPath, CanonicalName(db.records[found.near.index]), found.near);
    }
    return found;
  }
  DatRecord& record = db.records[found.title];
  if (flags & RF_INFO) {
    WriteInfoBlock(out, fullPath, record);
    return found;
  }
  std::string name = CanonicalName(record);
  std::string fileName = FileNameOf(name);
  if (IsFiled(fullPath, fileName)) {
    record.have = 1;
    return Stayed(found, "already filed");
  }
  if (record.have) {
    Relocation dupes = RelocateFile(files, fullPath, "dupes", fileName, true);
    ReportFailure(out, fullPath, dupes);
    return Placed(found, Placement::kDupes, dupes);
  }
  record.have = 1;
  Relocation ren = RelocateFile(files, fullPath, "ren", fileName, false);
  if (ren.outcome == MoveOutcome::kMoved) return Placed(found, Placement::kRen, ren);
  if (ren.outcome == MoveOutcome::kTaken) {
    out.Print(Stream::kErr, "Possible name collision: %s\n", name.c_str());
  } else {
    ReportFailure(out, fullPath, ren);
    if (ren.outcome == MoveOutcome::kRefused) return Stayed(found, ren.reason);
  }
  Relocation inPlace = RelocateFile(files, fullPath, "", fileName, true);
  ReportFailure(out, fullPath, inPlace);
  return Placed(found, Placement::kInPlace, inPlace);
}
