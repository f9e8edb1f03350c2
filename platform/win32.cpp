// The platform layer on Windows: UTF-8 paths inside, UTF-16 at the Win32
// calls, and the console's key test and Ctrl-C.
#include "platform/platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string_view>

namespace platform {

namespace {

// --- Names ---------------------------------------------------------------
// Windows names are UTF-16 that may hold unpaired surrogates. Inside they
// are UTF-8, an unpaired surrogate written in its three-byte form (as WTF-8
// does), so that every name the file system holds round-trips.

bool IsHighSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The code point at `*at`, which moves past it; false for bytes that are
// not UTF-8 (a stray or missing continuation byte, an overlong form, a value
// past U+10FFFF).
bool DecodeUtf8(const std::string& text, size_t* at, uint32_t* out) {
  const uint8_t lead = static_cast<uint8_t>(text[*at]);
  size_t more;
  uint32_t c, least;
  if (lead < 0x80) {
    more = 0, c = lead, least = 0;
  } else if ((lead & 0xE0) == 0xC0) {
    more = 1, c = lead & 0x1Fu, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    more = 2, c = lead & 0x0Fu, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    more = 3, c = lead & 0x07u, least = 0x10000;
  } else {
    return false;
  }
  if (text.size() - *at <= more) return false;
  for (size_t i = 1; i <= more; ++i) {
    const uint8_t next = static_cast<uint8_t>(text[*at + i]);
    if ((next & 0xC0) != 0x80) return false;
    c = c << 6 | (next & 0x3Fu);
  }
  if (c < least || c > 0x10FFFF) return false;
  *at += more + 1;
  *out = c;
  return true;
}

// False for text that is not UTF-8, holds a zero, or writes a surrogate
// pair as two three-byte forms: none of these is a name.
bool ToWide(const std::string& text, std::wstring* out) {
  out->clear();
  uint32_t previous = 0;
  for (size_t at = 0; at < text.size();) {
    uint32_t c;
    if (!DecodeUtf8(text, &at, &c) || c == 0) return false;
    if (IsLowSurrogate(c) && IsHighSurrogate(previous)) return false;
    if (c >= 0x10000) {
      out->push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
      out->push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out->push_back(static_cast<wchar_t>(c));
    }
    previous = c;
  }
  return true;
}

std::string ToUtf8(const wchar_t* text) {
  std::string out;
  for (size_t i = 0; text[i] != 0; ++i) {
    uint32_t c = static_cast<uint16_t>(text[i]);
    const uint32_t next = static_cast<uint16_t>(text[i + 1]);
    if (IsHighSurrogate(c) && IsLowSurrogate(next)) {
      c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | c >> 6));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | c >> 12));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | c >> 18));
      out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// Win32 calls take paths of up to MAX_PATH characters (less for a folder
// to be made) unless the path is absolute and starts with "\\?\", which
// also turns off the changes Windows makes to a path: '/' is no separator
// there and ".." no step up. A long path is therefore made absolute and
// clean first, as Windows would have read it.
bool ToLongPath(std::wstring* path) {
  constexpr size_t kShortLimit = MAX_PATH - 12;  // CreateDirectoryW's limit
  if (path->size() < kShortLimit || path->starts_with(L"\\\\?\\") ||
      path->starts_with(L"\\\\.\\")) {
    return true;
  }
  const DWORD size = GetFullPathNameW(path->c_str(), 0, nullptr, nullptr);
  if (size == 0) return false;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path->c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return false;
  full.resize(length);
  if (full.starts_with(L"\\\\")) {
    *path = L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
  } else {
    *path = L"\\\\?\\" + full;
  }
  return true;
}

