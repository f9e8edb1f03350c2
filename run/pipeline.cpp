// The parallel audit: reading ahead in walk order, listing on workers,
// reporting in walk order.
#include "run/pipeline.h"

#include <algorithm>
#include <system_error>

unsigned WorkerCount(unsigned requested) {
  if (requested != 0) return requested;
  return std::max(1u, std::thread::hardware_concurrency());
}

Pipeline::Pipeline(const AuditContext& context, RunFlags flags, unsigned threads)
    : context_(context),
      moves_files_((flags & RF_RENAME) && !(flags & (RF_DUMP | RF_INFO))) {
  // A system that gives fewer threads gets a run on fewer, or on this one.
  try {
    for (unsigned i = 1; i < threads; ++i) workers_.emplace_back([this] { Work(); });
  } catch (const std::system_error&) {
  }
  max_in_flight_ = kFilesPerWorker * (workers_.size() + 1);
}

Pipeline::~Pipeline() {
  Drop();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void Pipeline::BeginPass(const std::string& directory,
                         const std::vector<platform::DirEntry>& files) {
  Drop();
  directory_ = directory;
  files_ = files;
  next_report_ = 0;
  next_read_ = 0;
}

uint32_t Pipeline::Audit(const std::string& name, const std::string& directory, RunFlags flags) {
  // A file the pass did not announce is audited here, alone.
  if (workers_.empty() || next_report_ >= files_.size() || files_[next_report_].name != name ||
      directory != directory_) {
    Drop();
    files_.clear();
    return AuditFile(context_, name, directory, flags, workspace_);
  }
  ReadAhead();
  std::unique_ptr<Job> job = std::move(in_flight_.front());
  in_flight_.pop_front();
  WaitFor(*job);
  bytes_in_flight_ -= job->bytes;
  // The workers go on with the next files while this one is reported.
  ReadAhead();
  const uint32_t result = ReportFile(context_, job->record, flags);
  ++next_report_;
  return result;
}

// Reads the next files of the pass while the window has room, in order. A
// file too large for the room left waits, open, until the files before it
// are reported. In a renaming run a symbolic link is read only in its turn,
// once every file before it is reported: moving one of them may change what
// it points to.
void Pipeline::ReadAhead() {
  while (next_read_ < files_.size() && in_flight_.size() < max_in_flight_) {
    const platform::DirEntry& entry = files_[next_read_];
    if (moves_files_ && entry.kind == platform::FileKind::kSymlink && next_read_ != next_report_)
      return;
    if (!waiting_) waiting_.emplace(entry.name, directory_);
    const uint64_t bytes = waiting_->Bytes();
    if (bytes_in_flight_ > 0 && bytes_in_flight_ + bytes > kMaxBytesInFlight) return;
    waiting_->Read();
    auto job = std::make_unique<Job>(std::move(*waiting_));
    waiting_.reset();
    job->bytes = bytes;
    bytes_in_flight_ += bytes;
    ++next_read_;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(job.get());
    }
    work_ready_.notify_one();
    in_flight_.push_back(std::move(job));
  }
}

// Forgets the files read ahead: those not yet taken are never listed, and
// those being listed are waited for (an interrupt cuts an archive short).
void Pipeline::Drop() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    queue_.clear();
    job_done_.wait(lock, [this] { return busy_ == 0; });
  }
  in_flight_.clear();
  waiting_.reset();
  bytes_in_flight_ = 0;
}

// This thread lists the files waiting in the queue until `job` is done (it
// may be the first of them), then reads ahead what their room allows.
void Pipeline::WaitFor(Job& job) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!job.done) {
    if (queue_.empty()) {
      job_done_.wait(lock);
    } else {
      ListNext(lock, workspace_);
      lock.unlock();
      ReadAhead();
      lock.lock();
    }
  }
}

void Pipeline::ListNext(std::unique_lock<std::mutex>& lock, Workspace& workspace) {
  Job* job = queue_.front();
  queue_.pop_front();
  ++busy_;
  lock.unlock();
  job->record = ListFile(context_.profile, std::move(job->file), workspace);
  lock.lock();
  job->done = true;
  --busy_;
  job_done_.notify_all();
}

void Pipeline::Work() {
  Workspace workspace;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [this] { return ending_ || !queue_.empty(); });
    if (ending_) return;
    ListNext(lock, workspace);
  }
}
