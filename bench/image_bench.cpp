// The per-image work of a dump run: CRC-32 of a disk's worth of bytes, the
// inflate of one zipped disk (and of the disk gzipped), and the listing of a
// full D64 disk.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "archive/source.h"
#include "archive/zip.h"
#include "images/factory.h"
#include "testkit/random.h"
#include "util/crc32.h"
#include "util/gzip.h"

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
  std::string disk_path() const { return (folder_ / "disk.d64").string(); }
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

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The zipped disk read from its file (zlib, chunk by chunk: 0), or from
// memory with the fastest inflater (1) or zlib alone (2).
void BM_InflateZippedDisk(benchmark::State& state) {
  const std::vector<uint8_t> zip = ReadAll(Disk().zip_path());
  Inflater inflater(state.range(0) == 2 ? Inflation::kZlibOnly : Inflation::kFastest);
  std::unique_ptr<ByteSource> source = FileSource::Open(Disk().zip_path());
  if (state.range(0) != 0) {
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[zip.size()]);
    std::copy(zip.begin(), zip.end(), bytes.get());
    source = std::make_unique<MemorySource>(std::move(bytes), zip.size());
  }
  std::unique_ptr<ZipArchive> archive =
      ZipOpen(Disk().zip_path(), std::move(source), quiet, &inflater);
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
BENCHMARK(BM_InflateZippedDisk)->Arg(0)->Arg(1)->Arg(2);

// The disk gzipped, as an ADZ image is: libdeflate (0) or zlib alone (1).
void BM_GunzipDisk(benchmark::State& state) {
  const std::string gz = Disk().disk_path() + ".gz";
  const std::string command = "gzip -9 -n -c '" + Disk().disk_path() + "' > '" + gz + "'";
  if (std::system(command.c_str()) != 0) {
    state.SkipWithError("gzip failed");
    return;
  }
  const std::vector<uint8_t> bytes = ReadAll(gz);
  const Inflation inflation = state.range(0) == 0 ? Inflation::kFastest : Inflation::kZlibOnly;
  BuildCrcTable();
  for (auto _ : state) {
    uint32_t size = 0;
    std::unique_ptr<uint8_t[]> out =
        GunzipMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), &size, inflation);
    if (!out || size != kD64Size) state.SkipWithError("gunzip failed");
    benchmark::DoNotOptimize(out.get());
  }
  state.SetBytesProcessed(state.iterations() * kD64Size);
}
BENCHMARK(BM_GunzipDisk)->Arg(0)->Arg(1);

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
