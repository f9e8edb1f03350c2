// Loading a DAT file of 5,998 or 60,000 titles, matching 100,000 images
// against it, and writing the have file and miss list.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>

#include "database/dat.h"
#include "database/have.h"
#include "database/match.h"
#include "database/near.h"

namespace {

NullSink quiet;

constexpr uint32_t kQueries = 100000;

// A DAT file of `titles` titles of 1 to 24 files each, in a scratch folder.
class BenchDat {
 public:
  explicit BenchDat(uint32_t titles) : titles_count_(titles) {
    folder_ = std::filesystem::temp_directory_path() /
              ("dewmop-bench-" + std::to_string(titles));
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
    for (uint32_t i = 1; i <= titles; ++i) {
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
  uint32_t titles() const { return titles_count_; }

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
  uint32_t titles_count_;
  std::filesystem::path folder_;
  std::string dat_, have_, miss_;
  DatFiles files_{};
  std::vector<std::vector<uint32_t>> titles_;
};

const BenchDat& TheBenchDat(uint32_t titles) {
  static std::map<uint32_t, std::unique_ptr<BenchDat>> dats;
  auto& dat = dats[titles];
  if (!dat) dat = std::make_unique<BenchDat>(titles);
  return *dat;
}

// Loads the DAT; the counter "loaded" tells how many titles a loader took.
bool Load(benchmark::State& state, const BenchDat& dat, Database* db) {
  uint32_t count = LoadDat(*db, dat.files(), quiet);
  state.counters["loaded"] = count == 0 ? 0 : count - 1;
  if (count == 0) state.SkipWithError("load failed");
  return count != 0;
}

void BM_LoadDat(benchmark::State& state) {
  const BenchDat& dat = TheBenchDat(static_cast<uint32_t>(state.range(0)));
  for (auto _ : state) {
    Database db;
    if (!Load(state, dat, &db)) break;
  }
}
BENCHMARK(BM_LoadDat)->Arg(5998)->Arg(60000)->Unit(benchmark::kMillisecond);

void BM_Match100000(benchmark::State& state) {
  const BenchDat& dat = TheBenchDat(static_cast<uint32_t>(state.range(0)));
  Database db;
  if (!Load(state, dat, &db)) return;
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
BENCHMARK(BM_Match100000)->Arg(5998)->Arg(60000)->Unit(benchmark::kMillisecond);

// The index from each CRC to its titles, which the first near search builds.
void BM_IndexCrcs(benchmark::State& state) {
  const BenchDat& dat = TheBenchDat(static_cast<uint32_t>(state.range(0)));
  Database db;
  if (!Load(state, dat, &db)) return;
  for (auto _ : state) IndexCrcs(db);
  state.counters["keys"] = static_cast<double>(db.titlesByCrc.keys.size());
}
BENCHMARK(BM_IndexCrcs)->Arg(5998)->Arg(60000)->Unit(benchmark::kMillisecond);

// The near search for 100,000 images that match no title: each a title's
// list with one file changed (four in five; near that title when it has
// three files or more) or a list no title holds.
void BM_Near100000(benchmark::State& state) {
  const BenchDat& dat = TheBenchDat(static_cast<uint32_t>(state.range(0)));
  Database db;
  if (!Load(state, dat, &db)) return;
  IndexCrcs(db);
  std::vector<std::vector<uint32_t>> queries = dat.Queries();
  for (size_t i = 0; i < queries.size(); ++i) {
    std::vector<uint32_t>& query = queries[i];
    query.front() ^= 2;
    if (i % 5 == 4) {
      for (uint32_t& crc : query) crc ^= 4;
    }
    std::sort(query.begin(), query.end());
  }
  uint32_t near = 0;
  for (auto _ : state) {
    near = 0;
    for (const std::vector<uint32_t>& query : queries) {
      near += FindNearMatch(db, query, quiet).index != 0;
    }
    benchmark::DoNotOptimize(near);
  }
  state.counters["near"] = near;
  state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_Near100000)->Arg(5998)->Arg(60000)->Unit(benchmark::kMillisecond);

// Every other title present: the have file and the miss list each name half
// of them.
void BM_WriteHave(benchmark::State& state) {
  const BenchDat& dat = TheBenchDat(static_cast<uint32_t>(state.range(0)));
  Database db;
  if (!Load(state, dat, &db)) return;
  for (uint32_t i = 1; i < db.recordCount; i += 2) db.records[i].have = 1;
  for (auto _ : state) WriteHave(db, dat.files(), quiet);
}
BENCHMARK(BM_WriteHave)->Arg(5998)->Arg(60000)->Unit(benchmark::kMillisecond);

}  // namespace
