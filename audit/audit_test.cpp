// Extension matching: case-insensitive prefixes against the profile's table;
// archives the audit leaves unidentified.
#include "audit/audit.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "archive/zip.h"
#include "platform/platform.h"
#include "testkit/random.h"
#include "tests/fixtures/process.h"
#include "tests/fixtures/zip_writer.h"

namespace {

TEST(ExtensionMatches, PrefixEitherWayIgnoringCase) {
  EXPECT_TRUE(ExtensionMatches(".d64", ".D64"));
  EXPECT_TRUE(ExtensionMatches(".D6", ".D64"));
  EXPECT_TRUE(ExtensionMatches(".D64X", ".D64"));
  EXPECT_TRUE(ExtensionMatches(".", ".ZIP"));
  EXPECT_FALSE(ExtensionMatches(".T64", ".D64"));
  EXPECT_FALSE(ExtensionMatches("", ".D64"));
  EXPECT_FALSE(ExtensionMatches(".D64", ""));
}

TEST(FindImageType, FirstMatchingEntryInTableOrder) {
  EXPECT_EQ(1, FindImageType(kC64Profile, ".d64"));
  EXPECT_EQ(1, FindImageType(kC64Profile, ".d6"));
  EXPECT_EQ(6, FindImageType(kC64Profile, ".G64"));
  EXPECT_EQ(8, FindImageType(kC64Profile, ".zipped"));
  EXPECT_EQ(9, FindImageType(kC64Profile, ".d7"));
  EXPECT_EQ(10, FindImageType(kC64Profile, ".D81"));
  EXPECT_EQ(1, FindImageType(kC64Profile, ".D")) << "the rows after .ZIP move no name";
  EXPECT_EQ(1, FindImageType(kC64Profile, ".")) << "a lone dot matches the first entry";
  EXPECT_EQ(0, FindImageType(kC64Profile, ".txt"));
  EXPECT_EQ(0, FindImageType(kC64Profile, ".????"))
      << "the placeholder entry is never compared";
  EXPECT_EQ(2, FindImageType(kAmigaProfile, ".adz"));
  EXPECT_EQ(3, FindImageType(kAmigaProfile, ".Zip"));
  EXPECT_EQ(0, FindImageType(kAmigaProfile, ".d64"));
}

// The second entry shares the first one's local header: it is refused
// before its buffer is made, as an entry too large to hold would be, so the
// archive gets no progress mark and no CRCs, only the ZIP reader's message.
TEST(ListFile, ArchiveWithARefusedEntryIsLeftUnidentified) {
  TempDir dir;
  ZipFixtureEntry entry = StoredEntry("a.prg", SeededBytes(100, 1));
  ZipFixtureEntry shared = entry;
  shared.local_header_offset = 0;
  WriteFile(dir / "t.zip", BuildZip({entry, shared}));
  Workspace workspace;
  FileRecord record = ListFile(kC64Profile, "t.zip", dir / "", workspace);
  EXPECT_EQ(kNoReader, record.result);
  EXPECT_EQ("Error in zipfile " + (dir / "t.zip") + "\n" + kZipCorrupt + "\n",
            record.messages.Text(Stream::kErr));
  EXPECT_EQ("", record.messages.Text(Stream::kOut));
}

// After a first interrupt, lists and reports the archive `t.zip` in
// `folder`: 0 when it was cancelled and nothing of it was reported.
int ListAndReportAfterAnInterrupt(const std::string& folder) {
  platform::StartKeyWatch();
  std::raise(SIGINT);
  platform::StopKeyWatch();
  Workspace workspace;
  FileRecord record = ListFile(kC64Profile, "t.zip", folder, workspace);
  Database database;
  MessageLog out;
  AuditContext context{kC64Profile, database, out};
  const bool cancelled = ReportFile(context, record, RF_DUMP) == kCancelled;
  return cancelled && record.messages.empty() && out.empty() ? 0 : 1;
}

// The interrupt flag is process-wide, so it is raised in a child.
TEST(ListFileDeathTest, InterruptStopsAnArchiveBeforeItsNextEntry) {
#ifdef _WIN32
  GTEST_SKIP() << "raise(SIGINT) is no Ctrl-C on Windows";
#endif
  TempDir dir;
  WriteFile(dir / "t.zip", BuildZip({StoredEntry("a.prg", SeededBytes(100, 1))}));
  EXPECT_EXIT(std::exit(ListAndReportAfterAnInterrupt(dir / "")), testing::ExitedWithCode(0), "");
}

}  // namespace
