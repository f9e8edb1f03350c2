// The platform layer on Windows: names in UTF-8 that round-trip through the
// system's UTF-16, names that Windows would change refused, long paths.
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/fixtures/process.h"

// Files made through the wide API are found by their UTF-8 names; bytes that
// are no UTF-8 name nothing. Windows reads '/' and ':' in a name as a path
// and a stream, drops a trailing dot or blank, and takes a device's name for
// the device: a move to such a name is refused.
TEST(Names, RoundTripInUtf8AndNoneThatWindowsWouldChange) {
  TempDir dir;
  const std::wstring folder(dir.path().begin(), dir.path().end());
  std::string reason;
  for (const wchar_t* name : {L"Spa\u00DF.prg", L"\u65E5\u672C.d64", L"\U0001F3AE.t64"})
    CloseHandle(CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_NEW, 0, nullptr));
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(dir.path(), &entries));
  std::string names;
  for (const auto& entry : entries) names += entry.name + "|";
  EXPECT_EQ(".|..|Spa\xC3\x9F.prg|\xE6\x97\xA5\xE6\x9C\xAC.d64|\xF0\x9F\x8E\xAE.t64|", names);
  EXPECT_EQ(platform::FileKind::kRegular, platform::KindOf(dir / "\xF0\x9F\x8E\xAE.t64"));
  for (const char* bad : {"\xFF.prg", "\xC3", "\xC0\xAF.prg", "\xED\xA0\xBD\xED\xBE\xAE.prg"})
    EXPECT_EQ("Name is not valid UTF-8", platform::MakeDirectory(dir / bad, &reason) ? "" : reason);
  for (const char* name : {"AC/DC", "Game: Two", "Dots.", "Blank ", "What?", "a<b", "a|b", "q\"",
                           "tab\there", "", "CON", "nul.prg", "Aux .d64", "com1.t64", "LPT9"}) {
    reason = "moved";
    platform::MoveNoReplace(dir / "Spa\xC3\x9F.prg", dir.path() + "\\" + name, &reason);
    EXPECT_EQ("Windows does not take this name", reason) << name;
  }
}

// Past MAX_PATH characters a path is handed to Windows in its long form: the
// folders are made, and a file is written beside its scratch file and moved
// over it.
TEST(Paths, LongerThanMaxPath) {
  TempDir dir;
  std::string folder = dir.path(), reason;
  while (folder.size() < 300)
    ASSERT_TRUE(platform::MakeDirectory(folder += "\\folder with a long name", &reason)) << reason;
  EXPECT_TRUE(platform::WriteFileAtomically(folder + "\\a.prg", "bytes", &reason)) << reason;
}
