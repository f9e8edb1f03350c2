// The operating-system services Dewmop needs, behind one small interface.
// This is the only part of the program that talks to the OS directly.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

#ifdef _WIN32
constexpr char kSeparator = '\\';
constexpr char kSeparators[] = "\\/";  // either ends a folder name in a path
#else
constexpr char kSeparator = '/';
constexpr char kSeparators[] = "/";
#endif

// The process's current directory, without a trailing separator. False
// when the system cannot give it, or when it cannot reach the folder by
// that path (longer than the system allows, or through a folder that may
// not be searched); `error`, when given, then says why.
bool CurrentDirectory(std::string* out, std::string* error = nullptr);

// What a path names, seen without following a symbolic link.
enum class FileKind { kMissing, kRegular, kDirectory, kSymlink, kOther };

struct DirEntry {
  std::string name;
  FileKind kind = FileKind::kOther;  // the entry itself: a link is kSymlink
};

// The entries of `directory`, in the order the OS lists them ("." and ".."
// included, as a directory search yields them). False when the directory
// cannot be read.
bool ListDirectory(const std::string& directory, std::vector<DirEntry>* out);

// What `path` is; kMissing also when it cannot be looked at.
FileKind KindOf(const std::string& path);

// How reading a whole file went.
enum class ReadResult { kRead, kMissing, kNotRegular, kTooLarge, kFailed };

// Reads all of `path` into `bytes` when it is a regular file of at most
// `limit` bytes. The open never waits: a FIFO, a device or a folder is
// refused before a byte is read. kMissing: it cannot be opened (absent, no
// permission). On kFailed `error` says why.
ReadResult ReadRegularFile(const std::string& path, uint64_t limit, std::string* bytes,
                           std::string* error);

// On failure `reason` says why.
bool MakeDirectory(const std::string& path, std::string* reason);

// fopen for a UTF-8 path on every system; null when it cannot be opened.
FILE* OpenFile(const std::string& path, const char* mode);

// The size of an open file, found by seeking to its end (which a pipe
// refuses), beyond 2 GiB too; -1 when it cannot be had.
int64_t FileSize(FILE* file);

// Opens `path` (after symbolic links) for binary reading only when it is a
// regular file: a FIFO, a device or a directory is refused before it is
// opened, and the open itself never waits. nullptr when refused or when it
// cannot be opened; the caller closes the stream.
FILE* OpenRegularFile(const std::string& path);

// True when `stream` (stdout or stderr) is a terminal.
bool IsTerminal(FILE* stream);

enum class MoveResult { kMoved, kTargetExists, kFailed };

// Moves or renames `from` to `to`. Never replaces: kTargetExists, touching
// nothing, when `to` exists. kFailed for every other failure, with the
// system's reason in `reason`.
MoveResult MoveNoReplace(const std::string& from, const std::string& to,
                         std::string* reason);

// Replaces `path` with `bytes` so that a crash or a failure leaves either the
// old file or the new one, never a torn one. On failure `error` says why.
bool WriteFileAtomically(const std::string& path, const std::string& bytes,
                         std::string* error);

// Removes the scratch files that WriteFileAtomically(path) leaves beside
// `path` when the process ends while it writes. Only for a caller that knows
// no other process is writing `path` (one that holds its ExclusiveLock).
void RemoveStaleScratch(const std::string& path);

// An exclusive lock on the file `path`, made when missing. A second taker,
// in this process or another, is refused at once instead of waiting. It is
// held until the object goes, which removes the file, or until the process
// ends, however it ends: the lock is the system's, not the file's, so a file
// left by a killed run never blocks a later one.
class ExclusiveLock {
 public:
  enum class Result { kHeld, kTakenByAnother, kFailed };

  ExclusiveLock() = default;
  ~ExclusiveLock();
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

  // Called once per object. On kFailed (the file cannot be made or opened,
  // or is a symbolic link) `reason` says why.
  Result Take(const std::string& path, std::string* reason);

 private:
  intptr_t handle_ = -1;  // the OS's handle of the open lock file
  std::string path_;
};

// Keeps the heap's freed blocks of up to a few MiB for reuse, so that the
// image buffers of one file after another are not handed back to the kernel
// and faulted in again each time.
void TuneAllocator();

// The console key test. While a watch is on and standard input is a
// terminal, one key press counts without Enter and is left unread. The first
// SIGINT or SIGTERM also counts as a key press; a second ends the process at
// once. The terminal is restored by StopKeyWatch and on every way out.
void StartKeyWatch();
bool KeyWaiting();
void StopKeyWatch();

// True once the first SIGINT or SIGTERM of a key watch has come (a key
// press does not count). A plain read that any thread may make, so that
// long work can stop between two steps.
bool InterruptRequested();

}  // namespace platform
