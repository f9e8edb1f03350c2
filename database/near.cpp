// Near matches through an index from each CRC to the titles that hold it.
#include "database/near.h"

#include <algorithm>
#include <bit>
#include <new>
#include <numeric>
#include <vector>

namespace {

constexpr uint32_t kFewestCommonTitles = 64;
// About two keys a bucket; at most 2^24 buckets (64 MiB of starts, for a
// DAT of 32 million CRCs).
constexpr int kMostBucketBits = 24;

uint64_t KeyOf(uint32_t crc, uint32_t title) { return uint64_t{crc} << 32 | title; }

uint32_t TitleOf(uint64_t key) { return static_cast<uint32_t>(key); }

// The keys of the titles holding `crc`, in DAT order.
std::span<const uint64_t> Holders(const CrcIndex& index, uint32_t crc) {
  const uint32_t bucket = crc >> index.shift;
  auto first = index.keys.begin() + index.starts[bucket];
  auto last = index.keys.begin() + index.starts[bucket + 1];
  first = std::lower_bound(first, last, KeyOf(crc, 0));
  last = std::upper_bound(first, last, KeyOf(crc, 0xFFFFFFFF));
  return {first, last};
}

// How many values two ascending lists share, counted as multisets.
size_t SharedValues(std::span<const uint32_t> a, std::span<const uint32_t> b) {
  size_t shared = 0;
  for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
    if (a[i] < b[j]) {
      ++i;
    } else if (b[j] < a[i]) {
      ++j;
    } else {
      ++shared, ++i, ++j;
    }
  }
  return shared;
}

// How often the ascending list holds `value`.
size_t Copies(std::span<const uint32_t> values, uint32_t value) {
  auto [first, last] = std::equal_range(values.begin(), values.end(), value);
  return static_cast<size_t>(last - first);
}

bool IsNear(size_t shared, size_t titleFiles) { return shared >= 2 && 2 * shared >= titleFiles; }

// More files shared, then fewer missing and extra; a tie keeps `best`, the
// earlier title.
bool IsBetter(const NearMatch& candidate, const NearMatch& best) {
  if (best.index == 0 || candidate.shared != best.shared) return candidate.shared > best.shared;
  return candidate.titleFiles + candidate.extra < best.titleFiles + best.extra;
}

// The end of the run of values equal to the one at `at`.
template <typename T>
size_t RunEnd(std::span<const T> values, size_t at) {
  size_t end = at + 1;
  while (end < values.size() && values[end] == values[at]) ++end;
  return end;
}

// Calls `visit` with each CRC of each title, and the title, once however
// often the title holds it.
template <typename Visit>
void ForEachDistinctCrc(const Database& db, Visit visit) {
  for (uint32_t title = 1; title < db.recordCount; ++title) {
    std::span<const uint32_t> crcs = db.Crcs(title);
    for (size_t i = 0; i < crcs.size(); i = RunEnd(crcs, i)) visit(crcs[i], title);
  }
}

}  // namespace

uint32_t CommonCrcTitles(uint32_t titles) { return std::max(kFewestCommonTitles, titles / 256); }

void IndexCrcs(Database& db) {
  CrcIndex index;
  index.built = true;
  const int bits =
      std::clamp(static_cast<int>(std::bit_width(db.crcs.size() / 2)), 1, kMostBucketBits);
  index.shift = static_cast<uint32_t>(32 - bits);
  const size_t buckets = size_t{1} << bits;
  // Each bucket's count, then its end; filled from the end down, each entry
  // ends as its bucket's start. A title holding a CRC twice is one key.
  index.starts.assign(buckets + 1, 0);
  ForEachDistinctCrc(db, [&](uint32_t crc, uint32_t) { ++index.starts[crc >> index.shift]; });
  std::partial_sum(index.starts.begin(), index.starts.end() - 1, index.starts.begin());
  index.keys.resize(index.starts[buckets - 1]);
  index.starts[buckets] = index.starts[buckets - 1];
  ForEachDistinctCrc(db, [&](uint32_t crc, uint32_t title) {
    index.keys[--index.starts[crc >> index.shift]] = KeyOf(crc, title);
  });
  for (size_t bucket = 0; bucket < buckets; ++bucket) {
    auto first = index.keys.begin() + index.starts[bucket];
    auto last = index.keys.begin() + index.starts[bucket + 1];
    if (last - first > 1) std::sort(first, last);
  }
  db.titlesByCrc = std::move(index);
}

NearMatch FindNearMatch(Database& db, std::span<const uint32_t> crcs, MessageSink& sink) {
  if (!db.titlesByCrc.built) {
    try {
      IndexCrcs(db);
    } catch (const std::bad_alloc&) {
      db.titlesByCrc.built = true;
      sink.Write(Stream::kErr, "\nWrn: Not enough memory to look for near matches\n");
    }
  }
  const CrcIndex& index = db.titlesByCrc;
  if (index.keys.empty()) return {};
  const uint32_t common = CommonCrcTitles(db.recordCount - 1);
  // A title once for each of the image's files that it holds, as far as
  // their CRCs are not common.
  std::vector<uint32_t> holdings;
  size_t commonFiles = 0;
  for (size_t i = 0, next; i < crcs.size(); i = next) {
    next = RunEnd(crcs, i);
    const std::span<const uint64_t> holders = Holders(index, crcs[i]);
    const size_t copies = next - i;
    if (holders.size() > common) {
      commonFiles += copies;
      continue;
    }
    for (uint64_t key : holders) {
      const uint32_t title = TitleOf(key);
      const size_t held = copies == 1 ? 1 : Copies(db.Crcs(title), crcs[i]);
      holdings.insert(holdings.end(), std::min(copies, held), title);
    }
  }
  std::sort(holdings.begin(), holdings.end());

  NearMatch best;
  for (size_t k = 0, end; k < holdings.size(); k = end) {
    end = RunEnd(std::span<const uint32_t>(holdings), k);
    const uint32_t title = holdings[k];
    const std::span<const uint32_t> titleCrcs = db.Crcs(title);
    const size_t most = std::min(end - k + commonFiles, titleCrcs.size());
    if (!IsNear(most, titleCrcs.size()) || most < best.shared) continue;
    const size_t shared = commonFiles == 0 ? end - k : SharedValues(crcs, titleCrcs);
    if (!IsNear(shared, titleCrcs.size())) continue;
    const NearMatch candidate{title, static_cast<uint32_t>(shared),
                              static_cast<uint32_t>(titleCrcs.size()),
                              static_cast<uint32_t>(crcs.size() - shared)};
    if (IsBetter(candidate, best)) best = candidate;
  }
  return best;
}
