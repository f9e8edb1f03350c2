// Placeholder have file.
#include "database/have.h"

void ReadHave(Database&, const SystemProfile&) {}
void WriteHave(const Database&, const SystemProfile&) {}
void UnloadDat(Database&, const SystemProfile&) {}
const std::string& DatVersion(Database& db, const SystemProfile& profile) {
  if (db.datVersion.empty()) {
    std::string base = profile.dat_file;
    db.datVersion = base.substr(0, base.rfind('.')) + " 1.00\n";
  }
  return db.datVersion;
}
