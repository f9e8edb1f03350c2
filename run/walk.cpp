// The directory walk and the user cancel.
#include "run/walk.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/platform.h"

DirectoryWalker::DirectoryWalker(std::function<bool()> keyWaiting)
    : key_waiting_(std::move(keyWaiting)) {}

bool DirectoryWalker::CancelledByKey() {
  if (!key_waiting_()) return false;
  fputs("\nUser cancelled\n", stderr);
  stop_requested_ = true;
  return true;
}

void DirectoryWalker::WalkSubdirectories(const std::string& directory,
                                         const PerFileOperation& perFile,
                                         const std::string& pattern,
                                         RunFlags flags) {
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(directory, "*.*", &entries)) return;
  for (const auto& entry : entries) {
    if (entry.name[0] != '.' && entry.is_directory) {
      WalkDirectory(directory + entry.name + platform::kSeparator, perFile,
                    pattern, flags);
    }
    if (CancelledByKey()) return;
  }
}

uint32_t DirectoryWalker::WalkDirectory(const std::string& directory,
                                        const PerFileOperation& perFile,
                                        const std::string& pattern,
                                        RunFlags flags) {
  uint32_t count = 0;
  if (!stop_requested_ && (flags & RF_SUBDIRS)) {
    // Nested walks and this call's own files pass go without RF_SUBDIRS, so
    // that nesting ends after one level.
    flags &= ~RF_SUBDIRS;
    WalkSubdirectories(directory, perFile, pattern, flags);
  }

  fprintf(stderr, "Dir: %s\n", directory.c_str());
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(directory, pattern, &entries) || stop_requested_)
    return count;
  for (const auto& entry : entries) {
    if (entry.name[0] != '.') {
      if (perFile(entry.name, directory, flags) == 0) {
        stop_requested_ = true;
        return count;
      }
      ++count;
    }
    if (CancelledByKey()) return count;
  }
  return count;
}
