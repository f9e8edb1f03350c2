// The operating-system services Dewmop needs, behind one small interface.
// This is the only part of the program that talks to the OS directly.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace platform {

constexpr char kSeparator = '/';

// The process's current directory, without a trailing separator. False
// when the system cannot give it, or when it cannot reach the folder by
// that path (longer than the system allows, or through a folder that may
// not be searched); `error`, when given, then says why.
bool CurrentDirectory(std::string* out, std::string* error = nullptr);

struct DirEntry {
  std::string name;
  bool is_directory = false;
};

// The entries of `directory`, in the order the OS lists them ("." and ".."
// included, as a directory search yields them). False when the directory
// cannot be read.
bool ListDirectory(const std::string& directory, std::vector<DirEntry>* out);

// True when a file or directory of that path exists.
bool PathExists(const std::string& path);

bool MakeDirectory(const std::string& path);

// Opens `path` (after symbolic links) for binary reading only when it is a
// regular file: a FIFO, a device or a directory is refused before it is
// opened, and the open itself never waits. nullptr when refused or when it
// cannot be opened; the caller closes the stream.
FILE* OpenRegularFile(const std::string& path);

// True when `stream` (stdout or stderr) is a terminal.
bool IsTerminal(FILE* stream);

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

// True once the first SIGINT or SIGTERM of a key watch has come (a key
// press does not count). A plain read that any thread may make, so that
// long work can stop between two steps.
bool InterruptRequested();

}  // namespace platform
