// Loading a full DAT file (5,998 titles) and matching 10,000 images against it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "database/dat.h"
#include "database/match.h"

namespace {

NullSink quiet;

constexpr uint32_t kTitles = 5998;
constexpr uint32_t kQueries = 10000;

// A DAT file of kTitles titles of 1 to 24 files each, in a scratch folder.
class BenchDat {
 public:
  BenchDat() {
    folder_ = std::filesystem::temp_directory_path() / "dewmop-bench";
    std::filesystem::create_directories(folder_);
    dat_ = (folder_ / "C64.dat").string();
    have_ = (folder_ / "C64have.dat").string();
    miss_ = (folder_ / "C64miss.txt").string();
    files_ = {dat_.c_str(), have_.c_str(), miss_.c_str()};
    std::filesystem::remove(have_);

    std::mt19937 random(64);
    std::ofstream out(dat_, std::ios::binary);
    out << "C64 1.00\n";
    char crc[16];
    for (uint32_t i = 1; i <= kTitles; ++i) {
      std::vector<uint32_t> crcs(1 + random() % 24);
      for (uint32_t& value : crcs) value = random();
      titles_.push_back(crcs);
      out << "Some Title Number " << i << ";Publisher;Cracker;Group;1987;"
          << crcs.size();
      for (uint32_t value : crcs) {
        snprintf(crc, sizeof crc, ";%08X", value);
        out << crc;
      }
      out << '\n';
    }
  }
  ~BenchDat() { std::filesystem::remove_all(folder_); }

  const DatFiles& files() const { return files_; }

  // Four in five queries are titles' lists in another order; the rest miss.
  std::vector<std::vector<uint32_t>> Queries() const {
    std::mt19937 random(1541);
    std::vector<std::vector<uint32_t>> queries;
    for (uint32_t i = 0; i < kQueries; ++i) {
      std::vector<uint32_t> query = titles_[random() % titles_.size()];
      if (i % 5 == 4) query.back() ^= 1;
      std::shuffle(query.begin(), query.end(), random);
      queries.push_back(query);
    }
    return queries;
  }

 private:
  std::filesystem::path folder_;
  std::string dat_, have_, miss_;
  DatFiles files_{};
  std::vector<std::vector<uint32_t>> titles_;
};

const BenchDat& TheBenchDat() {
  static BenchDat dat;
  return dat;
}

void BM_LoadDat(benchmark::State& state) {
  const BenchDat& dat = TheBenchDat();
  for (auto _ : state) {
    Database db;
    benchmark::DoNotOptimize(LoadDat(db, dat.files(), quiet));
  }
}
BENCHMARK(BM_LoadDat)->Unit(benchmark::kMillisecond);

void BM_Match10000(benchmark::State& state) {
  const BenchDat& dat = TheBenchDat();
  Database db;
  if (LoadDat(db, dat.files(), quiet) != kTitles + 1) state.SkipWithError("load failed");
  std::vector<std::vector<uint32_t>> queries = dat.Queries();
  std::vector<uint32_t> query;
  uint32_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (const std::vector<uint32_t>& unsorted : queries) {
      query.assign(unsorted.begin(), unsorted.end());
      found += FindRecordIndex(db, query) != 0;
    }
    benchmark::DoNotOptimize(found);
  }
  state.counters["found"] = found;
  state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_Match10000)->Unit(benchmark::kMillisecond);

}  // namespace
