// The directory walk over one folder of 10,000 to 100,000 files: one listing
// of the folder, and the run's walk, which lists it once per extension of
// the C64 profile and hands each matching file to a per-file operation that
// here does nothing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "audit/profile.h"
#include "platform/platform.h"
#include "run/walk.h"

namespace {

NullSink quiet;

// `files` empty files named like a collection's: one in a hundred a D64, the
// rest PRG files.
class BenchFolder {
 public:
  explicit BenchFolder(int64_t files) {
    path_ = (std::filesystem::temp_directory_path() /
             ("dewmop-walk-" + std::to_string(files))).string() + "/";
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    char name[32];
    for (int64_t i = 0; i < files; ++i) {
      snprintf(name, sizeof name, i % 100 == 99 ? "disk%06lld.d64" : "prog%06lld.prg",
               static_cast<long long>(i));
      fclose(fopen((path_ + name).c_str(), "wb"));
    }
  }
  ~BenchFolder() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const BenchFolder& TheFolder(int64_t files) {
  static std::map<int64_t, std::unique_ptr<BenchFolder>> folders;
  auto& folder = folders[files];
  if (!folder) folder = std::make_unique<BenchFolder>(files);
  return *folder;
}

void BM_ListOnce(benchmark::State& state) {
  const BenchFolder& folder = TheFolder(state.range(0));
  std::vector<platform::DirEntry> entries;
  for (auto _ : state) platform::ListDirectory(folder.path(), &entries);
  state.counters["entries"] = static_cast<double>(entries.size());
}
BENCHMARK(BM_ListOnce)->Arg(10000)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_WalkEveryExtension(benchmark::State& state) {
  const BenchFolder& folder = TheFolder(state.range(0));
  PerFileOperation nothing = [](const std::string&, const std::string&, RunFlags) {
    return 1u;
  };
  uint32_t handed = 0;
  for (auto _ : state) {
    DirectoryWalker walker([] { return false; }, quiet);
    handed = 0;
    for (int type = 1; kC64Profile.extensions[type][0] != '\0'; ++type) {
      std::string pattern = std::string("*") + kC64Profile.extensions[type];
      handed += walker.WalkDirectory(folder.path(), nothing, pattern, RF_WALK);
    }
  }
  state.counters["files"] = handed;
}
BENCHMARK(BM_WalkEveryExtension)
    ->Arg(10000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
