// The identification step: look a file's title up, then print it or move the
// file to the title's canonical name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audit/file_system.h"
#include "audit/profile.h"
#include "database/dat.h"
#include "database/near.h"
#include "util/messages.h"

// Where the rename step put an identified file.
enum class Placement {
  kNone,     // no rename step: not identified, or not a rename run
  kRen,      // moved into "ren": the title's first file
  kDupes,    // moved into "dupes": a title already present
  kInPlace,  // renamed in its own folder: the move into "ren" failed
  kStayed,   // left where it was
};

struct Identification {
  uint32_t title = 0;  // the title's index; 0 when none matched
  Placement placement = Placement::kNone;
  std::string target;  // kRen, kDupes, kInPlace: the file's new path
  std::string reason;  // kStayed: why
  NearMatch near;      // none matched: the nearest title, if any
};

// Looks the title of `crcs` (sorted in place) up; with RF_INFO prints its
// info block, otherwise moves the file through `files` into "ren" (the
// title's first file) or "dupes" (a title already present) and marks the
// title present. A dry run passes a PlannedFileSystem: its decisions are
// those of the real run, and nothing moves. When no title matches, the
// result's `near` is the nearest title, which RF_INFO prints; a near title
// is never marked present and never names a file.
Identification IdentifyFile(Database& db, FileSystem& files, const std::string& fullPath,
                            std::vector<uint32_t>& crcs, RunFlags flags, MessageSink& out);

// The folder of `path`, ending in the separator; "./" for a bare name.
std::string FolderOf(const std::string& path);

// "Name (Crack)", or the name alone when there is no crack name: the title
// as written.
std::string CanonicalName(const DatRecord& record);

// `canonicalName` as a file name that both Linux and Windows take: every
// character that cannot stand in a name on either (/ \ : * ? " < > | and
// control characters) is written '_', so a collection renamed on one system
// is valid on the other.
std::string FileNameOf(const std::string& canonicalName);

enum class MoveOutcome {
  kMoved,         // the file left its place
  kAlreadyThere,  // the target is the file's own name
  kTaken,         // every target tried is held by another file
  kFailed,        // the system refused the move for another reason
  kRefused,       // never tried: the file is a symbolic link, or the name is none
};

struct Relocation {
  MoveOutcome outcome = MoveOutcome::kRefused;
  std::string target;  // the last target tried: where the file is when it moved
  std::string reason;  // why, when kFailed or kRefused
};

// Moves `source` through `files` to `newName` in its own folder, or in its
// subfolder `subfolder` when that is not empty, keeping the source's
// extension. Never replaces an existing file, never moves a symbolic link,
// and uses no subfolder that is a link or not a folder. With `retry`, a
// target held by another file is tried again with its last character set to
// '0' .. '9' in turn.
Relocation RelocateFile(FileSystem& files, const std::string& source,
                        const std::string& subfolder, const std::string& newName, bool retry);
