// A large DAT file and a folder of many small images, from one seed: the
// DAT holds TITLES titles, a few hundred of which are the CRC lists of files
// in the folder (spread over the whole DAT); the folder holds FILES images,
// one in a hundred a D64 of 1 to 8 programs, the rest PRG files.
//
//   scale_gen SEED FOLDER FILES TITLES IDENTIFIED
//
// FILES 0 writes the DAT file alone. Every byte depends on the arguments
// alone.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "testkit/random.h"

namespace {

constexpr uint32_t kD64Size = 174848;
constexpr uint32_t kDataPerSector = 254;

uint32_t Crc(const std::vector<uint8_t>& bytes) {
  return static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
}

// A program: load address $0801, then random bytes.
std::vector<uint8_t> Program(Random& random, uint32_t size) {
  std::vector<uint8_t> bytes = {0x01, 0x08};
  while (bytes.size() < size) bytes.push_back(static_cast<uint8_t>(random.Next()));
  return bytes;
}

// A 35-track D64 whose directory (track 18, sector 1) lists `programs`,
// stored one after another from track 1 on.
std::vector<uint8_t> D64(const std::vector<std::vector<uint8_t>>& programs) {
  std::vector<uint8_t> image(kD64Size, 0);
  auto sector = [&](uint32_t track, uint32_t number) {
    return image.data() + ((track - 1) * 21 + number) * 256;  // tracks 1-17: 21 sectors
  };
  uint8_t* bam = image.data() + 357 * 256;  // track 18, sector 0
  bam[0] = 18;
  bam[1] = 1;
  bam[2] = 0x41;
  uint8_t* directory = bam + 256;
  directory[1] = 0xFF;
  uint32_t next = 0;  // the next free sector, counted from track 1 sector 0
  for (size_t k = 0; k < programs.size(); ++k) {
    const std::vector<uint8_t>& program = programs[k];
    uint8_t* entry = directory + 32 * k;
    entry[2] = 0x82;
    entry[3] = static_cast<uint8_t>(1 + next / 21);
    entry[4] = static_cast<uint8_t>(next % 21);
    std::string name = "FILE " + std::to_string(k);
    for (size_t i = 0; i < 16; ++i) entry[5 + i] = i < name.size() ? name[i] : 0xA0;
    uint32_t blocks = static_cast<uint32_t>((program.size() + kDataPerSector - 1) / kDataPerSector);
    entry[30] = static_cast<uint8_t>(blocks);
    for (uint32_t b = 0; b < blocks; ++b, ++next) {
      uint8_t* s = sector(1 + next / 21, next % 21);
      size_t from = size_t{b} * kDataPerSector;
      size_t used = std::min<size_t>(kDataPerSector, program.size() - from);
      bool last = b + 1 == blocks;
      s[0] = last ? 0 : static_cast<uint8_t>(1 + (next + 1) / 21);
      s[1] = last ? static_cast<uint8_t>(used + 1) : static_cast<uint8_t>((next + 1) % 21);
      std::copy(program.begin() + from, program.begin() + from + used, s + 2);
    }
  }
  return image;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}

std::string DatLine(const std::string& name, const std::string& publisher,
                    const std::string& note, const std::string& cracker, uint32_t date,
                    const std::vector<uint32_t>& crcs) {
  char field[16];
  std::string line = name + ";" + publisher + ";" + note + ";" + cracker + ";" +
                     std::to_string(date);
  snprintf(field, sizeof field, ";%03u", static_cast<unsigned>(crcs.size()));
  line += field;
  for (uint32_t crc : crcs) {
    snprintf(field, sizeof field, ";%08X", crc);
    line += field;
  }
  return line + "\n";
}

const char* const kWords[] = {"Space", "Rock",  "Maze",   "Star",  "Ninja", "Race",
                              "War",   "Quest", "Blast",  "Tower", "Dragon", "Cave",
                              "Jet",   "Ghost", "Hunter", "City",  "Storm",  "Zone"};
const char* const kPublishers[] = {"Ocean", "U.S. Gold", "Firebird", "Mastertronic",
                                   "Epyx", "System 3", "Thalamus", "Hewson"};
const char* const kGroups[] = {"", "Ikari", "Fairlight", "Triad", "Hotline", "Eagle Soft"};

std::string Word(Random& random) { return kWords[random.Next() % 18]; }

// A title of 1 to 8 files that no image of the folder holds.
std::string RandomTitle(Random& random, uint32_t number) {
  std::vector<uint32_t> crcs(random.Between(1, 8));
  for (uint32_t& crc : crcs) crc = static_cast<uint32_t>(random.Next());
  return DatLine(Word(random) + " " + Word(random) + " " + std::to_string(number),
                 kPublishers[random.Next() % 8], "", kGroups[random.Next() % 6],
                 random.Between(1982, 1994), crcs);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    fprintf(stderr, "usage: scale_gen SEED FOLDER FILES TITLES IDENTIFIED\n");
    return 2;
  }
  Random random(strtoull(argv[1], nullptr, 10));
  std::string folder = argv[2];
  uint32_t files = static_cast<uint32_t>(strtoul(argv[3], nullptr, 10));
  uint32_t titles = static_cast<uint32_t>(strtoul(argv[4], nullptr, 10));
  uint32_t identified = files == 0 ? 0 : static_cast<uint32_t>(strtoul(argv[5], nullptr, 10));

  // The files whose lists the DAT holds: every (files / identified)-th one,
  // at evenly spread title indices.
  uint32_t fileStep = identified ? files / identified : 0;
  uint32_t titleStep = identified ? titles / (identified + 1) : 0;
  std::vector<std::string> found(identified);
  for (uint32_t i = 0; i < files; ++i) {
    bool disk = i % 100 == 99;
    char name[32];
    snprintf(name, sizeof name, disk ? "disk%06u.d64" : "prog%06u.prg", i);
    std::vector<uint32_t> crcs;
    std::vector<uint8_t> bytes;
    if (disk) {
      std::vector<std::vector<uint8_t>> programs(random.Between(1, 8));
      for (auto& program : programs) {
        program = Program(random, random.Between(300, 4000));
        crcs.push_back(Crc(program));
      }
      bytes = D64(programs);
    } else {
      bytes = Program(random, random.Between(100, 1500));
      crcs.push_back(Crc(bytes));
    }
    if (!WriteFile(folder + "/" + name, bytes)) {
      fprintf(stderr, "cannot write %s/%s\n", folder.c_str(), name);
      return 1;
    }
    if (fileStep && i % fileStep == fileStep / 2 && i / fileStep < identified) {
      found[i / fileStep] = DatLine("Found " + std::string(name), "Bench", "", "", 0, crcs);
    }
  }

  std::string dat = "C64 Scale " + std::to_string(titles) + "\n";
  size_t next = 0;
  for (uint32_t index = 1; index <= titles; ++index) {
    if (next < found.size() && index == (next + 1) * titleStep) {
      dat += found[next++];
    } else {
      dat += RandomTitle(random, index);
    }
  }
  if (!WriteFile(folder + "/C64.dat", std::vector<uint8_t>(dat.begin(), dat.end()))) {
    fprintf(stderr, "cannot write %s/C64.dat\n", folder.c_str());
    return 1;
  }
  return 0;
}
