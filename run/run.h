// The state of one run, owned by main and handed to whatever needs it.
#pragma once

#include <string>

#include "audit/profile.h"
#include "database/dat.h"

struct RunState {
  RunFlags flags = 0;
  std::string fileName;                    // the file of single-file mode
  std::string reportPath;                  // -oFILE: the CSV report, or none
  const SystemProfile* profile = nullptr;  // chosen by -c
  int patternCursor = 0;                   // index into the extension table
  unsigned workers = 0;                    // -j: threads that list files; 0 = one per CPU
  Database database;                       // loaded by -i and -r
};
