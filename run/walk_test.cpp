// The directory walk on a real folder tree.
#include "run/walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/fixtures/process.h"

// Walks `top` for "*.d64" with -s, then without, and tells each folder, each
// pass with the files it announces and each file handed on with its flags as
// one text, in which `top` is "top/" and a separator '/'. `answer` is the
// per-file operation's (0 asks to stop); a key waits once `key_after` files
// were handed on.
static std::string Walk(const std::string& top, uint32_t answer, size_t key_after) {
  MessageLog log;
  size_t files = 0;
  DirectoryWalker walker([&] { return files >= key_after; }, log);
  walker.OnPass([&](const std::string& folder, const std::vector<platform::DirEntry>& entries) {
    log.Write(Stream::kErr, "pass " + folder + ":");
    for (const auto& entry : entries) log.Write(Stream::kErr, " " + entry.name);
  });
  PerFileOperation record = [&](const std::string& name, const std::string& folder, RunFlags f) {
    log.Print(Stream::kErr, "\nfile %s%s %X\n", folder.c_str(), name.c_str(), f);
    return ++files, answer;
  };
  for (RunFlags flags : {RF_WALK | RF_SUBDIRS, RF_WALK})
    walker.WalkDirectory(top, record, "*.d64", flags);
  std::string text = log.Text(Stream::kErr);
  for (size_t at; (at = text.find(top)) != std::string::npos;)
    text.replace(at, top.size(), "top/");
  std::replace(text.begin(), text.end(), platform::kSeparator, '/');
  return text;
}

// Matched ignoring case, to the end of the name: one level of subfolders
// (no dot folder, no link) before the top folder's own files, and a folder
// named like the pattern walked and handed on. Nested walks and the files
// pass go without -s. A key stops the walk after its file, told there and
// by the walk of the subfolders; a 0 from the operation stops it at once;
// and either stops every later walk.
TEST(DirectoryWalker, OneLevelDeepSubfoldersFirst) {
  TempDir dir;
  for (const char* folder : {"Games.D64/deeper", ".dot"}) MakeFolder(dir / folder);
  for (const char* name : {"Games.D64/a.d64.D64", "Games.D64/c.t64", "Games.D64/.hidden.d64",
                           "Games.D64/x.d64x", "Games.D64/deeper/deep.d64", ".dot/hidden.d64"})
    WriteFile(dir / name, std::string("x"));
  std::error_code no_links;  // Wine makes none; this system's walk then meets no link
  std::filesystem::create_directory_symlink(dir / "Games.D64", dir / "link", no_links);
  const std::string first =
      "Dir: top/Games.D64/\npass top/Games.D64/: a.d64.D64\nfile top/Games.D64/a.d64.D64 20\n";
  EXPECT_EQ(first + "Dir: top/\npass top/: Games.D64\nfile top/Games.D64 20\n"
                    "Dir: top/\npass top/: Games.D64\nfile top/Games.D64 20\n",
            Walk(dir / "", 1, 9));
  EXPECT_EQ(first + "\nUser cancelled\n\nUser cancelled\nDir: top/\nDir: top/\n",
            Walk(dir / "", 1, 1));
  EXPECT_EQ(first + "Dir: top/\nDir: top/\n", Walk(dir / "", 0, 9));
}
