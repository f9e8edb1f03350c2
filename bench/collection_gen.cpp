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

#include "testkit/image_writer.h"
#include "testkit/random.h"
#include "util/file.h"

namespace {

constexpr int kZippedDisks = 2000;
constexpr int kPlainDisks = 500;
constexpr int kTapes = 300;
constexpr int kPrograms = 300;
constexpr int kCartridges = 100;
// Room for files on a 35-track disk: 664 blocks of 254 bytes.
constexpr uint32_t kDiskRoom = 664 * 254;

bool WriteFile(const std::string& path, const Bytes& bytes) {
  FileOwner file(fopen(path.c_str(), "wb"));
  return file && fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
         fclose(file.release()) == 0;
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
Bytes Tape(Random& random) {
  std::vector<Program> programs(random.Between(1, 8));
  for (size_t i = 0; i < programs.size(); ++i) {
    programs[i].bytes = ProgramBytes(random, random.Between(1024, 30 * 1024), 0.6);
    programs[i].name = std::string(kWords[i % 18]) + " " + std::to_string(i);
  }
  return BuildT64(Title(random), programs);
}

// A cartridge of 1 to 128 banks of 8 KiB (8 KiB to 1 MiB), sizes spread
// evenly on a log scale.
Bytes Cartridge(Random& random) {
  uint32_t banks = 1u << random.Between(0, 7);
  banks = random.Between(banks, std::min<uint32_t>(banks * 2 - 1, 128));
  const std::string name = Title(random);
  std::vector<Bytes> roms;
  for (uint32_t bank = 0; bank < banks; ++bank) roms.push_back(ProgramBytes(random, 0x2000, 0.6));
  return BuildCrt(roms, name);
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
