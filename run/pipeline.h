// Auditing the files of a walk on several threads, with the output of one:
// the walking thread reads the files in walk order and reports them in walk
// order; worker threads list them in between.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audit/audit.h"
#include "platform/platform.h"

// The files in flight at once: read and waiting, being listed, or listed and
// waiting for their report. At most kFilesPerWorker per listing thread and
// kMaxBytesInFlight bytes read into memory; a single larger file alone.
constexpr size_t kFilesPerWorker = 2;
constexpr uint64_t kMaxBytesInFlight = 512u << 20;

// The threads that list files: 0 asks for one per processor online.
unsigned WorkerCount(unsigned requested);

class Pipeline {
 public:
  // Files are listed on `threads` threads: this one, which reads and reports
  // them and lists whatever waits while it would wait, and threads - 1
  // workers. With one, every file is audited here when it is handed on, as
  // a plain sequential run.
  Pipeline(const AuditContext& context, RunFlags flags, unsigned threads);
  // Drops the files read ahead unreported and ends the workers.
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // The walk's pass hook: the files the next pass hands on, in order. Up to
  // the window of them are read ahead from then on, never further than the
  // pass: the next pass's listing is taken after every file of this one is
  // reported, as a sequential run takes it.
  void BeginPass(const std::string& directory, const std::vector<platform::DirEntry>& files);

  // The per-file operation: reports the file (the next of the pass) once it
  // is listed, on the calling thread, and returns its result. A stop after
  // it leaves the files read ahead unseen: nothing of them is printed,
  // matched or moved.
  uint32_t Audit(const std::string& name, const std::string& directory, RunFlags flags);

 private:
  struct Job {
    explicit Job(LoadedFile loaded) : file(std::move(loaded)) {}
    LoadedFile file;
    uint64_t bytes = 0;
    FileRecord record;
    bool done = false;  // under mutex_
  };

  void ReadAhead();
  void Drop();
  void WaitFor(Job& job);
  void ListNext(std::unique_lock<std::mutex>& lock, Workspace& workspace);
  void Work();

  const AuditContext& context_;
  const bool moves_files_;  // reports may move files (a rename run)
  Workspace workspace_;     // for the files listed on this thread

  // The pass, on the walking thread only.
  std::string directory_;
  std::vector<platform::DirEntry> files_;
  size_t next_report_ = 0;
  size_t next_read_ = 0;
  std::optional<LoadedFile> waiting_;  // opened, waiting for room to be read
  std::deque<std::unique_ptr<Job>> in_flight_;
  uint64_t bytes_in_flight_ = 0;
  size_t max_in_flight_ = 0;

  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable job_done_;
  std::deque<Job*> queue_;  // read, not yet taken by a worker
  unsigned busy_ = 0;       // jobs taken and not yet done
  bool ending_ = false;
  std::vector<std::thread> workers_;
};
