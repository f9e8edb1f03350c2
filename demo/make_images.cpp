// make-images: the sample images of the demo collection and the fuzz seeds,
// from the writers the tests use. Each command writes its image to standard
// output, except cut, which damages a disk in place:
//   text LENGTH TEXT        TEXT repeated to LENGTH bytes
//   basic TEXT              10 PRINT "TEXT" at $0801
//   p00 NAME FILE           FILE behind a P00 header naming it
//   tap FILE                a TAP image of the pulses in FILE
//   t64 TITLE NAME FILE...  a T64 tape of the programs in FILEs
//   crt NAME FILE...        a cartridge of one bank per FILE
//   cut D64 TRACK           the disk's first file links from its first sector
//                           to sector 0 of TRACK
// In TEXT, NAME and TITLE, \0 stands for a zero byte.
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "testkit/disk_writer.h"
#include "testkit/image_writer.h"

namespace {

bool Load(const std::string& path, Bytes* bytes) {
  std::ifstream file(path, std::ios::binary);
  bytes->assign(std::istreambuf_iterator<char>(file), {});
  if (file.is_open() && !file.bad()) return true;
  fprintf(stderr, "make-images: cannot read %s\n", path.c_str());
  return false;
}

bool Save(std::ostream& out, const Bytes& bytes) {
  return static_cast<bool>(out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size()).flush());
}

// A whole decimal number.
bool Number(const std::string& text, uint32_t* value) {
  const char* end = text.data() + text.size();
  return std::from_chars(text.data(), end, *value) == std::from_chars_result{end, std::errc()};
}

bool Cut(const std::string& path, uint8_t track) {
  Bytes d64;
  const uint32_t entry = SectorIndex(18, 1) * 256 + 2;
  if (!Load(path, &d64) || d64.size() < entry + 3) return false;
  const uint32_t first = SectorIndex(d64[entry + 1], d64[entry + 2]) * 256;
  if (d64.size() < first + 2) return false;
  d64[first] = track, d64[first + 1] = 0;
  std::ofstream out(path, std::ios::binary);
  return Save(out, d64);
}

int Usage() {
  fputs("usage: make-images text LENGTH TEXT | basic TEXT | p00 NAME FILE | tap FILE\n"
        "                   | t64 TITLE NAME FILE... | crt NAME FILE... | cut D64 TRACK\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::string kind = args.empty() ? "" : args[0];
  const size_t count = args.size();
  // The files the image is made of: the arguments from `first` on, every `step`th.
  const size_t first = kind == "tap" ? 1 : kind == "p00" || kind == "crt" ? 2 : kind == "t64" ? 3 : count;
  const size_t step = kind == "t64" ? 2 : 1;
  std::vector<Bytes> files;
  for (size_t i = first; i < count; i += step) {
    if (!Load(args[i], &files.emplace_back())) return 1;
  }
  for (std::string& arg : args) {  // the files are read
    for (size_t at; (at = arg.find("\\0")) != std::string::npos;) arg.replace(at, 2, 1, '\0');
  }
  uint32_t number = 0;
  Bytes image;
  if (kind == "text" && count == 3 && Number(args[1], &number) && !args[2].empty()) {
    for (uint32_t i = 0; i < number; ++i) image.push_back(args[2][i % args[2].size()]);
  } else if (kind == "basic" && count == 2) {
    image = BuildBasic(args[1]);
  } else if (kind == "p00" && count == 3) {
    image = BuildP00(args[1], files[0]);
  } else if (kind == "tap" && count == 2) {
    image = BuildTap(files[0]);
  } else if (kind == "t64" && count >= 4 && count % 2 == 0) {
    std::vector<Program> programs;
    for (size_t i = 0; i < files.size(); ++i) {
      if (files[i].size() < 2) return Usage();  // no load address
      programs.push_back({args[2 + 2 * i], files[i]});
    }
    image = BuildT64(args[1], programs);
  } else if (kind == "crt" && count >= 3) {
    image = BuildCrt(files, args[1]);
  } else if (kind == "cut" && count == 3 && Number(args[2], &number) && number < 256) {
    if (Cut(argv[2], static_cast<uint8_t>(number))) return 0;
    fprintf(stderr, "make-images: cannot cut the first file of %s\n", argv[2]);
    return 1;
  } else {
    return Usage();
  }
  return Save(std::cout, image) ? 0 : 1;
}
