// The command line, the run's flag word and the two system profiles.
#pragma once

#include <cstdint>
#include <string>

#include "images/factory.h"

using RunFlags = uint32_t;
constexpr RunFlags RF_DUMP = 0x001;         // -d: write dump lines
constexpr RunFlags RF_RENAME = 0x002;       // -r: move identified files
constexpr RunFlags RF_SUBDIRS = 0x010;      // -s: one level of subdirectories
constexpr RunFlags RF_WALK = 0x020;         // a system was selected
constexpr RunFlags RF_SINGLE_FILE = 0x040;  // a file name was given
constexpr RunFlags RF_INFO = 0x100;         // -i: print what each file is

// What one system's run uses: its database files, the extensions that count
// as images (index = ImageType; entry 0 a placeholder, closed by "") and the
// factory that makes readers.
struct SystemProfile {
  const char* dat_file;
  const char* have_file;
  const char* miss_file;
  const char* const* extensions;
  ImageFactory factory;
};

extern const SystemProfile kC64Profile;
extern const SystemProfile kAmigaProfile;

// The profile selected by the command line; nullptr before a selection.
const SystemProfile* CurrentProfile();

// Makes the profile that the first character of `text` names ('c' or 'a')
// current and returns 1, or returns 0. Either way the pattern cursor restarts.
int SelectProfile(const char* text);

// Parses the arguments right to left into the flag word; fills `fileName` in
// single-file mode. 0 (the usage printed) when the run cannot start.
RunFlags ParseOptions(int argc, const char* const* argv, std::string* fileName);

void PrintUsage();

// The next pattern of the current profile ("*.D64") and its table index, or
// "" and 0 when the table is exhausted (the cursor then starts over).
int NextPattern(std::string* out);
