// Placeholder ZIP reader.
#include "archive/zip.h"

const char kZipFileSystem[] = "Your filesystem seems to be corrupt, please check it";
const char kZipCorrupt[] = "The zipfile seems to be corrupt, please check it";
const char kZipUnsupported[] =
    "The format of this zipfile is not supported, please recompress it";

std::unique_ptr<ZipArchive> ZipOpen(const std::string&) { return nullptr; }
const ZipEntry* ZipNextEntry(ZipArchive&) { return nullptr; }
void ZipClose(std::unique_ptr<ZipArchive>) {}
void ZipError(const char* explanation, const std::string& path) {
  printf("Error in zipfile %s\n%s\n", path.c_str(), explanation);
}
