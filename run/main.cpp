// The run: set-up, the audit of one file or of the working directory, and
// the wind-up that writes what was found.
#include <cstdio>
#include <string>

#include "audit/audit.h"
#include "audit/csv_report.h"
#include "audit/file_system.h"
#include "audit/summary.h"
#include "database/dat.h"
#include "database/have.h"
#include "platform/platform.h"
#include "run/options.h"
#include "run/pipeline.h"
#include "run/run.h"
#include "run/walk.h"
#include "util/crc32.h"
#include "util/messages.h"

namespace {

constexpr int kExitRan = 0;
constexpr int kExitNoDatabase = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFolderInUse = 3;
constexpr int kExitOutputFailed = 4;  // standard output or the report

// When the working folder cannot be named by its path (a path too long for
// the system, a folder removed), the run goes on from "./", and says so.
std::string WorkingDirectory(MessageSink& sink) {
  std::string directory, error;
  if (platform::CurrentDirectory(&directory, &error)) return directory + platform::kSeparator;
  sink.Print(Stream::kErr, "Wrn: Unable to use the working folder's path (%s); going on in ./\n",
             error.c_str());
  return std::string(".") + platform::kSeparator;
}

// Standard output that cannot be written ends the walk, as it would end cat:
// the files after it would be audited for nothing. The files of each pass
// are listed on the run's workers, and reported here in walk order.
void WalkEveryPattern(RunState& run, const std::string& directory, const AuditContext& context,
                      const ConsoleSink& console) {
  DirectoryWalker walker(platform::KeyWaiting, context.out);
  Pipeline pipeline(context, run.flags, WorkerCount(run.workers));
  walker.OnPass([&pipeline](const std::string& folder,
                            const std::vector<platform::DirEntry>& files) {
    pipeline.BeginPass(folder, files);
  });
  PerFileOperation audit = [&pipeline, &console](const std::string& name, const std::string& folder,
                                                 RunFlags fileFlags) {
    if (console.OutputFailed()) return 0u;
    return pipeline.Audit(name, folder, fileFlags);
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

// The report replaces an earlier one in one step, as the have file does.
bool WriteReport(const std::string& path, const CsvReport& report, MessageSink& sink) {
  std::string error;
  if (platform::WriteFileAtomically(path, report.Text(), &error)) return true;
  sink.Print(Stream::kErr, "Err: Unable to write %s: %s\n", path.c_str(), error.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  ConsoleSink console;
  std::string directory = WorkingDirectory(console);
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
  // A dry run changes nothing in the folder, not even for a while: it takes
  // no lock and clears no scratch files, and so never keeps a real run out.
  const bool dryRun = (run.flags & RF_DRY_RUN) != 0;
  uint32_t recordCount = 0;
  platform::ExclusiveLock lock;
  if (identifies) {
    if (!dryRun && !HoldFolder(lock, files, console)) {
      console.Write(Stream::kErr, "\n\nDone.\n");
      return kExitFolderInUse;
    }
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
    console.Flush();
  }
  console.Write(Stream::kErr, "Warning- contents under pressure!\n\n");

  // From here an interrupt lets the current file finish, and the have file
  // is still written.
  platform::StartKeyWatch();
  PlannedFileSystem plannedFiles;
  RunSummary summary;
  CsvReport report(*run.profile, run.database);
  AuditContext context{*run.profile, run.database, console};
  if (dryRun) context.files = &plannedFiles;
  context.summary = &summary;
  if (!run.reportPath.empty()) context.report = &report;
  if (run.flags & RF_SINGLE_FILE) {
    Workspace workspace;
    if (AuditFile(context, run.fileName, "", run.flags, workspace) == kCancelled)
      console.Write(Stream::kErr, "\nUser cancelled\n");
  } else {
    WalkEveryPattern(run, directory, context, console);
  }
  platform::StopKeyWatch();

  // The summary reads the titles before the database goes.
  MessageLog closing;
  summary.Write(closing, run.flags, run.database);
  // A single file is always followed by the wind-up, which writes nothing
  // when no database was loaded; a dry run writes nothing at all.
  if (identifies || (run.flags & RF_SINGLE_FILE)) {
    console.Write(Stream::kErr, "\nUnloading Data\n");
    if (!dryRun) UnloadDat(run.database, files, console);
  }
  const bool reportWritten = run.reportPath.empty() || WriteReport(run.reportPath, report, console);
  // A truncated dump must never look like a whole one.
  console.Flush();
  if (console.OutputFailed()) {
    console.Print(Stream::kErr, "\nErr: Unable to write standard output: %s\n",
                  console.OutputError().c_str());
  }
  closing.ReplayTo(console);
  console.Write(Stream::kErr, "\n\nDone.\n");
  return console.OutputFailed() || !reportWritten ? kExitOutputFailed : kExitRan;
}
