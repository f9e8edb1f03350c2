// The DAT loader, set matching, near matches and the have file over
// arbitrary bytes: the input up to its first zero byte is the DAT file, the
// rest (if there was a zero byte) the have file. The have file written at
// unload must read back to the same marks.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "database/dat.h"
#include "database/have.h"
#include "database/match.h"
#include "database/near.h"
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

// The lines of the DAT file as the loader is to see them: split at line
// feeds, a carriage return before a line feed dropped; whether the first
// one ended with a line feed.
std::vector<std::string> Lines(const std::string& text, bool* firstEnded) {
  std::vector<std::string> lines;
  size_t at = 0;
  *firstEnded = text.find('\n') != std::string::npos;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at));
      break;
    }
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

bool IsBlank(const std::string& line) {
  return line.find_first_not_of(" \t\v\f\r\n") == std::string::npos;
}

// Each title sits at its line number less one and is named by the line's
// first field; the texts keep their limits; the lists are sorted; the
// tables stay within what the file's bytes can call for.
void CheckTable(const Database& db, const std::string& text) {
  bool firstEnded = false;
  std::vector<std::string> lines = Lines(text, &firstEnded);
  if (db.recordCount == 0) {
    FUZZ_CHECK(!firstEnded && db.records.empty());
    return;
  }
  FUZZ_CHECK(firstEnded && db.datVersion == lines[0] + "\n");
  size_t last = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (!IsBlank(lines[i])) last = i;
  }
  FUZZ_CHECK(db.recordCount == std::min<size_t>(last, kMaxTitles) + 1);
  FUZZ_CHECK(db.records.size() == db.recordCount + 1);
  FUZZ_CHECK(db.crcStarts.size() == db.recordCount + 2);
  FUZZ_CHECK(db.Crcs(0).empty() && db.Crcs(db.recordCount).empty());
  for (uint32_t i = 1; i < db.recordCount; ++i) {
    const DatRecord& record = db.records[i];
    std::string line = IsBlank(lines[i]) ? "" : lines[i];
    FUZZ_CHECK(record.name == line.substr(0, std::min<size_t>(line.find(';'), 100)));
    FUZZ_CHECK(record.publisher.size() <= 30 && record.crackNote.size() <= 10 &&
               record.crackName.size() <= 20);
    FUZZ_CHECK(record.have <= 1);
    std::span<const uint32_t> crcs = db.Crcs(i);
    FUZZ_CHECK(crcs.size() <= 65535 && std::is_sorted(crcs.begin(), crcs.end()));
  }
  // A kept CRC takes at least two bytes of the file, and the list grows
  // at most twofold; there is a slot for at most every line feed.
  FUZZ_CHECK(db.crcs.capacity() <= std::max<size_t>(text.size(), 1));
  size_t lineFeeds = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  FUZZ_CHECK(db.records.capacity() <= std::min<size_t>(lineFeeds, kMaxTitles) + 2);
}

// Every title with CRCs is found by them, as the first title with that
// list; an empty query finds nothing or a title without CRCs.
void CheckMatching(const Database& db) {
  std::map<std::vector<uint32_t>, uint32_t> first;
  for (uint32_t i = 1; i < db.recordCount; ++i) {
    std::span<const uint32_t> crcs = db.Crcs(i);
    std::vector<uint32_t> list(crcs.begin(), crcs.end());
    if (list.empty()) continue;
    uint32_t expected = first.emplace(list, i).first->second;
    std::reverse(list.begin(), list.end());
    FUZZ_CHECK(FindRecordIndex(db, list) == expected);
  }
  std::vector<uint32_t> none;
  uint32_t index = FindRecordIndex(db, none);
  FUZZ_CHECK(index == 0 || (index < db.recordCount && db.Crcs(index).empty()));
}

// The near title of `query` (ascending) found the slow way: every title
// that holds one of its CRCs held by few enough titles, scored as a
// multiset.
NearMatch SlowNearMatch(const Database& db, const std::vector<uint32_t>& query) {
  std::map<uint32_t, std::set<uint32_t>> holders;
  for (uint32_t i = 1; i < db.recordCount; ++i) {
    for (uint32_t crc : db.Crcs(i)) holders[crc].insert(i);
  }
  const uint32_t common = CommonCrcTitles(db.recordCount - 1);
  NearMatch best;
  for (uint32_t i = 1; i < db.recordCount; ++i) {
    bool found = std::any_of(query.begin(), query.end(), [&](uint32_t crc) {
      return holders[crc].count(i) != 0 && holders[crc].size() <= common;
    });
    if (!found) continue;
    std::span<const uint32_t> crcs = db.Crcs(i);
    std::vector<uint32_t> shared;
    std::set_intersection(query.begin(), query.end(), crcs.begin(), crcs.end(),
                          std::back_inserter(shared));
    NearMatch near{i, static_cast<uint32_t>(shared.size()), static_cast<uint32_t>(crcs.size()),
                   static_cast<uint32_t>(query.size() - shared.size())};
    if (near.shared < 2 || 2 * near.shared < near.titleFiles) continue;
    if (best.index == 0 || near.shared > best.shared ||
        (near.shared == best.shared &&
         near.titleFiles + near.extra < best.titleFiles + best.extra)) {
      best = near;
    }
  }
  return best;
}

// The near search agrees with the slow one for the lists of the first
// titles with a file more and with their first file left out.
void CheckNear(Database& db) {
  NullSink quiet;
  for (uint32_t i = 1; i < db.recordCount && i <= 16; ++i) {
    std::span<const uint32_t> crcs = db.Crcs(i);
    std::vector<uint32_t> more(crcs.begin(), crcs.end()), less;
    more.push_back(0x5EED5EED);
    std::sort(more.begin(), more.end());
    if (!crcs.empty()) less.assign(crcs.begin() + 1, crcs.end());
    for (const std::vector<uint32_t>* query : {&more, &less}) {
      NearMatch fast = FindNearMatch(db, *query, quiet), slow = SlowNearMatch(db, *query);
      FUZZ_CHECK(fast.index == slow.index && fast.shared == slow.shared &&
                 fast.titleFiles == slow.titleFiles && fast.extra == slow.extra);
    }
  }
}

// The marks of titles 1 .. recordCount - 1 after checking the table.
std::vector<uint8_t> LoadAndCheck(const DatFiles& files, const std::string& text) {
  NullSink quiet;
  Database db;
  uint32_t count = LoadDat(db, files, quiet);
  FUZZ_CHECK(count == db.recordCount);
  CheckTable(db, text);
  std::vector<uint8_t> marks;
  if (count == 0) return marks;
  CheckMatching(db);
  CheckNear(db);
  for (uint32_t i = 1; i < count; ++i) marks.push_back(db.records[i].have);
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

  std::string text(reinterpret_cast<const char*>(data), dat_size);
  std::vector<uint8_t> marks = LoadAndCheck(folder.files, text);
  // Without a mark nothing was written, and a second load reads the same.
  if (std::find(marks.begin(), marks.end(), 1) != marks.end()) {
    FUZZ_CHECK(LoadAndCheck(folder.files, text) == marks);
  }
  return 0;
}
