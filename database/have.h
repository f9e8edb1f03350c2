// The have file (titles found in earlier runs), the miss list, and the
// version line of a dump.
#pragma once

#include <string>

#include "database/dat.h"

// Sets the have marks listed in the profile's have file.
void ReadHave(Database& db, const SystemProfile& profile);

// Writes the have file and the miss list when any title is present.
void WriteHave(const Database& db, const SystemProfile& profile);

// WriteHave, then releases the database.
void UnloadDat(Database& db, const SystemProfile& profile);

// The version string of the loaded database, or a made-up one ("C64 1.34\n").
const std::string& DatVersion(Database& db, const SystemProfile& profile);

// The made-up version number for a draw r of 0 .. 32767: 1234 gives "1.34".
std::string DatVersionNumber(unsigned r);
