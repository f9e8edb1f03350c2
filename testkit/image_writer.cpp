// Writers of BASIC programs and P00, TAP, T64 and CRT images.
#include "testkit/image_writer.h"

#include <algorithm>

// The line link points at the line's own end byte, not past it, as it always
// has in the demo collection; LOAD relinks the lines, so BASIC never follows it.
Bytes BuildBasic(const std::string& text) {
  Bytes out;
  PutLe(out, 0x0801, 2);
  PutLe(out, 0x0801 + static_cast<uint32_t>(text.size()) + 7, 2);
  PutLe(out, 10, 2);
  out.push_back(0x99);  // PRINT
  PutText(out, '"' + text + '"', text.size() + 2);
  out.insert(out.end(), 3, 0);  // the line's end, then the program's
  return out;
}

Bytes BuildP00(const std::string& name, const Bytes& file) {
  Bytes out;
  PutText(out, "C64File", 8, '\0');
  PutText(out, name, 18, '\0');  // the name and the REL record size
  out.insert(out.end(), file.begin(), file.end());
  return out;
}

Bytes BuildTap(const Bytes& pulses) {
  Bytes out;
  PutText(out, "C64-TAPE-RAW\x01", 16, '\0');
  PutLe(out, static_cast<uint32_t>(pulses.size()), 4);
  out.insert(out.end(), pulses.begin(), pulses.end());
  return out;
}

Bytes BuildT64Directory(uint16_t count, const std::vector<T64Entry>& entries, const std::string& title) {
  Bytes out;
  PutText(out, "C64S tape image file", 32, '\0');
  PutLe(out, 0x0100, 2);
  PutLe(out, count, 2);
  PutLe(out, static_cast<uint32_t>(std::count_if(entries.begin(), entries.end(), [](auto& e) { return e.offset; })), 2);
  PutLe(out, 0, 2);
  PutText(out, title, 24);
  for (const T64Entry& e : entries) {
    const size_t start = out.size();
    PutLe(out, 0x8201, 2);  // a normal tape file, PRG
    PutLe(out, e.load, 2);
    PutLe(out, e.end, 2);
    PutLe(out, 0, 2);
    PutLe(out, e.offset, 4);
    PutLe(out, 0, 4);
    PutText(out, e.name, 16);
    if (e.offset == 0) std::fill(out.begin() + static_cast<long>(start), out.end(), 0);  // a free slot
  }
  if (count > entries.size()) out.insert(out.end(), 32 * (count - entries.size()), 0);
  return out;
}

Bytes BuildT64(const std::string& title, const std::vector<Program>& programs) {
  std::vector<T64Entry> entries;
  uint32_t offset = 64 + 32 * static_cast<uint32_t>(programs.size());
  for (const Program& p : programs) {
    const uint16_t load = static_cast<uint16_t>(p.bytes[0] | p.bytes[1] << 8);
    const auto length = static_cast<uint32_t>(p.bytes.size() - 2);
    entries.push_back({load, offset, p.name, static_cast<uint16_t>(load + length)});
    offset += length;
  }
  Bytes out = BuildT64Directory(static_cast<uint16_t>(programs.size()), entries, title);
  for (const Program& p : programs) out.insert(out.end(), p.bytes.begin() + 2, p.bytes.end());
  return out;
}

// More than two 8 KiB banks at $8000 take a bank-switching cartridge: type
// 19 (Magic Desk), with its GAME line high.
Bytes BuildCrt(const std::vector<Bytes>& roms, const std::string& name) {
  const bool banked = roms.size() > 2;
  Bytes out;
  PutText(out, "C64 CARTRIDGE", 16);
  PutBe(out, 0x40, 4);    // header length
  PutBe(out, 0x0100, 2);  // version 1.0
  PutBe(out, banked ? 19 : 0, 2);
  PutBe(out, banked ? 1 : 0, 2);  // EXROM, GAME
  out.insert(out.end(), 6, 0);
  PutText(out, name, 32, '\0');
  for (size_t bank = 0; bank < roms.size(); ++bank) {
    const Bytes& rom = roms[bank];
    PutText(out, "CHIP", 4);
    PutBe(out, 16 + static_cast<uint32_t>(rom.size()), 4);
    PutBe(out, static_cast<uint32_t>(bank), 4);  // ROM, bank
    PutBe(out, 0x8000, 2);
    PutBe(out, static_cast<uint32_t>(rom.size()), 2);
    out.insert(out.end(), rom.begin(), rom.end());
  }
  return out;
}
