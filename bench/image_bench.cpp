// The per-image work of a dump run: CRC-32 of a disk's worth of bytes, the
// inflate of one zipped disk, and the listing of a full D64 disk.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "archive/zip.h"
#include "images/factory.h"
#include "testkit/random.h"
#include "util/crc32.h"

namespace {

NullSink quiet;

constexpr uint32_t kD64Size = 174848;
constexpr int kFiles = 8;

// A disk filled nearly full by cc1541 with kFiles programs, and the same
// disk alone in a ZIP archive, in a scratch folder.
class BenchDisk {
 public:
  BenchDisk() {
    folder_ = std::filesystem::temp_directory_path() / "dewmop-image-bench";
    std::filesystem::create_directories(folder_);
    Random random(1541);
    std::string command = "cd '" + folder_.string() + "' && rm -f disk.d64 disk.zip && cc1541 -q -m";
    for (int i = 0; i < kFiles; ++i) {
      std::string name = "file" + std::to_string(i) + ".prg";
      std::vector<uint8_t> bytes = ProgramBytes(random, 640 / kFiles * 254 - 254, 0.5);
      std::ofstream(folder_ / name, std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      command += " -w " + name;
    }
    command += " disk.d64 >/dev/null && zip -q disk.zip disk.d64";
    if (std::system(command.c_str()) != 0) {
      fprintf(stderr, "cannot build the disk (needs cc1541 and zip)\n");
      std::exit(1);
    }
    std::ifstream in(folder_ / "disk.d64", std::ios::binary);
    disk_.assign(std::istreambuf_iterator<char>(in), {});
  }
  ~BenchDisk() { std::filesystem::remove_all(folder_); }

  const std::vector<uint8_t>& disk() const { return disk_; }
  std::string zip_path() const { return (folder_ / "disk.zip").string(); }

 private:
  std::filesystem::path folder_;
  std::vector<uint8_t> disk_;
};

BenchDisk& Disk() {
  static BenchDisk disk;
  return disk;
}

void BM_Crc32Disk(benchmark::State& state) {
  BuildCrcTable();
  const std::vector<uint8_t>& disk = Disk().disk();
  for (auto _ : state) {
    benchmark::DoNotOptimize(crc32(disk.data(), static_cast<uint32_t>(disk.size()), 0, 0));
  }
  state.SetBytesProcessed(state.iterations() * disk.size());
}
BENCHMARK(BM_Crc32Disk);

void BM_InflateZippedDisk(benchmark::State& state) {
  std::unique_ptr<ZipArchive> archive = ZipOpen(Disk().zip_path(), quiet);
  const ZipEntry* entry = archive ? ZipNextEntry(*archive) : nullptr;
  if (!entry || entry->uncompressed_size != kD64Size) {
    state.SkipWithError("the archive does not open");
    return;
  }
  std::vector<uint8_t> image(entry->uncompressed_size);
  for (auto _ : state) {
    if (ZipExtract(*archive, *entry, image.data()) != 0) state.SkipWithError("extraction failed");
    benchmark::DoNotOptimize(image.data());
  }
  state.SetBytesProcessed(state.iterations() * image.size());
}
BENCHMARK(BM_InflateZippedDisk);

// The reader and its listing, with the CRC of every file, as the audit does.
void BM_ListFullDisk(benchmark::State& state) {
  BuildCrcTable();
  std::vector<uint8_t> image = Disk().disk();
  for (auto _ : state) {
    std::unique_ptr<CImage> reader = CreateImageC64(c64::kD64, image.data(), kD64Size, quiet);
    if (!reader) {
      state.SkipWithError("no reader");
      return;
    }
    uint32_t length = 0;
    int files = 0;
    while (const uint8_t* file = reader->next_file(&length)) {
      benchmark::DoNotOptimize(crc32(file, length, 0, 0));
      ++files;
    }
    if (files != kFiles || reader->error_flags != 0) state.SkipWithError("wrong listing");
  }
  state.SetBytesProcessed(state.iterations() * image.size());
}
BENCHMARK(BM_ListFullDisk);

}  // namespace
