// The DAT loader and the have file over arbitrary bytes: the input up to its
// first zero byte is the DAT file, the rest (if there was a zero byte) the
// have file. The have file written at unload must read back to the same
// marks.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "database/dat.h"
#include "database/have.h"
#include "fuzz/check.h"

namespace {

// A scratch folder per process holding the database's three files under
// full paths; removed when the process ends.
struct ScratchFolder {
  ScratchFolder()
      : path(std::filesystem::temp_directory_path() /
             ("dewmop-dat-fuzz-" + std::to_string(std::random_device()()))) {
    std::filesystem::create_directories(path);
    dat = (path / "C64.dat").string();
    have = (path / "C64have.dat").string();
    miss = (path / "C64miss.txt").string();
    files = {dat.c_str(), have.c_str(), miss.c_str()};
  }
  ~ScratchFolder() { std::filesystem::remove_all(path); }

  std::filesystem::path path;
  std::string dat, have, miss;
  DatFiles files;
};

const ScratchFolder& Folder() {
  static const ScratchFolder folder;
  return folder;
}

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(fwrite(data, 1, size, file) == size);
  fclose(file);
}

void CheckRecord(const DatRecord& record) {
  FUZZ_CHECK(record.name.size() <= 100 && record.publisher.size() <= 30 &&
             record.crackNote.size() <= 10 && record.crackName.size() <= 20);
  FUZZ_CHECK(record.crcs.size() == record.crcCount);
  for (size_t i = 1; i < record.crcs.size(); ++i) {
    FUZZ_CHECK(record.crcs[i - 1] <= record.crcs[i]);
  }
  FUZZ_CHECK(record.have <= 1);
}

// The marks of titles 1 .. recordCount - 1 after checking the table.
std::vector<uint8_t> LoadAndCheck(const DatFiles& files) {
  NullSink quiet;
  Database db;
  uint32_t count = LoadDat(db, files, quiet);
  FUZZ_CHECK(count == db.recordCount);
  FUZZ_CHECK(db.datVersion.size() <= 19);
  std::vector<uint8_t> marks;
  if (count == 0) return marks;
  FUZZ_CHECK(count < kDatSlots && db.records.size() == kDatSlots);
  for (uint32_t i = 1; i < count; ++i) {
    CheckRecord(db.records[i]);
    marks.push_back(db.records[i].have);
  }
  UnloadDat(db, files, quiet);
  FUZZ_CHECK(db.records.empty() && db.recordCount == 0);
  return marks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ScratchFolder& folder = Folder();
  const uint8_t* zero = static_cast<const uint8_t*>(memchr(data, 0, size));
  size_t dat_size = zero ? static_cast<size_t>(zero - data) : size;
  WriteBytes(folder.dat, data, dat_size);
  std::filesystem::remove(folder.have);
  if (zero) WriteBytes(folder.have, zero + 1, size - dat_size - 1);

  std::vector<uint8_t> marks = LoadAndCheck(folder.files);
  // Without a mark nothing was written, and a second load reads the same.
  if (std::find(marks.begin(), marks.end(), 1) != marks.end()) {
    FUZZ_CHECK(LoadAndCheck(folder.files) == marks);
  }
  return 0;
}
