// The platform layer on POSIX systems (Linux).
#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace platform {

bool CurrentDirectory(std::string* out) {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return false;
    buffer.resize(buffer.size() * 2);
  }
  *out = buffer.data();
  return true;
}

static bool IsDirectory(const std::string& path, const struct dirent* entry) {
  if (entry->d_type == DT_DIR) return true;
  if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) return false;
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ListDirectory(const std::string& directory, std::vector<DirEntry>* out) {
  out->clear();
  DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
  if (dir == nullptr) return false;
  while (const struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    std::string path = directory;
    if (!path.empty() && path.back() != kSeparator) path += kSeparator;
    out->push_back({name, IsDirectory(path + name, entry)});
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

bool PathExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool MakeDirectory(const std::string& path) {
  return mkdir(path.c_str(), 0777) == 0;
}

bool MoveNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(),
                RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  // A file system without no-replace renames: a hard link fails when the
  // target exists, and only a successful link lets the old name go.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  if (unlink(from.c_str()) != 0) {
    unlink(to.c_str());
    return false;
  }
  return true;
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

void TuneAllocator() {
  constexpr int kKeep = 4 << 20;
  mallopt(M_MMAP_THRESHOLD, kKeep);
  mallopt(M_TRIM_THRESHOLD, kKeep);
}

// Key watch state: written by the signal handler and read by KeyWaiting.
static volatile sig_atomic_t g_interrupts = 0;
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

}  // namespace platform