// A UTF-8 path for a Win32 call; on failure the last error says why.
bool ToWidePath(const std::string& path, std::wstring* out) {
  if (!ToWide(path, out)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  return ToLongPath(out);
}

// Windows reads '/' as a separator and ':' as the start of a stream name,
// refuses the other characters, drops a trailing dot or blank, and takes
// the name of one of its devices, with any extension, for the device: a
// target name like that would not be the name asked for.
bool IsDeviceName(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

bool IsPlainName(const std::string& path) {
  const size_t start = path.rfind(kSeparator);
  const std::string name = path.substr(start == std::string::npos ? 0 : start + 1);
  if (name.empty() || name.back() == '.' || name.back() == ' ' || IsDeviceName(name)) {
    return false;
  }
  for (unsigned char c : name) {
    if (c < 0x20 || std::string_view("/:*?\"<>|").find(static_cast<char>(c)) !=
                        std::string_view::npos) {
      return false;
    }
  }
  return true;
}

// The texts of the errors that both systems share are the C library's on
// Linux, so that a message reads the same on either.
std::string ErrorText(DWORD code) {
  switch (code) {
    case ERROR_ACCESS_DENIED:
      return "Permission denied";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "No such file or directory";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return "File exists";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "No space left on device";
    case ERROR_WRITE_PROTECT:
      return "Read-only file system";
    case ERROR_NOT_SAME_DEVICE:
      return "Invalid cross-device link";
    case ERROR_FILENAME_EXCED_RANGE:
      return "File name too long";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return "Cannot allocate memory";
    case ERROR_NO_UNICODE_TRANSLATION:
      return "Name is not valid UTF-8";
  }
  wchar_t* text = nullptr;
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                      FORMAT_MESSAGE_IGNORE_INSERTS;
  if (FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0,
                     nullptr) == 0) {
    return "Windows error " + std::to_string(code);
  }
  std::string message = ToUtf8(text);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == '.' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

// --- Files and folders ---------------------------------------------------

// A reparse point that stands for another file or folder (a symbolic link,
// a junction) is a link, never walked into nor moved; so is one whose tag
// is not told (Wine tells none). Other reparse points (files kept in the
// cloud, deduplicated files) are what they hold.
FileKind KindOfAttributes(DWORD attributes, DWORD reparse_tag) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      (reparse_tag == 0 || IsReparseTagNameSurrogate(reparse_tag))) {
    return FileKind::kSymlink;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::kDirectory;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return FileKind::kOther;
  return FileKind::kRegular;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

// Reads `file` to its end into `bytes`, which holds as many bytes as the file
// had when it was opened; false when it has grown beyond `limit` bytes.
bool ReadUpTo(HANDLE file, uint64_t limit, std::string* bytes, DWORD* error) {
  size_t done = 0;
  for (;;) {
    if (done == bytes->size()) {
      if (bytes->size() >= limit) {
        char probe;
        DWORD n = 0;
        if (!ReadFile(file, &probe, 1, &n, nullptr)) *error = GetLastError();
        return n == 0;
      }
      bytes->resize(std::min<uint64_t>(limit, bytes->size() + (1 << 16)));
    }
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1u << 30));
    DWORD n = 0;
    if (!ReadFile(file, bytes->data() + done, chunk, &n, nullptr)) *error = GetLastError();
    if (n == 0) {
      bytes->resize(done);
      return true;
    }
    done += n;
  }
}

