// The platform layer on POSIX systems (Linux).
#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

namespace platform {

bool CurrentDirectory(std::string* out, std::string* error) {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) {
      if (error) *error = std::strerror(errno);
      return false;
    }
    buffer.resize(buffer.size() * 2);
  }
  // getcwd gives paths longer than PATH_MAX, which no open or opendir takes.
  if (access(buffer.data(), F_OK) != 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  *out = buffer.data();
  return true;
}

static FileKind KindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kRegular;
  if (S_ISDIR(mode)) return FileKind::kDirectory;
  if (S_ISLNK(mode)) return FileKind::kSymlink;
  return FileKind::kOther;
}

FileKind KindOf(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return FileKind::kMissing;
  return KindOfMode(st.st_mode);
}

static FileKind KindOfEntry(const std::string& path, const struct dirent* entry) {
  switch (entry->d_type) {
    case DT_REG: return FileKind::kRegular;
    case DT_DIR: return FileKind::kDirectory;
    case DT_LNK: return FileKind::kSymlink;
    case DT_UNKNOWN: return KindOf(path);
    default: return FileKind::kOther;
  }
}

bool ListDirectory(const std::string& directory, std::vector<DirEntry>* out) {
  out->clear();
  DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
  if (dir == nullptr) return false;
  while (const struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    std::string path = directory;
    if (!path.empty() && path.back() != kSeparator) path += kSeparator;
    out->push_back({name, KindOfEntry(path + name, entry)});
  }
  closedir(dir);
  return true;
}

// Reads `fd` to its end into `bytes`, which holds as many bytes as the file
// had when it was opened; false when it has grown beyond `limit` bytes.
static bool ReadUpTo(int fd, uint64_t limit, std::string* bytes, int* error) {
  size_t done = 0;
  for (;;) {
    if (done == bytes->size()) {
      if (bytes->size() >= limit) {
        char probe;
        ssize_t n = read(fd, &probe, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) *error = errno;
        return n <= 0;
      }
      bytes->resize(std::min<uint64_t>(limit, bytes->size() + (1 << 16)));
    }
    ssize_t n = read(fd, bytes->data() + done, bytes->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) *error = errno;
      bytes->resize(done);
      return true;
    }
    done += static_cast<size_t>(n);
  }
}

ReadResult ReadRegularFile(const std::string& path, uint64_t limit, std::string* bytes,
                           std::string* error) {
  bytes->clear();
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return ReadResult::kMissing;
  struct stat st;
  ReadResult result = ReadResult::kRead;
  int failure = 0;
  if (fstat(fd, &st) != 0) {
    failure = errno;
  } else if (!S_ISREG(st.st_mode)) {
    result = ReadResult::kNotRegular;
  } else if (static_cast<uint64_t>(st.st_size) > limit) {
    result = ReadResult::kTooLarge;
  } else {
    try {
      bytes->resize(static_cast<size_t>(st.st_size));
      // The file may have grown or shrunk since fstat.
      if (!ReadUpTo(fd, limit, bytes, &failure)) result = ReadResult::kTooLarge;
    } catch (const std::bad_alloc&) {
      failure = ENOMEM;
    }
  }
  close(fd);
  if (failure != 0) {
    *error = std::strerror(failure);
    result = ReadResult::kFailed;
  }
  if (result != ReadResult::kRead) std::string().swap(*bytes);
  return result;
}

bool MakeDirectory(const std::string& path, std::string* reason) {
  if (mkdir(path.c_str(), 0777) == 0) return true;
  *reason = std::strerror(errno);
  return false;
}

static MoveResult MoveFailed(std::string* reason) {
  if (errno == EEXIST) return MoveResult::kTargetExists;
  *reason = std::strerror(errno);
  return MoveResult::kFailed;
}

// stat first, so that a FIFO or a device is never opened at all; then the
// open, which O_NONBLOCK keeps from waiting if the name was swapped in
// between, and fstat to be sure of what was opened.
FILE* OpenRegularFile(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return nullptr;
  }
  FILE* file = fdopen(fd, "rb");
  if (file == nullptr) close(fd);
  return file;
}

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) == 1; }

FILE* OpenFile(const std::string& path, const char* mode) {
  return fopen(path.c_str(), mode);
}

int64_t FileSize(FILE* file) {
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  return ftello(file);
}

