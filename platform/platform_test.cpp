// The platform layer as both systems must have it: reading only regular
// files, moves that never replace, atomic writes and their scratch files,
// the run's lock.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "tests/fixtures/process.h"

// Only a regular file within the limit is read, whole and as its bytes are,
// or opened; a folder or a device is refused before a byte is read.
TEST(Platform, ReadsOnlyRegularFiles) {
  TempDir dir;
  WriteFile(dir / "x.d64", std::string("a\r\n"));
  WriteFile(dir / "big.d64", std::string("a\r\nb"));
  using enum platform::ReadResult;
  const std::pair<std::string, platform::ReadResult> cases[] = {
      {dir / "x.d64", kRead},   {dir / "big.d64", kTooLarge}, {dir.path(), kNotRegular},
      {dir / "y.d64", kMissing}, {platform::kSeparator == '/' ? "/dev/null" : "NUL", kNotRegular}};
  for (const auto& [path, result] : cases) {
    std::string bytes, error;
    EXPECT_EQ(result, platform::ReadRegularFile(path, 3, &bytes, &error)) << path;
    EXPECT_EQ(result == kRead ? "a\r\n" : "", bytes) << path;
    FILE* file = platform::OpenRegularFile(path);
    EXPECT_EQ(result == kRead || result == kTooLarge, file != nullptr && fclose(file) == 0) << path;
  }
}

// A move never replaces a file. A write replaces the whole file, a read-only
// one too, or nothing (a folder is not replaced), and leaves no scratch file.
// A failure says why, in the system's words.
TEST(Platform, MovesAndWritesNeverLoseAFile) {
  TempDir dir;
  std::string reason;
  WriteFile(dir / "a", std::string("first"));
  WriteFile(dir / "b", std::string("second"));
  using enum platform::MoveResult;
  EXPECT_EQ(kTargetExists, platform::MoveNoReplace(dir / "a", dir / "b", &reason));
  EXPECT_EQ(kMoved, platform::MoveNoReplace(dir / "a", dir / "c", &reason));
  EXPECT_EQ(kFailed, platform::MoveNoReplace(dir / "c", dir / "no/d", &reason));
  EXPECT_EQ("No such file or directory", reason);
  EXPECT_EQ("first" + std::string("second"), ReadText(dir / "c") + ReadText(dir / "b"));
  std::filesystem::permissions(dir / "c", std::filesystem::perms::all,
                               std::filesystem::perm_options::remove);
  EXPECT_TRUE(platform::WriteFileAtomically(dir / "c", "new", &reason)) << reason;
  MakeFolder(dir / "folder");
  EXPECT_FALSE(platform::WriteFileAtomically(dir / "folder", "x", &reason) ||
               platform::WriteFileAtomically(dir / "no/b", "x", &reason));
  EXPECT_EQ("No such file or directory", reason);
  EXPECT_EQ("new", ReadText(dir / "c"));
  EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(dir.path()), {}));
}

// One holder of the lock at a time; a file left by a killed run is no lock,
// and the holder's file goes with it. Stale scratch files of a path are its
// own scratch names, and only files.
TEST(Platform, LockAndStaleScratch) {
  TempDir dir;
  std::string reason;
  WriteFile(dir / "have.lock", std::string("left by a run that was killed"));
  using enum platform::ExclusiveLock::Result;
  {
    platform::ExclusiveLock first, second;
    EXPECT_EQ(kHeld, first.Take(dir / "have.lock", &reason)) << reason;
    EXPECT_EQ(kTakenByAnother, second.Take(dir / "have.lock", &reason));
  }
  EXPECT_FALSE(FileExists(dir / "have.lock"));
  MakeFolder(dir / "have.b1B2c3");
  const char* const kept[] = {"have", "hav.a1B2c3", "have.a1B2c3d", "have.a1-2c3", "have.b1B2c3"};
  for (const char* name : {"have.a1B2c3", "have.zz9zz9"}) WriteFile(dir / name, std::string("x"));
  for (const char* name : kept) WriteFile(dir / name, std::string("x"));
  platform::RemoveStaleScratch(dir / "have");
  EXPECT_FALSE(FileExists(dir / "have.a1B2c3") || FileExists(dir / "have.zz9zz9"));
  for (const char* name : kept) EXPECT_TRUE(FileExists(dir / name)) << name;
}
