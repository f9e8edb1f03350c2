// The have file (titles found in earlier runs), the miss list, and the
// version line of a dump.
#pragma once

#include <string>

#include "database/dat.h"

// Sets the have marks listed in the have file.
void ReadHave(Database& db, const DatFiles& files, MessageSink& sink);

// Writes the have file and the miss list when any title is present.
void WriteHave(const Database& db, const DatFiles& files, MessageSink& sink);

// WriteHave, then releases the database.
void UnloadDat(Database& db, const DatFiles& files, MessageSink& sink);

// The version string of the loaded database, or one made up from the DAT
// file's name ("C64 1.34\n").
const std::string& DatVersion(Database& db, const DatFiles& files);

// The made-up version number for a draw r of 0 .. 32767: 1234 gives "1.34".
std::string DatVersionNumber(unsigned r);
