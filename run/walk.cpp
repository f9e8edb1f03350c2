// The directory walk and the user cancel.
#include "run/walk.h"

#include <utility>
#include <vector>

#include "platform/platform.h"
#include "util/ascii.h"

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*") return true;
  // Greedy match with one backtrack point, the last '*' seen.
  size_t p = 0, n = 0, star = std::string::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

DirectoryWalker::DirectoryWalker(std::function<bool()> keyWaiting, MessageSink& sink)
    : key_waiting_(std::move(keyWaiting)), sink_(sink) {}

bool DirectoryWalker::CancelledByKey() {
  if (!key_waiting_()) return false;
  sink_.Write(Stream::kErr, "\nUser cancelled\n");
  stop_requested_ = true;
  return true;
}

void DirectoryWalker::WalkSubdirectories(const std::string& directory,
                                         const PerFileOperation& perFile,
                                         const std::string& pattern,
                                         RunFlags flags) {
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(directory, &entries)) return;
  for (const auto& entry : entries) {
    // A linked folder is not entered: the walk stays inside the tree.
    if (entry.name[0] != '.' && entry.kind == platform::FileKind::kDirectory) {
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

  sink_.Print(Stream::kErr, "Dir: %s\n", directory.c_str());
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(directory, &entries) || stop_requested_) return count;
  if (pass_hook_) {
    std::vector<platform::DirEntry> files;
    for (const auto& entry : entries) {
      if (WildcardMatch(pattern, entry.name) && entry.name[0] != '.') files.push_back(entry);
    }
    pass_hook_(directory, files);
  }
  for (const auto& entry : entries) {
    if (!WildcardMatch(pattern, entry.name)) continue;
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
