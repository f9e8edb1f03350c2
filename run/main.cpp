// The run: set-up, the audit of one file or of the working directory, and
// the wind-up that writes what was found.
#include <cstdio>
#include <string>

#include "audit/audit.h"
#include "database/dat.h"
#include "database/have.h"
#include "platform/platform.h"
#include "run/crc32.h"
#include "run/options.h"
#include "run/walk.h"

namespace {

constexpr int kExitRan = 0;
constexpr int kExitNoDatabase = 1;
constexpr int kExitUsage = 2;

std::string WorkingDirectory() {
  std::string directory;
  if (!platform::CurrentDirectory(&directory)) return std::string(".") + platform::kSeparator;
  return directory + platform::kSeparator;
}

void WalkEveryPattern(const std::string& directory, const AuditContext& context,
                      RunFlags flags) {
  DirectoryWalker walker(platform::KeyWaiting);
  PerFileOperation audit = [&context](const std::string& name,
                                      const std::string& folder,
                                      RunFlags fileFlags) {
    return AuditFile(context, name, folder, fileFlags);
  };
  std::string pattern;
  while (NextPattern(&pattern) != 0) {
    walker.WalkDirectory(directory, audit, pattern, flags);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string directory = WorkingDirectory();
  std::string fileName;
  RunFlags flags = ParseOptions(argc, argv, &fileName);
  if (flags == 0) {
    fputs("\n\nDone.\n", stderr);
    return kExitUsage;
  }
  BuildCrcTable();
  platform::TuneAllocator();

  const SystemProfile& profile = *CurrentProfile();
  Database& database = TheDatabase();
  int64_t count = -1;
  if (flags & (RF_RENAME | RF_INFO)) {
    count = LoadDat(database, profile);
    if (count == 0) {
      fputs("Error getting ingredients.\n", stderr);
      fputs("\n\nDone.\n", stderr);
      return kExitNoDatabase;
    }
  }

  fputs("Dewmop v1.3g (Release): ", stderr);
  if (count < 0) {
    fputs("Dump mode\n", stderr);
    fputs(DatVersion(database, profile).c_str(), stdout);
    fflush(stdout);
  } else {
    fprintf(stderr, "%u disks.\n", static_cast<unsigned>(count));
  }
  fputs("Warning- contents under pressure!\n\n", stderr);

  // From here an interrupt lets the current file finish, and the have file
  // is still written.
  platform::StartKeyWatch();
  AuditContext context{profile, database};
  if (flags & RF_SINGLE_FILE) {
    count = AuditFile(context, fileName, "", flags);
  } else {
    WalkEveryPattern(directory, context, flags);
  }
  platform::StopKeyWatch();

  if (count > 0) {
    fputs("\nUnloading Data\n", stderr);
    UnloadDat(database, profile);
  }
  fputs("\n\nDone.\n", stderr);
  return kExitRan;
}
