// The run: set-up, the audit of one file or of the working directory, and
// the wind-up that writes what was found.
#include <cstdio>
#include <string>

#include "audit/audit.h"
#include "database/dat.h"
#include "database/have.h"
#include "platform/platform.h"
#include "run/options.h"
#include "run/run.h"
#include "run/walk.h"
#include "util/crc32.h"
#include "util/messages.h"

namespace {

constexpr int kExitRan = 0;
constexpr int kExitNoDatabase = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFolderInUse = 3;

std::string WorkingDirectory() {
  std::string directory;
  if (!platform::CurrentDirectory(&directory)) return std::string(".") + platform::kSeparator;
  return directory + platform::kSeparator;
}

void WalkEveryPattern(RunState& run, const std::string& directory, const AuditContext& context) {
  DirectoryWalker walker(platform::KeyWaiting, context.out);
  PerFileOperation audit = [&context](const std::string& name, const std::string& folder,
                                      RunFlags fileFlags) {
    return AuditFile(context, name, folder, fileFlags);
  };
  std::string pattern;
  while (NextPattern(run, &pattern) != 0) {
    walker.WalkDirectory(directory, audit, pattern, run.flags);
  }
}

// An identifying run holds a lock beside the have file from before the DAT
// file is read to its end, so that two runs on one folder never move the
// same files or overwrite each other's have file. Holding it, the run may
// clear the scratch files of an earlier run that ended while it wrote. False
// when another run holds the folder. A folder where no lock file can be made
// cannot take a have file either: the run goes on without the lock.
bool HoldFolder(platform::ExclusiveLock& lock, const DatFiles& files, MessageSink& sink) {
  std::string name = std::string(files.have) + ".lock";
  std::string reason;
  switch (lock.Take(name, &reason)) {
    case platform::ExclusiveLock::Result::kHeld:
      platform::RemoveStaleScratch(files.have);
      platform::RemoveStaleScratch(files.miss);
      return true;
    case platform::ExclusiveLock::Result::kTakenByAnother:
      sink.Print(Stream::kErr, "Err: Another run holds this folder (%s)\n", name.c_str());
      return false;
    case platform::ExclusiveLock::Result::kFailed:
      sink.Print(Stream::kErr, "Wrn: Unable to lock %s: %s\n", name.c_str(), reason.c_str());
      return true;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  ConsoleSink console;
  std::string directory = WorkingDirectory();
  RunState run;
  run.flags = ParseOptions(argc, argv, run, console);
  if (run.flags == 0) {
    console.Write(Stream::kErr, "\n\nDone.\n");
    return kExitUsage;
  }
  BuildCrcTable();
  platform::TuneAllocator();

  const DatFiles& files = run.profile->files;
  const bool identifies = (run.flags & (RF_RENAME | RF_INFO)) != 0;
  uint32_t recordCount = 0;
  platform::ExclusiveLock lock;
  if (identifies && !HoldFolder(lock, files, console)) {
    console.Write(Stream::kErr, "\n\nDone.\n");
    return kExitFolderInUse;
  }
  if (identifies) {
    recordCount = LoadDat(run.database, files, console);
    if (recordCount == 0) {
      console.Write(Stream::kErr, "Error getting ingredients.\n");
      console.Write(Stream::kErr, "\n\nDone.\n");
      return kExitNoDatabase;
    }
  }

  console.Print(Stream::kErr, "Dewmop %s: ", kVersion);
  if (identifies) {
    console.Print(Stream::kErr, "%u disks.\n", recordCount);
  } else {
    console.Write(Stream::kErr, "Dump mode\n");
    console.Write(Stream::kOut, DatVersion(run.database, files));
    fflush(stdout);
  }
  console.Write(Stream::kErr, "Warning- contents under pressure!\n\n");

  // From here an interrupt lets the current file finish, and the have file
  // is still written.
  platform::StartKeyWatch();
  AuditContext context{*run.profile, run.database, console};
  if (run.flags & RF_SINGLE_FILE) {
    AuditFile(context, run.fileName, "", run.flags);
  } else {
    WalkEveryPattern(run, directory, context);
  }
  platform::StopKeyWatch();

  // A single file is always followed by the wind-up, which writes nothing
  // when no database was loaded.
  if (identifies || (run.flags & RF_SINGLE_FILE)) {
    console.Write(Stream::kErr, "\nUnloading Data\n");
    UnloadDat(run.database, files, console);
  }
  console.Write(Stream::kErr, "\n\nDone.\n");
  return kExitRan;
}