MoveResult MoveNoReplace(const std::string& from, const std::string& to,
                         std::string* reason) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(),
                RENAME_NOREPLACE) == 0) {
    return MoveResult::kMoved;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return MoveFailed(reason);
  // A file system without no-replace renames: a hard link fails when the
  // target exists, and only a successful link lets the old name go.
  if (link(from.c_str(), to.c_str()) != 0) return MoveFailed(reason);
  if (unlink(from.c_str()) != 0) {
    *reason = std::strerror(errno);
    unlink(to.c_str());
    return MoveResult::kFailed;
  }
  return MoveResult::kMoved;
}

static std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind(kSeparator);
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

static bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

static void SyncFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes,
                         std::string* error) {
  std::string temp = path + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    *error = std::strerror(errno);
    return false;
  }
  fchmod(fd, 0644);
  bool ok = WriteAll(fd, bytes) && fsync(fd) == 0;
  int saved = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    unlink(temp.c_str());
    *error = std::strerror(saved);
    return false;
  }
  SyncFolder(FolderOf(path));
  return true;
}

// mkstemp's six characters.
static bool IsScratchSuffix(const std::string& suffix) {
  if (suffix.size() != 6) return false;
  for (char c : suffix) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
      return false;
  }
  return true;
}

void RemoveStaleScratch(const std::string& path) {
  size_t name_start = path.rfind(kSeparator) + 1;  // 0 without a separator
  std::string folder = path.substr(0, name_start);
  std::string prefix = path.substr(name_start) + ".";
  std::vector<DirEntry> entries;
  if (!ListDirectory(folder, &entries)) return;
  for (const auto& entry : entries) {
    if (entry.kind == FileKind::kRegular && entry.name.starts_with(prefix) &&
        IsScratchSuffix(entry.name.substr(prefix.size()))) {
      unlink((folder + entry.name).c_str());
    }
  }
}

ExclusiveLock::~ExclusiveLock() {
  if (handle_ < 0) return;
  // Removed while still held: a run that opened the old file finds, once it
  // holds that, that the name is no longer its file, and tries again.
  unlink(path_.c_str());
  close(static_cast<int>(handle_));
}

static int OpenLockFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd >= 0 || (errno != EACCES && errno != EROFS)) return fd;
  // A folder where nothing may be made can still hold an earlier lock file.
  int refused = errno;
  fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) errno = refused;
  return fd;
}

static bool IsStillNamed(int fd, const std::string& path) {
  struct stat held, named;
  return fstat(fd, &held) == 0 && lstat(path.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

ExclusiveLock::Result ExclusiveLock::Take(const std::string& path, std::string* reason) {
  // Each retry follows a holder that removed the file on its way out.
  for (int attempt = 0; attempt < 10; ++attempt) {
    int fd = OpenLockFile(path);
    if (fd < 0) {
      *reason = std::strerror(errno);
      return Result::kFailed;
    }
    // flock, not fcntl's record locks: it belongs to this open file, so a
    // second open in the same process is refused too, and the system lets
    // it go when the process ends, however it ends.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      bool taken = errno == EWOULDBLOCK;
      *reason = std::strerror(errno);
      close(fd);
      return taken ? Result::kTakenByAnother : Result::kFailed;
    }
    if (IsStillNamed(fd, path)) {
      handle_ = fd;
      path_ = path;
      return Result::kHeld;
    }
    close(fd);
  }
  *reason = "the lock file keeps changing";
  return Result::kTakenByAnother;
}

void TuneAllocator() {
  constexpr int kKeep = 4 << 20;
  mallopt(M_MMAP_THRESHOLD, kKeep);
  mallopt(M_TRIM_THRESHOLD, kKeep);
}

// Key watch state: written by the signal handler, read by KeyWaiting and by
// any thread through InterruptRequested.
static std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");
static bool g_terminal_saved = false;
static struct termios g_saved_terminal;

static void RestoreTerminal() {
  if (g_terminal_saved) tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
}

static void OnInterrupt(int) {
  if (g_interrupts > 0) {
    RestoreTerminal();
    _exit(130);
  }
  g_interrupts = 1;
}

void StartKeyWatch() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &g_saved_terminal) != 0)
    return;
  g_terminal_saved = true;
  atexit(RestoreTerminal);
  struct termios raw = g_saved_terminal;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
}

bool KeyWaiting() {
  if (g_interrupts > 0) return true;
  if (!g_terminal_saved) return false;
  struct pollfd input = {STDIN_FILENO, POLLIN, 0};
  return poll(&input, 1, 0) > 0 && (input.revents & POLLIN) != 0;
}

void StopKeyWatch() {
  RestoreTerminal();
  g_terminal_saved = false;
}

bool InterruptRequested() { return g_interrupts > 0; }

}  // namespace platform