// A new file "<path>.XXXXXX" that did not exist before, open for writing.
HANDLE CreateScratchBeside(const std::string& path, std::wstring* scratch) {
  static std::atomic<uint32_t> counter{0};
  const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  uint64_t seed = GetTickCount64() ^ uint64_t{GetCurrentProcessId()} << 32;
  for (int attempt = 0; attempt < 100; ++attempt) {
    uint64_t mix = (seed + counter++) * 0x9E3779B97F4A7C15u;
    std::string name = path + ".";
    for (int i = 0; i < 6; ++i, mix /= 36) name.push_back(kLetters[mix % 36]);
    if (!ToWidePath(name, scratch)) return INVALID_HANDLE_VALUE;
    HANDLE file = CreateFileW(scratch->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// The scratch names CreateScratchBeside makes, and mkstemp's on Linux.
bool IsScratchSuffix(const std::string& suffix) {
  if (suffix.size() != 6) return false;
  for (char c : suffix) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
      return false;
  }
  return true;
}

// Replaces `target` in one step, flushed before it returns: the old file or
// the new one. A read-only target is replaced as Linux replaces one in a
// folder that may be written; Windows refuses that while the attribute is
// set, so it goes first, and comes back when the replacement fails.
bool MoveOver(const std::wstring& scratch, const std::wstring& target) {
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool read_only = attributes != INVALID_FILE_ATTRIBUTES &&
                         (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
                         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  if (read_only) SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (MoveFileExW(scratch.c_str(), target.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  const DWORD error = GetLastError();
  if (read_only) SetFileAttributesW(target.c_str(), attributes);
  SetLastError(error);
  return false;
}

// The lock file opened for this run alone: no other open, in this process or
// another, succeeds while the handle is open, and the system closes it when
// the process ends, however it ends. Made, it is deleted on close. A link in
// its place is opened as itself, never followed.
HANDLE OpenLockFile(const std::wstring& path, DWORD* error) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                            OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE |
                                FILE_FLAG_OPEN_REPARSE_POINT,
                            nullptr);
  *error = GetLastError();
  if (file != INVALID_HANDLE_VALUE || *error != ERROR_ACCESS_DENIED) return file;
  // A folder where nothing may be made or removed can still hold an earlier
  // lock file (or a read-only one); it is held without being removed.
  file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION)
    *error = ERROR_SHARING_VIOLATION;
  return file;
}

// --- Console -------------------------------------------------------------

// Written by the console's control handler, which Windows runs on a thread
// of its own, and read by KeyWaiting and InterruptRequested.
std::atomic<int> g_interrupts{0};
std::atomic<bool> g_watching_keys{false};
std::atomic<UINT> g_saved_output_page{0};

void RestoreConsole() {
  const UINT page = g_saved_output_page.exchange(0);
  if (page != 0) SetConsoleOutputCP(page);
}

// Ctrl-C, Ctrl-Break and closing the console window (or logging off) stand
// for SIGINT and SIGTERM: the first counts as a key press, a second ends
// the process at once.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (g_interrupts.fetch_add(1) > 0) {
    RestoreConsole();
    TerminateProcess(GetCurrentProcess(), 130);
  }
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
    // Windows ends the process as soon as this handler returns: waiting
    // here lets the current file finish and the have file be written in
    // the few seconds it grants.
    Sleep(INFINITE);
  }
  return TRUE;
}

// A key going down, other than a lone modifier: what a terminal would pass
// on as input. Key releases (the Enter that started the program), mouse and
// focus events are not key presses.
bool IsKeyPress(const INPUT_RECORD& record) {
  if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) return false;
  switch (record.Event.KeyEvent.wVirtualKeyCode) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
      return false;
  }
  return true;
}

}  // namespace

bool CurrentDirectory(std::string* out, std::string* error) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) {
      if (error) *error = ErrorText(GetLastError());
      return false;
    }
    const bool fits = length < buffer.size();
    buffer.resize(length);
    if (fits) break;
  }
  // A drive's root ("C:\") is the one directory reported with a separator.
  if (buffer.back() == L'\\') buffer.pop_back();
  *out = ToUtf8(buffer.c_str());
  return true;
}

