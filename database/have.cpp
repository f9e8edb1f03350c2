// The have file, the miss list, and the made-up version line of a dump.
#include "database/have.h"

#include <cstdio>
#include <ctime>
#include <random>
#include <utility>

#include "platform/platform.h"
#include "util/little_endian.h"

namespace {

bool AnyPresent(const Database& db) {
  for (uint32_t i = 1; i < db.recordCount; ++i) {
    if (db.records[i].have) return true;
  }
  return false;
}

// A failed write leaves the earlier file as it was.
void WriteOrReport(const char* name, const std::string& bytes, MessageSink& sink) {
  std::string error;
  if (!platform::WriteFileAtomically(name, bytes, &error)) {
    sink.Print(Stream::kErr, "Err: Unable to write %s: %s\n", name, error.c_str());
  }
}

}  // namespace

void ReadHave(Database& db, const DatFiles& files, MessageSink& sink) {
  std::string bytes;
  if (!ReadDatabaseFile(files.have, &bytes, sink)) return;
  const std::string& version = db.datVersion;
  if (bytes.compare(0, version.size(), version) != 0) {
    sink.Print(Stream::kErr, "Datfile version has changed, ignoring %s\n", files.have);
    sink.Write(Stream::kErr, "Re-scan all files to include them.\n");
    return;
  }
  for (size_t at = version.size(); at + 2 <= bytes.size(); at += 2) {
    uint16_t index = ReadLe16(reinterpret_cast<const uint8_t*>(bytes.data()) + at);
    if (index < db.recordCount) {
      db.records[index].have = 1;
    } else {
      sink.Print(Stream::kErr, "%s contains illegal index: %hu, ignoring\n", files.have,
                 index);
    }
  }
}

void WriteHave(const Database& db, const DatFiles& files, MessageSink& sink) {
  if (!AnyPresent(db)) return;
  std::string have = db.datVersion;
  std::string miss;
  have.reserve(have.size() + 2 * size_t{db.recordCount});
  for (uint32_t i = 1; i < db.recordCount; ++i) {
    const DatRecord& record = db.records[i];
    if (record.have) {
      have.push_back(static_cast<char>(i & 0xFF));
      have.push_back(static_cast<char>(i >> 8));
    } else {
      miss += record.name;
      miss += '\n';
    }
  }
  WriteOrReport(files.have, have, sink);
  WriteOrReport(files.miss, miss, sink);
}

void UnloadDat(Database& db, const DatFiles& files, MessageSink& sink) {
  WriteHave(db, files, sink);
  std::string version = std::move(db.datVersion);
  db = Database{};
  db.datVersion = std::move(version);
}

std::string DatVersionNumber(unsigned r) {
  // The first, third and fourth digits of r written as "%04u".
  char digits[16];
  snprintf(digits, sizeof digits, "%04u", r);
  return std::string{digits[0], '.', digits[2], digits[3]};
}

const std::string& DatVersion(Database& db, const DatFiles& files) {
  if (!db.datVersion.empty()) return db.datVersion;
  std::string base = files.dat;
  size_t dot = base.rfind('.');
  if (dot != std::string::npos) base.resize(dot);
  std::minstd_rand random(static_cast<unsigned>(time(nullptr)));
  unsigned r = std::uniform_int_distribution<unsigned>(0, 32767)(random);
  db.datVersion = base + ' ' + DatVersionNumber(r) + '\n';
  return db.datVersion;
}
