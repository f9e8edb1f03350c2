// Writers of C64 programs and of tape and cartridge images: BASIC programs,
// P00, TAP, T64 and CRT.
#pragma once

#include <string>

#include "testkit/bytes.h"

// A BASIC program at $0801: 10 PRINT "<text>".
Bytes BuildBasic(const std::string& text);

// `file` behind a 26-byte P00 header holding `name`.
Bytes BuildP00(const std::string& name, const Bytes& file);

// A version 1 TAP image of `pulses`.
Bytes BuildTap(const Bytes& pulses);

// An entry of a T64 directory; a data offset of 0 marks a free slot.
struct T64Entry {
  uint16_t load;
  uint32_t offset;
  std::string name;
  uint16_t end = 0;
};

// A T64 header with `count` in its directory-size field, then
// max(count, entries) slots: `entries` first, free slots after them.
Bytes BuildT64Directory(uint16_t count, const std::vector<T64Entry>& entries, const std::string& title = "");

struct Program {
  std::string name;
  Bytes bytes;  // the load address first
};

// A T64 tape holding `programs` back to back behind its directory.
Bytes BuildT64(const std::string& title, const std::vector<Program>& programs);

// A cartridge: the 64-byte header, then one CHIP packet per ROM, loaded at
// $8000 in bank 0, 1, ...
Bytes BuildCrt(const std::vector<Bytes>& roms, const std::string& name = "");
