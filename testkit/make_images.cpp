// make-images: the sample images of the demo collection and the fuzz seeds,
// from the writers the tests use. Each writes its image to standard output,
// except cut, which damages a disk in place. In TEXT, NAME and TITLE, "\0"
// stands for a zero byte, which an argument cannot hold.
//
//   make-images text LENGTH TEXT         TEXT repeated to LENGTH bytes
//   make-images basic TEXT               10 PRINT "TEXT" at $0801
//   make-images p00 NAME FILE            FILE behind a P00 header naming it
//   make-images tap FILE                 a TAP image of the pulses in FILE
//   make-images t64 TITLE NAME FILE ...  a T64 tape of the programs in FILEs
//   make-images crt NAME FILE ...        a cartridge of one bank per FILE
//   make-images cut D64 TRACK            the first file's first sector of the
//                                        disk links on to sector 0 of TRACK
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "testkit/disk_writer.h"
#include "testkit/image_writer.h"
#include "util/file.h"

namespace {

bool Load(const char* path, Bytes* bytes) {
  FileOwner file(fopen(path, "rb"));
  if (!file) return false;
  uint8_t buffer[65536];
  while (size_t n = fread(buffer, 1, sizeof buffer, file.get())) bytes->insert(bytes->end(), buffer, buffer + n);
  return !ferror(file.get());
}

bool Put(FILE* file, const Bytes& bytes) {
  return fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && fflush(file) == 0;
}

Bytes RepeatedText(uint32_t length, const std::string& text) {
  Bytes out(length);
  for (uint32_t i = 0; i < length && !text.empty(); ++i) out[i] = text[i % text.size()];
  return out;
}

std::string WithZeroBytes(std::string text) {
  for (size_t at; (at = text.find("\\0")) != std::string::npos;) text.replace(at, 2, 1, '\0');
  return text;
}

// A whole decimal number.
bool Number(const std::string& text, uint32_t* value) {
  char* end = nullptr;
  const unsigned long number = strtoul(text.c_str(), &end, 10);
  *value = static_cast<uint32_t>(number);
  return !text.empty() && *end == '\0' && number <= UINT32_MAX;
}

bool Cut(const char* path, uint8_t track) {
  Bytes d64;
  if (!Load(path, &d64)) return false;
  const uint32_t entry = SectorIndex(18, 1) * 256 + 2;
  if (d64.size() < entry + 3) return false;
  const uint32_t first = SectorIndex(d64[entry + 1], d64[entry + 2]) * 256;
  if (d64.size() < first + 2) return false;
  d64[first] = track;
  d64[first + 1] = 0;
  FileOwner file(fopen(path, "wb"));
  return file && Put(file.get(), d64) && fclose(file.release()) == 0;
}

int Usage() {
  fputs("usage: make-images text LENGTH TEXT | basic TEXT | p00 NAME FILE | tap FILE |\n"
        "       t64 TITLE NAME FILE ... | crt NAME FILE ... | cut D64 TRACK\n", stderr);
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
    files.emplace_back();
    if (!Load(args[i].c_str(), &files.back())) {
      fprintf(stderr, "make-images: cannot read %s\n", args[i].c_str());
      return 1;
    }
  }
  for (std::string& arg : args) arg = WithZeroBytes(arg);  // the files are read
  uint32_t number = 0;
  Bytes image;
  if (kind == "text" && count == 3 && Number(args[1], &number)) {
    image = RepeatedText(number, args[2]);
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
  return Put(stdout, image) ? 0 : 1;
}
