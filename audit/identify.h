// The identification step: look a file's title up, then print it or move the
// file to the title's canonical name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audit/profile.h"
#include "database/dat.h"
#include "util/messages.h"

// Looks the title of `crcs` (sorted in place) up; with RF_INFO prints its
// info block, otherwise moves the file into "ren" (the title's first file)
// or "dupes" (a title already present) and marks the title present.
void IdentifyFile(Database& db, const std::string& fullPath,
                  std::vector<uint32_t>& crcs, RunFlags flags, MessageSink& out);

// "Name (Crack)", or the name alone when there is no crack name.
std::string CanonicalName(const DatRecord& record);

// Where a move took a file.
struct Relocation {
  bool moved = false;         // the file left its place
  bool first_target = false;  // ... for the target as built, not a numbered one
  std::string target;         // where it is now, when it moved
};

// Moves `source` to `newName` in its own folder, or in its subfolder
// `subfolder` when that is not empty, keeping the source's extension. Never
// replaces an existing file. With `retry`, a failed move is tried again with
// the target's last character set to '0' .. '9' in turn.
Relocation RelocateFile(const std::string& source, const std::string& subfolder,
                        const std::string& newName, bool retry);

// Makes sure `folder` (ending in the separator) has a subfolder `name`.
bool EnsureFolder(const std::string& folder, const std::string& name);
