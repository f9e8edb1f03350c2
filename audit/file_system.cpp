// The real file system, and the one a dry run plans on.
#include "audit/file_system.h"

platform::FileKind RealFileSystem::KindOf(const std::string& path) {
  return platform::KindOf(path);
}

bool RealFileSystem::MakeDirectory(const std::string& path, std::string* reason) {
  return platform::MakeDirectory(path, reason);
}

platform::MoveResult RealFileSystem::MoveNoReplace(const std::string& from, const std::string& to,
                                                   std::string* reason) {
  return platform::MoveNoReplace(from, to, reason);
}

platform::FileKind PlannedFileSystem::KindOf(const std::string& path) {
  auto planned = planned_.find(path);
  return planned != planned_.end() ? planned->second : platform::KindOf(path);
}

bool PlannedFileSystem::MakeDirectory(const std::string& path, std::string*) {
  planned_[path] = platform::FileKind::kDirectory;
  return true;
}

platform::MoveResult PlannedFileSystem::MoveNoReplace(const std::string& from,
                                                      const std::string& to, std::string*) {
  if (KindOf(to) != platform::FileKind::kMissing) return platform::MoveResult::kTargetExists;
  planned_[to] = KindOf(from);
  planned_[from] = platform::FileKind::kMissing;
  return platform::MoveResult::kMoved;
}
