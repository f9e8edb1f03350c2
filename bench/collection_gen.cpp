// The content of the benchmark collection, from one seed: program files for
// the disks (written to a work folder, with one cc1541 line per disk on
// standard output), and the finished T64, PRG and CRT images.
//
//   collection_gen SEED FOLDER WORKDIR
//
// Every byte depends on the seed alone, so a seed names a collection.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kZippedDisks = 2000;
constexpr int kPlainDisks = 500;
constexpr int kTapes = 300;
constexpr int kPrograms = 300;
constexpr int kCartridges = 100;
// Room for files on a 35-track disk: 664 blocks of 254 bytes.
constexpr uint32_t kDiskRoom = 664 * 254;

// splitmix64: small, fast, and the same on every platform.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [low, high].
  uint32_t Between(uint32_t low, uint32_t high) {
    return low + static_cast<uint32_t>(Next() % (high - low + 1));
  }
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

 private:
  uint64_t state_;
};

// Bytes shaped like a C64 program: a load address, then a mix of fresh bytes
// (skewed towards common opcodes and zero-page values) and repeats of earlier
// runs. `fresh` is the share of fresh bytes, which sets how well it deflates.
std::vector<uint8_t> ProgramBytes(Random& random, uint32_t size, double fresh) {
  static const uint8_t kCommon[] = {0xA9, 0x8D, 0x20, 0x4C, 0xAD, 0xA2, 0xA0, 0x60,
                                    0xD0, 0xF0, 0xE8, 0xC8, 0x85, 0xA5, 0x00, 0xFF,
                                    0x10, 0x30, 0xBD, 0x9D, 0xC9, 0x18, 0x69, 0x38};
  std::vector<uint8_t> out;
  out.reserve(size);
  out.push_back(0x01);
  out.push_back(0x08);
  uint32_t freshBytes = 0;
  while (out.size() < size) {
    uint32_t room = size - static_cast<uint32_t>(out.size());
    if (out.size() < 16 || freshBytes < fresh * out.size()) {
      uint32_t run = std::min(room, random.Between(1, 8));
      for (uint32_t i = 0; i < run; ++i) {
        uint64_t r = random.Next();
        out.push_back((r & 3) == 0 ? kCommon[(r >> 8) % sizeof kCommon]
                                   : static_cast<uint8_t>(r >> 16));
      }
      freshBytes += run;
    } else {
      uint32_t length = std::min(room, random.Between(3, 40));
      uint32_t reach = std::min<uint32_t>(static_cast<uint32_t>(out.size()), 16384);
      size_t from = out.size() - random.Between(1, reach);
      for (uint32_t i = 0; i < length; ++i) out.push_back(out[from + i]);
    }
  }
  return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}
void PutBig16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}
void PutText(std::vector<uint8_t>& out, const std::string& text, size_t width, char pad) {
  for (size_t i = 0; i < width; ++i) out.push_back(i < text.size() ? text[i] : pad);
}

const char* const kWords[] = {"SPACE", "ROCK",  "MAZE",   "STAR",  "NINJA", "RACE",
                              "WAR",   "QUEST", "BLAST",  "TOWER", "DRAGON", "CAVE",
                              "JET",   "GHOST", "HUNTER", "CITY",  "STORM",  "ZONE"};

std::string Title(Random& random) {
  constexpr size_t kCount = sizeof kWords / sizeof kWords[0];
  return std::string(kWords[random.Next() % kCount]) + " " + kWords[random.Next() % kCount];
}

// A disk of 4 to 12 files filling 55% to 95% of it. Its files go to
// `work`/dN-K.prg; the line printed is "kind<TAB>image<TAB>disk name" then
// "<TAB>file name<TAB>type<TAB>path" for each file.
bool MakeDiskContent(Random& random, const std::string& kind, const std::string& image,
                     const std::string& work, int number) {
  uint32_t files = random.Between(4, 12);
  double fill = 0.55 + 0.40 * random.Unit();
  double fresh = 0.45 + 0.35 * random.Unit();
  // Split the data between the files; a block is lost to each file's tail.
  std::vector<double> weights(files);
  double total = 0;
  for (double& w : weights) total += (w = 0.2 + random.Unit());
  std::string line = kind + "\t" + image + "\t" + Title(random);
  for (uint32_t k = 0; k < files; ++k) {
    uint32_t size = static_cast<uint32_t>(fill * (kDiskRoom - 254 * files) * weights[k] / total);
    std::string path = work + "/d" + std::to_string(number) + "-" + std::to_string(k) + ".prg";
    if (!WriteFile(path, ProgramBytes(random, std::max<uint32_t>(size, 3), fresh))) return false;
    std::string name = std::string(kWords[random.Next() % 18]) + " " + std::to_string(k);
    line += "\t" + name + "\t" + (random.Between(0, 7) == 0 ? "SEQ" : "PRG") + "\t" + path;
  }
  printf("%s\n", line.c_str());
  return true;
}

