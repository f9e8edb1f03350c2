// Preloaded into the Linux binary by windows-diff.sh: every folder is listed
// as Windows' file systems (and Wine) list it, sorted by the names in upper
// case, so that both builds meet the files of a folder in the same order.
#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct SortedListing {
  uint64_t magic = 0x57696e4f72646572;  // tells our listings from real ones
  std::vector<dirent> entries;
  size_t next = 0;
};

template <typename F>
F Real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

std::string Upper(const char* name) {
  std::string upper = name;
  for (char& c : upper) c = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
  return upper;
}

DIR* Sorted(DIR* real) {
  if (real == nullptr) return nullptr;
  auto* listing = new SortedListing;
  while (const dirent* entry = Real<dirent* (*)(DIR*)>("readdir")(real)) listing->entries.push_back(*entry);
  Real<int (*)(DIR*)>("closedir")(real);
  std::sort(listing->entries.begin(), listing->entries.end(), [](const dirent& a, const dirent& b) {
    const int upper = Upper(a.d_name).compare(Upper(b.d_name));
    return upper != 0 ? upper < 0 : std::strcmp(a.d_name, b.d_name) < 0;
  });
  return reinterpret_cast<DIR*>(listing);
}

SortedListing* Ours(DIR* dir) {
  auto* listing = reinterpret_cast<SortedListing*>(dir);
  return listing != nullptr && listing->magic == SortedListing().magic ? listing : nullptr;
}

}  // namespace

extern "C" DIR* opendir(const char* name) { return Sorted(Real<DIR* (*)(const char*)>("opendir")(name)); }

extern "C" dirent* readdir(DIR* dir) {
  SortedListing* listing = Ours(dir);
  if (listing == nullptr) return Real<dirent* (*)(DIR*)>("readdir")(dir);
  return listing->next < listing->entries.size() ? &listing->entries[listing->next++] : nullptr;
}

extern "C" int closedir(DIR* dir) {
  SortedListing* listing = Ours(dir);
  if (listing == nullptr) return Real<int (*)(DIR*)>("closedir")(dir);
  delete listing;
  return 0;
}
