// The file system as the rename step sees it: the real one, or a dry run's,
// which looks at the real one and remembers what it would have changed.
#pragma once

#include <map>
#include <string>

#include "platform/platform.h"

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // What `path` is, a symbolic link not followed.
  virtual platform::FileKind KindOf(const std::string& path) = 0;
  virtual bool MakeDirectory(const std::string& path, std::string* reason) = 0;
  // Never replaces: kTargetExists when `to` is there.
  virtual platform::MoveResult MoveNoReplace(const std::string& from, const std::string& to,
                                             std::string* reason) = 0;
};

// The system's own: every change is made.
class RealFileSystem : public FileSystem {
 public:
  platform::FileKind KindOf(const std::string& path) override;
  bool MakeDirectory(const std::string& path, std::string* reason) override;
  platform::MoveResult MoveNoReplace(const std::string& from, const std::string& to,
                                     std::string* reason) override;
};

// A dry run's: answers as the real file system would after the folders and
// moves asked of it so far, and changes nothing. What only the system can
// tell (a folder that may not be written to, a move to another file system)
// it cannot foresee: every folder and every move to a free name succeeds.
class PlannedFileSystem : public FileSystem {
 public:
  platform::FileKind KindOf(const std::string& path) override;
  bool MakeDirectory(const std::string& path, std::string* reason) override;
  platform::MoveResult MoveNoReplace(const std::string& from, const std::string& to,
                                     std::string* reason) override;

 private:
  // The paths that a planned change made, or emptied (kMissing).
  std::map<std::string, platform::FileKind> planned_;
};