bool ListDirectory(const std::string& directory, std::vector<DirEntry>* out) {
  out->clear();
  std::string pattern = directory;
  if (!pattern.empty() && pattern.back() != kSeparator && pattern.back() != '/') {
    pattern += kSeparator;
  }
  pattern += '*';
  std::wstring wide;
  if (!ToWidePath(pattern, &wide)) return false;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(wide.c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  // A drive's root has no "." and "..": empty, it matches nothing.
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    out->push_back({ToUtf8(found.cFileName),
                    KindOfAttributes(found.dwFileAttributes, found.dwReserved0)});
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return true;
}

FileKind KindOf(const std::string& path) {
  std::wstring wide;
  if (!ToWidePath(path, &wide)) return FileKind::kMissing;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::kMissing;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return KindOfAttributes(attributes, 0);
  // Only a search tells the kind of reparse point; one that cannot be told
  // is taken for a link, which is neither walked nor moved.
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(wide.c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return FileKind::kSymlink;
  FindClose(search);
  return KindOfAttributes(attributes, found.dwReserved0);
}

ReadResult ReadRegularFile(const std::string& path, uint64_t limit, std::string* bytes,
                           std::string* error) {
  bytes->clear();
  std::wstring wide;
  HANDLE file = INVALID_HANDLE_VALUE;
  // Backup semantics open a folder too, which tells it from a missing file.
  if (ToWidePath(path, &wide)) {
    file = CreateFileW(wide.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) return ReadResult::kMissing;
  ReadResult result = ReadResult::kRead;
  DWORD failure = 0;
  BY_HANDLE_FILE_INFORMATION info;
  LARGE_INTEGER size;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    result = ReadResult::kNotRegular;
  } else if (!GetFileInformationByHandle(file, &info) || !GetFileSizeEx(file, &size)) {
    failure = GetLastError();
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    result = ReadResult::kNotRegular;
  } else if (static_cast<uint64_t>(size.QuadPart) > limit) {
    result = ReadResult::kTooLarge;
  } else {
    try {
      bytes->resize(static_cast<size_t>(size.QuadPart));
      // The file may have grown or shrunk since its size was taken.
      if (!ReadUpTo(file, limit, bytes, &failure)) result = ReadResult::kTooLarge;
    } catch (const std::bad_alloc&) {
      failure = ERROR_NOT_ENOUGH_MEMORY;
    }
  }
  CloseHandle(file);
  if (failure != 0) {
    *error = ErrorText(failure);
    result = ReadResult::kFailed;
  }
  if (result != ReadResult::kRead) std::string().swap(*bytes);
  return result;
}

bool MakeDirectory(const std::string& path, std::string* reason) {
  std::wstring wide;
  if (ToWidePath(path, &wide) && CreateDirectoryW(wide.c_str(), nullptr)) return true;
  *reason = ErrorText(GetLastError());
  return false;
}

FILE* OpenFile(const std::string& path, const char* mode) {
  std::wstring wide_path, wide_mode;
  if (!ToWidePath(path, &wide_path) || !ToWide(mode, &wide_mode)) return nullptr;
  return _wfopen(wide_path.c_str(), wide_mode.c_str());
}

// The C runtime's ftell is 32 bits wide here.
int64_t FileSize(FILE* file) {
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  return _ftelli64(file);
}

// Opening a pipe or a device does not wait; what was opened is looked at
// before a byte is read from it.
FILE* OpenRegularFile(const std::string& path) {
  std::wstring wide;
  if (!ToWidePath(path, &wide)) return nullptr;
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION info;
  const bool regular = GetFileType(handle) == FILE_TYPE_DISK &&
                       GetFileInformationByHandle(handle, &info) &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  const int fd = regular ? _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                           _O_RDONLY | _O_BINARY)
                         : -1;
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(fd, "rb");
  if (file == nullptr) _close(fd);
  return file;
}

bool IsTerminal(FILE* stream) {
  const intptr_t handle = _get_osfhandle(_fileno(stream));
  DWORD mode;
  return handle != -1 && GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode) != 0;
}

