// The directory walk: hands the files of a directory that match one pattern
// to a per-file operation, one level of subdirectories first, and lets a key
// press stop the run between two files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audit/profile.h"
#include "platform/platform.h"
#include "util/messages.h"

// Audits one file: (bare name, directory ending in the separator, flags).
// 0 asks the walk to stop the whole run.
using PerFileOperation =
    std::function<uint32_t(const std::string& name, const std::string& directory,
                           RunFlags flags)>;

// Told by a files pass, before it hands on its first file, which entries it
// will hand on, in order: all of them, unless the run stops on the way.
using PassHook = std::function<void(const std::string& directory,
                                    const std::vector<platform::DirEntry>& files)>;

// True when `name` matches the wildcard `pattern` ('*' any run, '?' one
// character), ignoring ASCII case. "*.*" matches every name, dotted or not.
bool WildcardMatch(const std::string& pattern, const std::string& name);

class DirectoryWalker {
 public:
  // `keyWaiting` tells, without consuming it, whether a key press waits;
  // the walk's own lines go to `sink`.
  DirectoryWalker(std::function<bool()> keyWaiting, MessageSink& sink);

  // Walks `directory` (ending in the separator) for `pattern`; returns the
  // number of files handed on for which `perFile` returned non-zero.
  uint32_t WalkDirectory(const std::string& directory,
                         const PerFileOperation& perFile,
                         const std::string& pattern, RunFlags flags);

  // Set once by a key press or a 0 from the per-file operation; never cleared.
  bool StopRequested() const { return stop_requested_; }

  // Calls `hook` at the start of every files pass that hands on files.
  void OnPass(PassHook hook) { pass_hook_ = std::move(hook); }

 private:
  void WalkSubdirectories(const std::string& directory,
                          const PerFileOperation& perFile,
                          const std::string& pattern, RunFlags flags);
  bool CancelledByKey();

  std::function<bool()> key_waiting_;
  PassHook pass_hook_;
  MessageSink& sink_;
  bool stop_requested_ = false;
};
