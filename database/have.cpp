// The have file, the miss list, and the made-up version line of a dump.
#include "database/have.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <random>

#include "platform/platform.h"
#include "util/file.h"

namespace {

bool AnyPresent(const Database& db) {
  for (uint32_t i = 1; i < db.recordCount && i < db.records.size(); ++i) {
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
  FileOwner file(platform::OpenFile(files.have, "rb"));
  if (!file) return;
  std::string head(db.datVersion.size(), '\0');
  if (fread(head.data(), 1, head.size(), file.get()) != head.size() ||
      head != db.datVersion) {
    sink.Print(Stream::kErr, "Datfile version has changed, ignoring %s\n", files.have);
    sink.Write(Stream::kErr, "Re-scan all files to include them.\n");
    return;
  }
  uint8_t pair[2];
  while (fread(pair, 1, 2, file.get()) == 2) {
    uint16_t index = static_cast<uint16_t>(pair[0] | pair[1] << 8);
    if (index < db.recordCount && index < db.records.size()) {
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
  for (uint32_t i = 1; i < db.recordCount && i < db.records.size(); ++i) {
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
  std::vector<DatRecord>().swap(db.records);
  db.recordCount = 0;
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