// Without MOVEFILE_COPY_ALLOWED a move to another volume fails, as a rename
// does on POSIX systems: a file is never copied and deleted.
MoveResult MoveNoReplace(const std::string& from, const std::string& to,
                         std::string* reason) {
  if (!IsPlainName(to)) {
    *reason = "Windows does not take this name";
    return MoveResult::kFailed;
  }
  std::wstring wide_from, wide_to;
  if (ToWidePath(from, &wide_from) && ToWidePath(to, &wide_to) &&
      MoveFileExW(wide_from.c_str(), wide_to.c_str(), 0)) {
    return MoveResult::kMoved;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return MoveResult::kTargetExists;
  *reason = ErrorText(error);
  return MoveResult::kFailed;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes,
                         std::string* error) {
  std::wstring target, scratch;
  HANDLE file = INVALID_HANDLE_VALUE;
  if (ToWidePath(path, &target)) file = CreateScratchBeside(path, &scratch);
  if (file == INVALID_HANDLE_VALUE) {
    *error = ErrorText(GetLastError());
    return false;
  }
  bool ok = WriteAll(file, bytes) && FlushFileBuffers(file);
  DWORD saved = GetLastError();
  if (!CloseHandle(file) && ok) {
    ok = false;
    saved = GetLastError();
  }
  if (ok && !MoveOver(scratch, target)) {
    ok = false;
    saved = GetLastError();
  }
  if (!ok) {
    DeleteFileW(scratch.c_str());
    *error = ErrorText(saved);
  }
  return ok;
}

void RemoveStaleScratch(const std::string& path) {
  const size_t name_start = path.rfind(kSeparator) + 1;  // 0 without a separator
  const std::string folder = path.substr(0, name_start);
  const std::string prefix = path.substr(name_start) + ".";
  std::vector<DirEntry> entries;
  if (!ListDirectory(folder, &entries)) return;
  for (const auto& entry : entries) {
    std::wstring wide;
    if (entry.kind == FileKind::kRegular && entry.name.starts_with(prefix) &&
        IsScratchSuffix(entry.name.substr(prefix.size())) &&
        ToWidePath(folder + entry.name, &wide)) {
      DeleteFileW(wide.c_str());
    }
  }
}

ExclusiveLock::~ExclusiveLock() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

ExclusiveLock::Result ExclusiveLock::Take(const std::string& path, std::string* reason) {
  std::wstring wide;
  if (!ToWidePath(path, &wide)) {
    *reason = ErrorText(GetLastError());
    return Result::kFailed;
  }
  if (KindOf(path) == FileKind::kSymlink) {
    *reason = "Too many levels of symbolic links";  // what Linux says of one
    return Result::kFailed;
  }
  // A refusal may come from a holder's file that is going away just then:
  // the next attempt finds it gone.
  DWORD error = 0;
  for (int attempt = 0; attempt < 10; ++attempt) {
    HANDLE file = OpenLockFile(wide, &error);
    if (file != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<intptr_t>(file);
      path_ = path;
      return Result::kHeld;
    }
    if (error == ERROR_SHARING_VIOLATION) {
      *reason = ErrorText(error);
      return Result::kTakenByAnother;
    }
    if (error != ERROR_ACCESS_DENIED) break;
    Sleep(1);
  }
  *reason = ErrorText(error);
  return Result::kFailed;
}

// The Windows heap has no setting for the size above which freed blocks go
// back to the system.
void TuneAllocator() {}

// The console shows the program's UTF-8 text while the watch is on.
void StartKeyWatch() {
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  const UINT page = GetConsoleOutputCP();
  if (page != 0 && page != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
    g_saved_output_page = page;
    static bool registered = false;
    if (!registered) registered = atexit(RestoreConsole) == 0;
  }
  DWORD mode;
  g_watching_keys = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// Events ahead of the first key press are taken out of the way, so that
// they do not pile up in front of it; the key itself stays unread.
bool KeyWaiting() {
  if (g_interrupts > 0) return true;
  if (!g_watching_keys) return false;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  INPUT_RECORD record;
  DWORD count = 0;
  while (GetNumberOfConsoleInputEvents(input, &count) && count > 0 &&
         PeekConsoleInputW(input, &record, 1, &count) && count == 1) {
    if (IsKeyPress(record)) return true;
    ReadConsoleInputW(input, &record, 1, &count);
  }
  return false;
}

void StopKeyWatch() {
  g_watching_keys = false;
  RestoreConsole();
}

bool InterruptRequested() { return g_interrupts > 0; }

}  // namespace platform
