// The platform layer on Windows: the listing's order, names in UTF-8 that
// round-trip, names that Windows would change refused, long paths, links.
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/fixtures/process.h"

namespace {

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::vector<std::string> Names(const std::string& folder) {
  std::vector<platform::DirEntry> entries;
  EXPECT_TRUE(platform::ListDirectory(folder, &entries));
  std::vector<std::string> names;
  for (const auto& e : entries)
    names.push_back(e.name + (e.kind == platform::FileKind::kDirectory ? "/" : ""));
  return names;
}

TEST(ListDirectory, InTheSystemsOrderWithKinds) {
  TempDir dir;
  WriteFile(dir / "b.d64", std::string("1"));
  WriteFile(dir / "A.D64", std::string("1"));
  MakeFolder(dir / "c.D64");
  EXPECT_EQ((std::vector<std::string>{"./", "../", "A.D64", "b.d64", "c.D64/"}), Names(dir.path()));
  EXPECT_EQ(Names(dir.path()), Names(dir / ""));
  std::vector<platform::DirEntry> entries;
  EXPECT_FALSE(platform::ListDirectory(dir / "missing\\", &entries));
}

// A file made under `wide` through the wide API must come back from the
// listing as `utf8`, and open by it.
void ExpectRoundTrip(const std::wstring& wide, const std::string& utf8) {
  TempDir dir;
  std::wstring path = Wide(dir.path()) + L"\\" + wide;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file) << utf8;
  CloseHandle(file);
  EXPECT_EQ((std::vector<std::string>{"./", "../", utf8}), Names(dir.path())) << utf8;
  EXPECT_EQ(platform::FileKind::kRegular, platform::KindOf(dir / utf8)) << utf8;
  FILE* opened = platform::OpenFile(dir / utf8, "rb");
  EXPECT_NE(nullptr, opened) << utf8;
  if (opened != nullptr) fclose(opened);
}

TEST(Names, RoundTripInUtf8) {
  ExpectRoundTrip(L"Spa\u00DF.prg", "Spa\xC3\x9F.prg");
  ExpectRoundTrip(L"\u65E5\u672C.d64", "\xE6\x97\xA5\xE6\x9C\xAC.d64");
  ExpectRoundTrip(L"\U0001F3AE.t64", "\xF0\x9F\x8E\xAE.t64");
}

// NTFS takes any 16-bit units, an unpaired surrogate too; inside it is
// written in its three-byte form.
TEST(Names, UnpairedSurrogateRoundTrips) {
  TempDir dir;
  std::wstring path = Wide(dir.path()) + L"\\\xD800.prg";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    GTEST_SKIP() << "this file system takes no unpaired surrogate (Wine keeps names in UTF-8)";
  CloseHandle(file);
  ExpectRoundTrip(L"\xD800.prg", "\xED\xA0\x80.prg");
}

TEST(Names, BytesThatAreNoNameAreRefused) {
  TempDir dir;
  for (const char* bad : {"\xFF.prg", "\xC3", "\xC0\xAF.prg", "\xED\xA0\xBD\xED\xBE\xAE.prg",
                          "\xF4\x90\x80\x80.prg"}) {
    EXPECT_EQ(nullptr, platform::OpenFile(dir / bad, "wb")) << bad;
    std::string reason;
    EXPECT_FALSE(platform::MakeDirectory(dir / bad, &reason)) << bad;
    EXPECT_EQ("Name is not valid UTF-8", reason);
  }
  EXPECT_EQ((std::vector<std::string>{"./", "../"}), Names(dir.path()));
}

TEST(CurrentDirectory, InUtf8WithoutTrailingSeparator) {
  TempDir dir;
  std::wstring folder = Wide(dir.path()) + L"\\Spa\u00DF";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  wchar_t before[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  std::string current;
  EXPECT_TRUE(platform::CurrentDirectory(&current, nullptr));
  SetCurrentDirectoryW(before);
  EXPECT_EQ(dir / "Spa\xC3\x9F", current);
}

// Windows reads '/' and ':' in a name as a path and a stream, drops a
// trailing dot or blank, and takes a device's name for the device: such a
// target is refused and the file stays.
TEST(MoveNoReplace, TakesNoNameThatWindowsWouldChange) {
  TempDir dir;
  WriteFile(dir / "a", std::string("first"));
  MakeFolder(dir / "AC");
  for (const char* name : {"AC/DC", "Game: Two", "Dots.", "Blank ", "What?", "a<b", "a|b", "q\"",
                           "tab\there", "", "CON", "nul.prg", "Aux .d64", "com1.t64", "LPT9"}) {
    std::string reason;
    EXPECT_EQ(platform::MoveResult::kFailed,
              platform::MoveNoReplace(dir / "a", dir.path() + "\\" + name, &reason))
        << name;
    EXPECT_EQ("Windows does not take this name", reason) << name;
  }
  EXPECT_EQ((std::vector<std::string>{"./", "../", "a", "AC/"}), Names(dir.path()));
  std::string reason;
  EXPECT_EQ(platform::MoveResult::kMoved,
            platform::MoveNoReplace(dir / "a", dir / "AC\\DC (Grp)", &reason));
  EXPECT_EQ("first", ReadText(dir / "AC\\DC (Grp)"));
}

// Past MAX_PATH characters a path is handed to Windows in its long form.
TEST(Paths, LongerThanMaxPath) {
  TempDir dir;
  std::string folder = dir.path();
  std::string reason;
  while (folder.size() < 300) {
    folder += "\\folder with a long name";
    ASSERT_TRUE(platform::MakeDirectory(folder, &reason)) << folder.size() << ": " << reason;
  }
  ASSERT_TRUE(platform::WriteFileAtomically(folder + "\\a.prg", "bytes", &reason)) << reason;
  EXPECT_EQ(platform::MoveResult::kMoved,
            platform::MoveNoReplace(folder + "\\a.prg", folder + "\\b.prg", &reason));
  EXPECT_EQ((std::vector<std::string>{"./", "../", "b.prg"}), Names(folder));
  EXPECT_EQ(platform::FileKind::kRegular, platform::KindOf(folder + "\\b.prg"));
  FILE* file = platform::OpenRegularFile(folder + "\\b.prg");
  ASSERT_NE(nullptr, file);
  EXPECT_EQ(5, platform::FileSize(file));
  fclose(file);
}

// Past 4 GiB a 32-bit ftell would wrap round to a small size.
TEST(FileSize, BeyondFourGiB) {
  TempDir dir;
  const int64_t size = (int64_t{1} << 32) + 5;
  HANDLE file = CreateFileW(Wide(dir / "big.d64").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD ignored;
  DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = size;
  EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
  CloseHandle(file);
  FILE* stream = platform::OpenFile(dir / "big.d64", "rb");
  ASSERT_NE(nullptr, stream);
  EXPECT_EQ(size, platform::FileSize(stream));
  fclose(stream);
}

// A symbolic link or junction to a folder is listed as a link, so that the
// walk does not follow it.
TEST(ListDirectory, ReparsePointsAreNoFolders) {
  TempDir dir;
  MakeFolder(dir / "real");
  const DWORD flags = SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  const std::wstring link = Wide(dir / "link");
  if (!CreateSymbolicLinkW(link.c_str(), Wide(dir / "real").c_str(), flags) ||
      GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "this system makes no symbolic links (Wine's call does nothing)";
  }
  EXPECT_EQ((std::vector<std::string>{"./", "../", "link", "real/"}), Names(dir.path()));
  EXPECT_EQ(platform::FileKind::kSymlink, platform::KindOf(dir / "link"));
}

}  // namespace
