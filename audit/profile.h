// The run's flag word and the two system profiles.
#pragma once

#include <cstdint>

#include "database/dat.h"
#include "images/factory.h"

using RunFlags = uint32_t;
constexpr RunFlags RF_DUMP = 0x001;         // -d: write dump lines
constexpr RunFlags RF_RENAME = 0x002;       // -r: move identified files
constexpr RunFlags RF_SUBDIRS = 0x010;      // -s: one level of subdirectories
constexpr RunFlags RF_WALK = 0x020;         // a system was selected
constexpr RunFlags RF_SINGLE_FILE = 0x040;  // a file name was given
constexpr RunFlags RF_INFO = 0x100;         // -i: print what each file is
constexpr RunFlags RF_DRY_RUN = 0x200;      // -n: change nothing; -r prints its plan

// Files are looked up among the titles: -i or -r, and not -d.
constexpr bool MatchesTitles(RunFlags flags) {
  return (flags & RF_DUMP) == 0 && (flags & (RF_INFO | RF_RENAME)) != 0;
}

// Identified files are moved: -r, neither -d nor -i.
constexpr bool RenamesFiles(RunFlags flags) {
  return (flags & (RF_DUMP | RF_INFO)) == 0 && (flags & RF_RENAME) != 0;
}

// What one system's run uses: its database files, the extensions that count
// as images (index = ImageType; entry 0 a placeholder, closed by "") and the
// factory that makes readers.
struct SystemProfile {
  DatFiles files;
  const char* const* extensions;
  ImageFactory factory;
};

inline constexpr SystemProfile kC64Profile = {
    {"C64.dat", "C64have.dat", "C64miss.txt"}, kC64Extensions, CreateImageC64};
inline constexpr SystemProfile kAmigaProfile = {
    {"Amiga.dat", "Amighave.dat", "Amigmiss.txt"}, kAmigaExtensions, CreateImageAmiga};
