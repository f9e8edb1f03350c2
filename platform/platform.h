// The operating-system services Dewmop needs, behind one small interface.
// This is the only part of the program that talks to the OS directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

constexpr char kSeparator = '/';

// The process's current directory, without a trailing separator.
bool CurrentDirectory(std::string* out);

struct DirEntry {
  std::string name;
  bool is_directory = false;
};

// The entries of `directory`, in the order the OS lists them ("." and ".."
// included, as a directory search yields them). False when the directory
// cannot be read.
bool ListDirectory(const std::string& directory, std::vector<DirEntry>* out);

// How reading a whole file went.
enum class ReadResult { kRead, kMissing, kNotRegular, kTooLarge, kFailed };

// Reads all of `path` into `bytes` when it is a regular file of at most
// `limit` bytes. The open never waits: a FIFO, a device or a folder is
// refused before a byte is read. kMissing: it cannot be opened (absent, no
// permission). On kFailed `error` says why.
ReadResult ReadRegularFile(const std::string& path, uint64_t limit, std::string* bytes,
                           std::string* error);

// True when a file or directory of that path exists.
bool PathExists(const std::string& path);

bool MakeDirectory(const std::string& path);

// Moves or renames `from` to `to`; fails, touching nothing, when `to` exists.
bool MoveNoReplace(const std::string& from, const std::string& to);

// Replaces `path` with `bytes` so that a crash or a failure leaves either the
// old file or the new one, never a torn one. On failure `error` says why.
bool WriteFileAtomically(const std::string& path, const std::string& bytes,
                         std::string* error);

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

}  // namespace platform