// A tape of 1 to 8 programs of 1 to 30 KiB.
std::vector<uint8_t> Tape(Random& random) {
  uint32_t count = random.Between(1, 8);
  std::vector<std::vector<uint8_t>> programs;
  for (uint32_t i = 0; i < count; ++i) {
    programs.push_back(ProgramBytes(random, random.Between(1024, 30 * 1024), 0.6));
  }
  std::vector<uint8_t> out;
  PutText(out, "C64S tape image file", 32, '\0');
  Put16(out, 0x0100);
  Put16(out, count);
  Put16(out, count);
  Put16(out, 0);
  PutText(out, Title(random), 24, ' ');
  uint32_t offset = 64 + 32 * count;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t length = static_cast<uint32_t>(programs[i].size()) - 2;
    out.push_back(0x01);
    out.push_back(0x82);
    Put16(out, 0x0801);
    Put16(out, 0x0801 + length);
    Put16(out, 0);
    Put32(out, offset);
    Put32(out, 0);
    PutText(out, std::string(kWords[i % 18]) + " " + std::to_string(i), 16, ' ');
    offset += length;
  }
  for (const auto& program : programs) out.insert(out.end(), program.begin() + 2, program.end());
  return out;
}

// A cartridge of 1 to 128 banks of 8 KiB (8 KiB to 1 MiB), sizes spread
// evenly on a log scale.
std::vector<uint8_t> Cartridge(Random& random) {
  uint32_t banks = 1u << random.Between(0, 7);
  banks = random.Between(banks, std::min<uint32_t>(banks * 2 - 1, 128));
  std::vector<uint8_t> out;
  PutText(out, "C64 CARTRIDGE   ", 16, ' ');
  PutBig16(out, 0);
  PutBig16(out, 0x40);
  PutBig16(out, 0x0100);
  PutBig16(out, banks > 2 ? 19 : 0);
  out.push_back(0);
  out.push_back(banks > 2 ? 1 : 0);
  PutText(out, "", 6, '\0');
  PutText(out, Title(random), 32, '\0');
  for (uint32_t bank = 0; bank < banks; ++bank) {
    PutText(out, "CHIP", 4, ' ');
    PutBig16(out, 0);
    PutBig16(out, 0x2010);
    PutBig16(out, 0);
    PutBig16(out, bank);
    PutBig16(out, 0x8000);
    PutBig16(out, 0x2000);
    std::vector<uint8_t> rom = ProgramBytes(random, 0x2000, 0.6);
    out.insert(out.end(), rom.begin(), rom.end());
  }
  return out;
}

std::string Numbered(const char* stem, int number, const char* extension) {
  char name[64];
  snprintf(name, sizeof name, "%s_%04d%s", stem, number, extension);
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fputs("usage: collection_gen SEED FOLDER WORKDIR\n", stderr);
    return 2;
  }
  Random random(strtoull(argv[1], nullptr, 10));
  std::string folder = argv[2];
  std::string work = argv[3];
  int number = 0;
  for (int i = 0; i < kZippedDisks; ++i, ++number) {
    if (!MakeDiskContent(random, "zip", Numbered("game", number, ".d64"), work, number)) return 1;
  }
  for (int i = 0; i < kPlainDisks; ++i, ++number) {
    std::string image = folder + "/" + Numbered("disk", number, ".d64");
    if (!MakeDiskContent(random, "d64", image, work, number)) return 1;
  }
  for (int i = 0; i < kTapes; ++i) {
    if (!WriteFile(folder + "/" + Numbered("tape", i, ".t64"), Tape(random))) return 1;
  }
  for (int i = 0; i < kPrograms; ++i) {
    uint32_t size = random.Between(200, 48 * 1024);
    if (!WriteFile(folder + "/" + Numbered("prog", i, ".prg"), ProgramBytes(random, size, 0.6)))
      return 1;
  }
  for (int i = 0; i < kCartridges; ++i) {
    if (!WriteFile(folder + "/" + Numbered("cart", i, ".crt"), Cartridge(random))) return 1;
  }
  return 0;
}
